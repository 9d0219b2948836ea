// Events, threads, the cooperative stop, Sleep and critical sections, as
// Windows has them: run against the stand-in and against the real system.
#include "platform/conformance/thread_test_helpers.h"
#include "platform/thread_stop.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

using threadtest::Eventually;
using threadtest::ExitCode;
using threadtest::Start;

long long MillisecondsSince(Clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

class KernelObjects : public ::testing::Test {
protected:
    void TearDown() override {
        platform::SetSleepHook(nullptr);
        platform::EndRemainingThreads();
    }
};

// ---- events

TEST_F(KernelObjects, AutoResetReleasesExactlyOneWaiterPerSignal) {
    HANDLE event = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    ASSERT_NE(event, nullptr);
    std::atomic<int> released{0};
    std::atomic<int> waiting{0};
    std::vector<HANDLE> threads;
    for (int i = 0; i < 3; ++i) {
        threads.push_back(Start([&] {
            ++waiting;
            EXPECT_EQ(WaitForSingleObject(event, INFINITE), WAIT_OBJECT_0);
            ++released;
            return DWORD{0};
        }));
    }
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

TEST_F(KernelObjects, AutoResetSignalWithoutWaiterIsConsumedByOneLaterWait) {
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

TEST_F(KernelObjects, InitialStateAndResetEvent) {
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

TEST_F(KernelObjects, ManualResetReleasesAllWaitersAndStaysSignalled) {
    HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    std::atomic<int> waiting{0};
    std::atomic<int> released{0};
    std::vector<HANDLE> threads;
    for (int i = 0; i < 3; ++i) {
        threads.push_back(Start([&] {
            ++waiting;
            EXPECT_EQ(WaitForSingleObject(event, INFINITE), WAIT_OBJECT_0);
            ++released;
            return DWORD{0};
        }));
    }
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

TEST_F(KernelObjects, Timeouts) {
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

TEST_F(KernelObjects, InvalidHandles) {
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

TEST_F(KernelObjects, LastErrorIsPerThread) {
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

TEST_F(KernelObjects, AutoResetUnderLoadNeitherLosesNorDuplicatesSignals) {
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

// ---- threads

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

TEST_F(KernelObjects, ThreadRunsWithParameterAndReportsExitCode) {
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

TEST_F(KernelObjects, CloseHandleOfRunningThreadLetsItFinish) {
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

struct SetOnDestroy {
    std::atomic<bool>& flag;
    ~SetOnDestroy() { flag = true; }
};

TEST_F(KernelObjects, ThreadStoppedInInfiniteWaitUnwindsAtOnce) {
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

TEST_F(KernelObjects, ThreadStoppedInFiniteWaitUnwinds) {
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

TEST_F(KernelObjects, ThreadStoppedDuringSleepWakesPromptly) {
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

TEST_F(KernelObjects, StopBeforeWaitUnwindsWithoutConsuming) {
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

TEST_F(KernelObjects, StoppedThreadDoesNotSignalOrEnterLocks) {
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

TEST_F(KernelObjects, StepsInDestructorsDuringStopUnwindingAreSkipped) {
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

TEST_F(KernelObjects, ThreadReturningNormallyAfterStopGetsTheStopCode) {
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

TEST_F(KernelObjects, ThreadsNotStartedByCreateThreadAreNeverStopped) {
    EXPECT_FALSE(platform::StopRequested());
    EXPECT_NO_THROW(platform::StopPoint());
    std::thread other([] {
        EXPECT_FALSE(platform::StopRequested());
        EXPECT_NO_THROW(platform::StopPoint());
    });
    other.join();
}

TEST_F(KernelObjects, WaitingForAThreadFromAnotherCreateThreadThread) {
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

TEST_F(KernelObjects, SleepHookSeesRequestedDurations) {
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

TEST_F(KernelObjects, SleepOnCreateThreadThreadSleeps) {
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

TEST_F(KernelObjects, CriticalSectionIsRecursiveAndExclusive) {
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

// ---- the end of the process

TEST_F(KernelObjects, EndRemainingThreadsEndsThreadsBlockedForever) {
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

TEST_F(KernelObjects, EndRemainingThreadsEndsThreadsStartedWhileUnwinding) {
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

}  // namespace
