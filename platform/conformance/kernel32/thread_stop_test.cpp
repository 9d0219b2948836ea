// The cooperative stop, on both systems: a stop request only asks, stopped
// waits and sleeps unwind at once without consuming what they waited for, a
// stopped thread takes no further step, and the end of the process ends
// every thread.
#include "platform/thread_stop.h"
#include "platform/conformance/thread_test_helpers.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

using threadtest::Eventually;
using threadtest::ExitCode;
using threadtest::MillisecondsSince;
using threadtest::Start;

DWORD WINAPI DoNothing(LPVOID) {
    return 0;
}

class ThreadStop : public threadtest::ThreadTest {};

struct SetOnDestroy {
    std::atomic<bool>& flag;
    ~SetOnDestroy() { flag = true; }
};

TEST_F(ThreadStop, ThreadStoppedInInfiniteWaitUnwindsAtOnce) {
    HANDLE never = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    HANDLE after = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    CRITICAL_SECTION cs;
    InitializeCriticalSection(&cs);
    std::atomic<bool> waiting{false};
    std::atomic<bool> destroyed{false};
    std::atomic<bool> passedWait{false};
    HANDLE thread = Start([&] {
        SetOnDestroy guard{destroyed};
        platform::CriticalSectionLock lock(cs);
        waiting = true;
        WaitForSingleObject(never, INFINITE);
        passedWait = true;
        SetEvent(after);
        return DWORD{1};
    });
    ASSERT_TRUE(Eventually([&] { return waiting.load(); }));
    // Another thread waits for the critical section the stopped one holds.
    std::atomic<bool> entered{false};
    std::thread other([&] {
        platform::CriticalSectionLock lock(cs);
        entered = true;
    });
    std::this_thread::sleep_for(50ms);  // both blocked by now
    EXPECT_FALSE(entered);

    auto start = Clock::now();
    EXPECT_TRUE(TerminateThread(thread, 77));
    EXPECT_EQ(WaitForSingleObject(thread, 5000), WAIT_OBJECT_0);
    EXPECT_LT(MillisecondsSince(start), 1000);
    EXPECT_EQ(ExitCode(thread), 77u);
    EXPECT_TRUE(destroyed);
    EXPECT_FALSE(passedWait);
    EXPECT_EQ(WaitForSingleObject(after, 0), WAIT_TIMEOUT);

    // The critical section was released by the unwinding: the other thread enters.
    other.join();
    EXPECT_TRUE(entered);
    // The event it waited on was not consumed by the stopped wait.
    SetEvent(never);
    EXPECT_EQ(WaitForSingleObject(never, 0), WAIT_OBJECT_0);

    CloseHandle(thread);
    CloseHandle(never);
    CloseHandle(after);
    DeleteCriticalSection(&cs);
}

TEST_F(ThreadStop, ThreadStoppedInFiniteWaitUnwinds) {
    HANDLE never = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    std::atomic<bool> waiting{false};
    std::atomic<bool> passedWait{false};
    HANDLE thread = Start([&] {
        waiting = true;
        WaitForSingleObject(never, 60000);
        passedWait = true;
        return DWORD{1};
    });
    ASSERT_TRUE(Eventually([&] { return waiting.load(); }));
    std::this_thread::sleep_for(30ms);
    TerminateThread(thread, 5);
    EXPECT_EQ(WaitForSingleObject(thread, 5000), WAIT_OBJECT_0);
    EXPECT_FALSE(passedWait);
    EXPECT_EQ(ExitCode(thread), 5u);
    CloseHandle(thread);
    CloseHandle(never);
}

TEST_F(ThreadStop, ThreadStoppedDuringSleepWakesPromptly) {
    std::atomic<bool> sleeping{false};
    std::atomic<bool> woke{false};
    HANDLE thread = Start([&] {
        sleeping = true;
        Sleep(60000);
        woke = true;
        return DWORD{1};
    });
    ASSERT_TRUE(Eventually([&] { return sleeping.load(); }));
    std::this_thread::sleep_for(30ms);
    auto start = Clock::now();
    ASSERT_TRUE(TerminateThread(thread, 9));
    EXPECT_EQ(WaitForSingleObject(thread, 5000), WAIT_OBJECT_0);
    EXPECT_LT(MillisecondsSince(start), 1000);
    EXPECT_FALSE(woke);
    EXPECT_EQ(ExitCode(thread), 9u);
    CloseHandle(thread);
}

TEST_F(ThreadStop, StopBeforeWaitUnwindsWithoutConsuming) {
    HANDLE signalled = CreateEventW(nullptr, FALSE, TRUE, nullptr);
    std::atomic<bool> release{false};
    std::atomic<bool> running{false};
    std::atomic<DWORD> result{12345};
    HANDLE thread = Start([&] {
        running = true;
        // Busy, without any stop point, until the test lets it go.
        while (!release) {
            std::this_thread::yield();
        }
        EXPECT_TRUE(platform::StopRequested());
        result = WaitForSingleObject(signalled, 0);
        return DWORD{1};
    });
    ASSERT_TRUE(Eventually([&] { return running.load(); }));

    // The stop request returns at once although the thread does not cooperate.
    auto start = Clock::now();
    ASSERT_TRUE(TerminateThread(thread, 3));
    EXPECT_LT(MillisecondsSince(start), 100);
    std::this_thread::sleep_for(50ms);
    EXPECT_EQ(ExitCode(thread), STILL_ACTIVE);
    EXPECT_EQ(WaitForSingleObject(thread, 0), WAIT_TIMEOUT);

    release = true;
    EXPECT_EQ(WaitForSingleObject(thread, 5000), WAIT_OBJECT_0);
    EXPECT_EQ(result, 12345u);  // the wait did not return
    EXPECT_EQ(ExitCode(thread), 3u);
    // The signal is still there.
    EXPECT_EQ(WaitForSingleObject(signalled, 0), WAIT_OBJECT_0);
    CloseHandle(thread);
    CloseHandle(signalled);
}

TEST_F(ThreadStop, StoppedThreadDoesNotSignalOrEnterLocks) {
    HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    CRITICAL_SECTION cs;
    InitializeCriticalSection(&cs);
    std::atomic<bool> release{false};
    std::atomic<bool> running{false};
    std::atomic<int> stepsDone{0};
    auto body = [&](int step) {
        return [&, step] {
            running = true;
            while (!release) {
                std::this_thread::yield();
            }
            if (step == 0) {
                SetEvent(event);
            } else if (step == 1) {
                ResetEvent(event);
            } else if (step == 2) {
                platform::CriticalSectionLock lock(cs);
            } else if (step == 3) {
                Sleep(0);
            } else {
                platform::StopPoint();
            }
            ++stepsDone;
            return DWORD{1};
        };
    };
    for (int step = 0; step < 5; ++step) {
        release = false;
        running = false;
        if (step == 1) {
            SetEvent(event);
        }
        HANDLE thread = Start(body(step));
        ASSERT_TRUE(Eventually([&] { return running.load(); }));
        TerminateThread(thread, 100 + step);
        if (step == 2) {
            EnterCriticalSection(&cs);  // hold it: the stopped thread must not wait for it
        }
        release = true;
        EXPECT_EQ(WaitForSingleObject(thread, 5000), WAIT_OBJECT_0) << step;
        if (step == 2) {
            LeaveCriticalSection(&cs);
        }
        EXPECT_EQ(ExitCode(thread), static_cast<DWORD>(100 + step));
        CloseHandle(thread);
        if (step == 0) {
            EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_TIMEOUT);
        } else if (step == 1) {
            EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_OBJECT_0);
        }
    }
    EXPECT_EQ(stepsDone, 0);
    CloseHandle(event);
    DeleteCriticalSection(&cs);
}

struct SignalOnDestroy {
    HANDLE event;
    std::atomic<BOOL>& result;
    ~SignalOnDestroy() { result = SetEvent(event); }
};

TEST_F(ThreadStop, StepsInDestructorsDuringStopUnwindingAreSkipped) {
    HANDLE never = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    std::atomic<BOOL> result{-1};
    std::atomic<bool> waiting{false};
    HANDLE thread = Start([&] {
        SignalOnDestroy signal{event, result};
        waiting = true;
        WaitForSingleObject(never, INFINITE);
        return DWORD{1};
    });
    ASSERT_TRUE(Eventually([&] { return waiting.load(); }));
    TerminateThread(thread, 2);
    EXPECT_EQ(WaitForSingleObject(thread, 5000), WAIT_OBJECT_0);
    EXPECT_EQ(result, FALSE);
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_TIMEOUT);
    EXPECT_EQ(ExitCode(thread), 2u);
    CloseHandle(thread);
    CloseHandle(never);
    CloseHandle(event);
}

TEST_F(ThreadStop, ThreadReturningNormallyAfterStopGetsTheStopCode) {
    std::atomic<bool> release{false};
    HANDLE thread = Start([&] {
        while (!release) {
            std::this_thread::yield();
        }
        return DWORD{1};
    });
    TerminateThread(thread, 55);
    TerminateThread(thread, 66);  // the first request's code stands
    release = true;
    EXPECT_EQ(WaitForSingleObject(thread, 5000), WAIT_OBJECT_0);
    EXPECT_EQ(ExitCode(thread), 55u);
    // Stopping a finished thread changes nothing.
    EXPECT_TRUE(TerminateThread(thread, 77));
    EXPECT_EQ(ExitCode(thread), 55u);
    CloseHandle(thread);
}

TEST_F(ThreadStop, ThreadsNotStartedByCreateThreadAreNeverStopped) {
    EXPECT_FALSE(platform::StopRequested());
    EXPECT_NO_THROW(platform::StopPoint());
    std::thread other([] {
        EXPECT_FALSE(platform::StopRequested());
        EXPECT_NO_THROW(platform::StopPoint());
    });
    other.join();
}

TEST_F(ThreadStop, WaitsAndSleepsUnwindAtOnceWithoutConsumingTheObject) {
    HANDLE event = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    std::atomic<bool> waiting{false}, unwound{false}, after{false};
    HANDLE waiter = Start([&]() -> DWORD {
        SetOnDestroy guard{unwound};
        waiting = true;
        WaitForSingleObject(event, INFINITE);
        after = true;
        return 1;
    });
    std::atomic<bool> sleeping{false}, sleepUnwound{false};
    HANDLE sleeper = Start([&]() -> DWORD {
        SetOnDestroy guard{sleepUnwound};
        sleeping = true;
        Sleep(600000);
        return 1;
    });
    ASSERT_TRUE(waiter && sleeper);
    ASSERT_TRUE(Eventually([&] { return waiting && sleeping; }));
    std::this_thread::sleep_for(50ms);  // into the wait and the sleep

    const auto start = Clock::now();
    EXPECT_TRUE(TerminateThread(waiter, 7));
    EXPECT_TRUE(TerminateThread(sleeper, 8));
    ASSERT_EQ(WaitForSingleObject(waiter, 5000), WAIT_OBJECT_0);
    ASSERT_EQ(WaitForSingleObject(sleeper, 5000), WAIT_OBJECT_0);
    EXPECT_LT(Clock::now() - start, 2s);
    EXPECT_TRUE(unwound && sleepUnwound);
    EXPECT_FALSE(after);
    EXPECT_EQ(ExitCode(waiter), 7u);
    EXPECT_EQ(ExitCode(sleeper), 8u);
    // The stopped wait took nothing: the next signal is still there to take.
    EXPECT_TRUE(SetEvent(event));
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_OBJECT_0);
    CloseHandle(waiter);
    CloseHandle(sleeper);
    CloseHandle(event);
}

TEST_F(ThreadStop, StoppedThreadTakesNoFurtherStep) {
    HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE go = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    std::atomic<bool> started{false}, signalled{true}, threadStarted{true};
    std::atomic<DWORD> error{0};
    // A destructor run by the unwinding tries to signal and to start a
    // thread: a stopped thread's steps are skipped, not thrown.
    struct LateSteps {
        HANDLE event;
        std::atomic<bool>& signalled;
        std::atomic<bool>& threadStarted;
        std::atomic<DWORD>& error;
        ~LateSteps() {
            signalled = SetEvent(event) != FALSE;
            error = GetLastError();
            HANDLE other = CreateThread(nullptr, 0, DoNothing, nullptr, 0, nullptr);
            threadStarted = other != nullptr;
            if (other)
                CloseHandle(other);
        }
    };
    HANDLE thread = Start([&]() -> DWORD {
        LateSteps late{event, signalled, threadStarted, error};
        started = true;
        WaitForSingleObject(go, INFINITE);
        return 1;
    });
    ASSERT_TRUE(thread);
    ASSERT_TRUE(Eventually([&] { return started.load(); }));
    EXPECT_TRUE(TerminateThread(thread, 3));
    ASSERT_EQ(WaitForSingleObject(thread, 5000), WAIT_OBJECT_0);
    EXPECT_FALSE(signalled);
    EXPECT_EQ(error, static_cast<DWORD>(ERROR_CANCELLED));
    EXPECT_FALSE(threadStarted);
    EXPECT_EQ(WaitForSingleObject(event, 0), static_cast<DWORD>(WAIT_TIMEOUT));
    // A stop of a thread that ended already changes nothing.
    EXPECT_TRUE(TerminateThread(thread, 9));
    EXPECT_EQ(ExitCode(thread), 3u);
    CloseHandle(thread);
    CloseHandle(go);
    CloseHandle(event);
}

// ---- the end of the process

TEST_F(ThreadStop, EndRemainingThreadsEndsThreadsBlockedForever) {
    HANDLE never = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    std::atomic<int> waiting{0};
    std::atomic<int> destroyed{0};
    std::atomic<int> passed{0};
    struct Count {
        std::atomic<int>& n;
        ~Count() { ++n; }
    };
    HANDLE kept = nullptr;
    for (int i = 0; i < 4; ++i) {
        HANDLE thread = Start([&, i] {
            Count count{destroyed};
            ++waiting;
            if (i % 2 == 0) {
                WaitForSingleObject(never, INFINITE);
            } else {
                Sleep(INFINITE);
            }
            ++passed;
            return DWORD{1};
        });
        if (i == 0) {
            kept = thread;
        } else {
            CloseHandle(thread);
        }
    }
    ASSERT_TRUE(Eventually([&] { return waiting == 4; }));
    std::this_thread::sleep_for(30ms);
    auto start = Clock::now();
    platform::EndRemainingThreads();
    EXPECT_LT(MillisecondsSince(start), 2000);
    EXPECT_EQ(destroyed, 4);
    EXPECT_EQ(passed, 0);
    EXPECT_EQ(WaitForSingleObject(kept, 0), WAIT_OBJECT_0);
    EXPECT_NE(ExitCode(kept), STILL_ACTIVE);
    CloseHandle(kept);
    CloseHandle(never);
    // Nothing left: a second call returns at once.
    platform::EndRemainingThreads();
}

TEST_F(ThreadStop, EndRemainingThreadsEndsThreadsStartedWhileUnwinding) {
    HANDLE never = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    std::atomic<int> finished{0};
    HANDLE thread = Start([&] {
        WaitForSingleObject(never, INFINITE);
        return DWORD{0};
    });
    CloseHandle(thread);
    // Threads that start new threads until stopped.
    std::atomic<bool> waiting{false};
    HANDLE spawner = Start([&] {
        struct Finish {
            std::atomic<int>& n;
            ~Finish() { ++n; }
        } finish{finished};
        for (;;) {
            HANDLE child = Start([&] {
                Finish childFinish{finished};
                WaitForSingleObject(never, INFINITE);
                return DWORD{0};
            });
            CloseHandle(child);
            waiting = true;
            Sleep(5);
        }
        return DWORD{0};
    });
    CloseHandle(spawner);
    ASSERT_TRUE(Eventually([&] { return waiting.load(); }));
    platform::EndRemainingThreads();
    EXPECT_GE(finished, 2);
    CloseHandle(never);
}

TEST_F(ThreadStop, EndRemainingThreadsEndsEveryThreadWithCodeZero) {
    HANDLE never = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    std::atomic<int> unwound{0};
    std::atomic<bool> startedInner{false};
    HANDLE outer = Start([&]() -> DWORD {
        // A thread another one started is ended too.
        HANDLE inner = Start([&]() -> DWORD {
            startedInner = true;
            WaitForSingleObject(never, INFINITE);
            return 1;
        });
        CloseHandle(inner);
        struct Count {
            std::atomic<int>& unwound;
            ~Count() { ++unwound; }
        } count{unwound};
        Sleep(INFINITE);
        return 1;
    });
    ASSERT_TRUE(outer);
    ASSERT_TRUE(Eventually([&] { return startedInner.load(); }));
    platform::EndRemainingThreads();
    EXPECT_EQ(WaitForSingleObject(outer, 0), WAIT_OBJECT_0);
    EXPECT_EQ(ExitCode(outer), 0u);
    EXPECT_EQ(unwound, 1);
    CloseHandle(outer);
    CloseHandle(never);
}

}  // namespace
