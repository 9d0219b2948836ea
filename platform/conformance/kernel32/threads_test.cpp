// Threads, Sleep and critical sections as Windows has them: run against the
// stand-in and against the real system.
#include "platform/conformance/thread_test_helpers.h"
#include "platform/thread_stop.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

using threadtest::ExitCode;
using threadtest::MillisecondsSince;
using threadtest::Start;

class Threads : public threadtest::ThreadTest {};

struct Shared {
    HANDLE go;
    DWORD seenId = 0;
};

DWORD WINAPI RecordIdAndWait(LPVOID parameter) {
    auto* s = static_cast<Shared*>(parameter);
    s->seenId = GetCurrentThreadId();
    WaitForSingleObject(s->go, INFINITE);
    return 1234;
}

TEST_F(Threads, ThreadRunsWithParameterAndReportsExitCode) {
    Shared shared{CreateEventW(nullptr, TRUE, FALSE, nullptr)};
    DWORD id = 0;
    HANDLE thread = CreateThread(nullptr, 0, RecordIdAndWait, &shared, 0, &id);
    ASSERT_NE(thread, nullptr);
    EXPECT_NE(id, 0u);
    EXPECT_NE(id, GetCurrentThreadId());
    EXPECT_EQ(ExitCode(thread), STILL_ACTIVE);
    EXPECT_EQ(WaitForSingleObject(thread, 30), WAIT_TIMEOUT);
    SetEvent(shared.go);
    EXPECT_EQ(WaitForSingleObject(thread, 5000), WAIT_OBJECT_0);
    EXPECT_EQ(ExitCode(thread), 1234u);
    EXPECT_EQ(shared.seenId, id);
    // A finished thread stays signalled.
    EXPECT_EQ(WaitForSingleObject(thread, 0), WAIT_OBJECT_0);
    EXPECT_EQ(GetCurrentThreadId(), GetCurrentThreadId());
    CloseHandle(thread);
    CloseHandle(shared.go);
}

TEST_F(Threads, CloseHandleOfRunningThreadLetsItFinish) {
    HANDLE go = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    HANDLE done = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    std::atomic<bool> finished{false};
    HANDLE thread = Start([&] {
        WaitForSingleObject(go, INFINITE);
        Sleep(20);
        finished = true;
        SetEvent(done);
        return DWORD{0};
    });
    ASSERT_TRUE(CloseHandle(thread));
    ASSERT_TRUE(SetEvent(go));
    EXPECT_EQ(WaitForSingleObject(done, 5000), WAIT_OBJECT_0);
    EXPECT_TRUE(finished);
    CloseHandle(go);
    CloseHandle(done);
}

TEST_F(Threads, WaitingForAThreadFromAnotherCreateThreadThread) {
    HANDLE go = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    HANDLE worker = Start([&] {
        WaitForSingleObject(go, INFINITE);
        return DWORD{8};
    });
    std::atomic<DWORD> seen{0};
    HANDLE driver = Start([&] {
        WaitForSingleObject(worker, INFINITE);
        DWORD code = 0;
        GetExitCodeThread(worker, &code);
        seen = code;
        return DWORD{0};
    });
    SetEvent(go);
    EXPECT_EQ(WaitForSingleObject(driver, 5000), WAIT_OBJECT_0);
    EXPECT_EQ(seen, 8u);
    CloseHandle(worker);
    CloseHandle(driver);
    CloseHandle(go);
}

// ---- Sleep

TEST_F(Threads, SleepHookSeesRequestedDurations) {
    std::mutex mutex;
    std::vector<DWORD> seen;
    platform::SetSleepHook([&](DWORD ms) {
        std::lock_guard<std::mutex> lock(mutex);
        seen.push_back(ms);
        return DWORD{0};
    });
    auto start = Clock::now();
    Sleep(100000);
    Sleep(1000);
    HANDLE thread = Start([] {
        Sleep(2500);
        return DWORD{0};
    });
    EXPECT_EQ(WaitForSingleObject(thread, 5000), WAIT_OBJECT_0);
    CloseHandle(thread);
    EXPECT_LT(MillisecondsSince(start), 1000);
    {
        std::lock_guard<std::mutex> lock(mutex);
        EXPECT_EQ(seen, (std::vector<DWORD>{100000, 1000, 2500}));
    }

    // The hook's answer is what is slept.
    platform::SetSleepHook([](DWORD) { return DWORD{60}; });
    start = Clock::now();
    Sleep(1);
    EXPECT_GE(MillisecondsSince(start), 60);

    platform::SetSleepHook(nullptr);
    start = Clock::now();
    Sleep(40);
    EXPECT_GE(MillisecondsSince(start), 40);
    Sleep(0);
}

TEST_F(Threads, SleepOnCreateThreadThreadSleeps) {
    std::atomic<long long> slept{0};
    HANDLE thread = Start([&] {
        auto start = Clock::now();
        Sleep(50);
        slept = MillisecondsSince(start);
        return DWORD{0};
    });
    EXPECT_EQ(WaitForSingleObject(thread, 5000), WAIT_OBJECT_0);
    EXPECT_GE(slept, 50);
    CloseHandle(thread);
}

// ---- critical sections

TEST_F(Threads, CriticalSectionIsRecursiveAndExclusive) {
    CRITICAL_SECTION cs;
    InitializeCriticalSection(&cs);
    EnterCriticalSection(&cs);
    EnterCriticalSection(&cs);
    std::atomic<bool> entered{false};
    std::thread other([&] {
        platform::CriticalSectionLock lock(cs);
        entered = true;
    });
    std::this_thread::sleep_for(50ms);
    EXPECT_FALSE(entered);
    LeaveCriticalSection(&cs);
    std::this_thread::sleep_for(20ms);
    EXPECT_FALSE(entered);
    LeaveCriticalSection(&cs);
    other.join();
    EXPECT_TRUE(entered);

    // Counters under the lock from several CreateThread threads.
    int counter = 0;
    std::vector<HANDLE> threads;
    for (int i = 0; i < 4; ++i) {
        threads.push_back(Start([&] {
            for (int k = 0; k < 1000; ++k) {
                platform::CriticalSectionLock lock(cs);
                ++counter;
            }
            return DWORD{0};
        }));
    }
    for (HANDLE thread : threads) {
        EXPECT_EQ(WaitForSingleObject(thread, 10000), WAIT_OBJECT_0);
        CloseHandle(thread);
    }
    EXPECT_EQ(counter, 4000);
    DeleteCriticalSection(&cs);
}

}  // namespace
