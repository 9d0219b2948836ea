// Events, waits and handles as Windows has them: run against the stand-in
// and against the real system.
#include "platform/conformance/thread_test_helpers.h"
#include "platform/thread_stop.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

using threadtest::Eventually;
using threadtest::MillisecondsSince;
using threadtest::Start;

class Events : public threadtest::ThreadTest {
protected:
    // Three threads that each wait on event once, counted as they start
    // waiting and as they are released.
    static std::vector<HANDLE> StartWaiters(HANDLE event, std::atomic<int>& waiting, std::atomic<int>& released) {
        std::vector<HANDLE> threads;
        for (int i = 0; i < 3; ++i) {
            threads.push_back(Start([&waiting, &released, event] {
                ++waiting;
                EXPECT_EQ(WaitForSingleObject(event, INFINITE), WAIT_OBJECT_0);
                ++released;
                return DWORD{0};
            }));
        }
        return threads;
    }
};

TEST_F(Events, AutoResetReleasesExactlyOneWaiterPerSignal) {
    HANDLE event = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    ASSERT_NE(event, nullptr);
    std::atomic<int> released{0};
    std::atomic<int> waiting{0};
    const std::vector<HANDLE> threads = StartWaiters(event, waiting, released);
    ASSERT_TRUE(Eventually([&] { return waiting == 3; }));
    std::this_thread::sleep_for(50ms);  // let all three block

    ASSERT_TRUE(SetEvent(event));
    ASSERT_TRUE(Eventually([&] { return released == 1; }));
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(released, 1);
    // The signal went to a waiter: the event is not left signalled.
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_TIMEOUT);

    ASSERT_TRUE(SetEvent(event));
    ASSERT_TRUE(Eventually([&] { return released == 2; }));
    ASSERT_TRUE(SetEvent(event));
    ASSERT_TRUE(Eventually([&] { return released == 3; }));
    for (HANDLE thread : threads) {
        EXPECT_EQ(WaitForSingleObject(thread, 5000), WAIT_OBJECT_0);
        CloseHandle(thread);
    }
    std::this_thread::sleep_for(50ms);
    EXPECT_EQ(released, 3);
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_TIMEOUT);
    CloseHandle(event);
}

TEST_F(Events, AutoResetSignalWithoutWaiterIsConsumedByOneLaterWait) {
    HANDLE event = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    ASSERT_TRUE(SetEvent(event));
    ASSERT_TRUE(SetEvent(event));  // still one signal: an event is not a counter
    std::atomic<int> got{0};
    std::atomic<int> timedOut{0};
    std::vector<HANDLE> threads;
    for (int i = 0; i < 3; ++i) {
        threads.push_back(Start([&] {
            DWORD result = WaitForSingleObject(event, 300);
            (result == WAIT_OBJECT_0 ? got : timedOut)++;
            return result;
        }));
    }
    for (HANDLE thread : threads) {
        EXPECT_EQ(WaitForSingleObject(thread, 5000), WAIT_OBJECT_0);
        CloseHandle(thread);
    }
    EXPECT_EQ(got, 1);
    EXPECT_EQ(timedOut, 2);
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_TIMEOUT);
    CloseHandle(event);
}

TEST_F(Events, InitialStateAndResetEvent) {
    HANDLE autoEvent = CreateEventW(nullptr, FALSE, TRUE, nullptr);
    EXPECT_EQ(WaitForSingleObject(autoEvent, 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(autoEvent, 0), WAIT_TIMEOUT);
    ASSERT_TRUE(SetEvent(autoEvent));
    ASSERT_TRUE(ResetEvent(autoEvent));
    EXPECT_EQ(WaitForSingleObject(autoEvent, 0), WAIT_TIMEOUT);

    HANDLE manualEvent = CreateEventW(nullptr, TRUE, TRUE, L"ignored name");
    EXPECT_EQ(WaitForSingleObject(manualEvent, 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(manualEvent, 0), WAIT_OBJECT_0);
    ASSERT_TRUE(ResetEvent(manualEvent));
    EXPECT_EQ(WaitForSingleObject(manualEvent, 0), WAIT_TIMEOUT);
    EXPECT_TRUE(CloseHandle(autoEvent));
    EXPECT_TRUE(CloseHandle(manualEvent));
}

TEST_F(Events, ManualResetReleasesAllWaitersAndStaysSignalled) {
    HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    std::atomic<int> waiting{0};
    std::atomic<int> released{0};
    const std::vector<HANDLE> threads = StartWaiters(event, waiting, released);
    ASSERT_TRUE(Eventually([&] { return waiting == 3; }));
    std::this_thread::sleep_for(50ms);
    EXPECT_EQ(released, 0);
    ASSERT_TRUE(SetEvent(event));
    ASSERT_TRUE(Eventually([&] { return released == 3; }));
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_OBJECT_0);
    for (HANDLE thread : threads) {
        CloseHandle(thread);
    }
    CloseHandle(event);
}

TEST_F(Events, Timeouts) {
    HANDLE event = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    auto start = Clock::now();
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_TIMEOUT);
    EXPECT_LT(MillisecondsSince(start), 50);

    start = Clock::now();
    EXPECT_EQ(WaitForSingleObject(event, 80), WAIT_TIMEOUT);
    EXPECT_GE(MillisecondsSince(start), 80);

    // A timed-out wait leaves the queue: the next signal is not lost to it.
    ASSERT_TRUE(SetEvent(event));
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_OBJECT_0);

    // INFINITE returns when another thread signals.
    std::thread signaller([&] {
        std::this_thread::sleep_for(50ms);
        SetEvent(event);
    });
    start = Clock::now();
    EXPECT_EQ(WaitForSingleObject(event, INFINITE), WAIT_OBJECT_0);
    signaller.join();

    // A finite wait that is signalled in time.
    std::thread signaller2([&] {
        std::this_thread::sleep_for(30ms);
        SetEvent(event);
    });
    EXPECT_EQ(WaitForSingleObject(event, 5000), WAIT_OBJECT_0);
    signaller2.join();
    CloseHandle(event);
}

TEST_F(Events, InvalidHandles) {
    SetLastError(0);
    EXPECT_EQ(WaitForSingleObject(nullptr, 0), WAIT_FAILED);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));

    HANDLE event = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    ASSERT_TRUE(CloseHandle(event));
    SetLastError(0);
    EXPECT_EQ(WaitForSingleObject(event, INFINITE), WAIT_FAILED);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    EXPECT_FALSE(CloseHandle(event));
    EXPECT_FALSE(SetEvent(event));
    EXPECT_FALSE(ResetEvent(event));
    DWORD code = 0;
    EXPECT_FALSE(GetExitCodeThread(event, &code));
    EXPECT_FALSE(TerminateThread(event, 1));

    // An event is not a thread.
    HANDLE other = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    SetLastError(0);
    EXPECT_FALSE(GetExitCodeThread(other, &code));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    CloseHandle(other);
}

TEST_F(Events, LastErrorIsPerThread) {
    std::atomic<bool> go{false}, set{false};
    std::thread other([&] {
        while (!go) {
            std::this_thread::yield();
        }
        EXPECT_EQ(GetLastError(), 0u);
        SetLastError(7);
        set = true;
    });
    // Nothing but atomics between setting and reading it: on Windows the C
    // runtime's thread calls (start, yield, join) may set it themselves.
    SetLastError(42);
    go = true;
    while (!set) {
    }
    EXPECT_EQ(GetLastError(), 42u);
    other.join();
}

TEST_F(Events, AutoResetUnderLoadNeitherLosesNorDuplicatesSignals) {
    HANDLE event = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    std::atomic<int> consumed{0};
    for (int i = 0; i < 6; ++i) {
        CloseHandle(Start([&] {
            for (;;) {
                WaitForSingleObject(event, INFINITE);
                ++consumed;
            }
            return DWORD{0};
        }));
    }
    constexpr int kSignals = 300;
    for (int i = 1; i <= kSignals; ++i) {
        ASSERT_TRUE(SetEvent(event));
        ASSERT_TRUE(Eventually([&] { return consumed == i; })) << "signal " << i;
    }
    std::this_thread::sleep_for(50ms);
    EXPECT_EQ(consumed, kSignals);
    platform::EndRemainingThreads();
    CloseHandle(event);
}

}  // namespace
