// The cooperative stop over real Windows threads: stopped waits, sleeps and
// network reads unwind at once, a stopped thread takes no further step, and
// the end of the process ends every thread.
#include "platform/thread_stop.h"
#include "platform/conformance/thread_test_helpers.h"
#include "platform/wininet.h"
#include "tests/support/loopback_server.h"
#include "tests/support/wine.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

using threadtest::Eventually;
using threadtest::ExitCode;
using threadtest::Start;

DWORD WINAPI DoNothing(LPVOID) {
    return 0;
}

// Sets the flag when destroyed, also by the stop's unwinding.
struct Unwound {
    std::atomic<bool>& flag;
    ~Unwound() { flag = true; }
};

class ThreadStop : public ::testing::Test {
protected:
    void TearDown() override { platform::EndRemainingThreads(); }
};

TEST_F(ThreadStop, WaitsAndSleepsUnwindAtOnceWithoutConsumingTheObject) {
    HANDLE event = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    std::atomic<bool> waiting{false}, unwound{false}, after{false};
    HANDLE waiter = Start([&]() -> DWORD {
        Unwound guard{unwound};
        waiting = true;
        WaitForSingleObject(event, INFINITE);
        after = true;
        return 1;
    });
    std::atomic<bool> sleeping{false}, sleepUnwound{false};
    HANDLE sleeper = Start([&]() -> DWORD {
        Unwound guard{sleepUnwound};
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

// A server that sends the headers and then nothing more for a minute, and a
// thread reading from it until the stop frees its blocked read.
class ThreadStopOnTheNetwork : public ThreadStop {
protected:
    struct Handles {
        HINTERNET session, connection, request;
    };

    void SetUp() override {
        m_server = std::make_unique<testsupport::LoopbackServer>();
        m_server->SetBody("/slow", std::string(1 << 20, 'x'));
        m_server->SetFault("/slow", testsupport::Fault{.slowBodyDelayMs = 60000});
    }

    Handles Open() const {
        Handles handles{};
        handles.session = InternetOpenW(L"test", INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0);
        handles.connection =
            InternetConnectW(handles.session, L"127.0.0.1", static_cast<INTERNET_PORT>(m_server->Port()), nullptr,
                             nullptr, INTERNET_SERVICE_HTTP, 0, 0);
        handles.request =
            HttpOpenRequestA(handles.connection, "GET", "/slow", "HTTP/1.1", nullptr, nullptr, INTERNET_FLAG_RELOAD, 0);
        return handles;
    }

    // Reads the body to its end; the stop unwinds from the blocked read.
    void ReadAll(HINTERNET request) {
        char buffer[1 << 16];
        DWORD cbRead = 0;
        m_reading = true;
        while (InternetReadFile(request, buffer, sizeof buffer, &cbRead) && cbRead > 0) {
        }
    }

    // Stops the thread once it is blocked in the read and waits for it: how
    // long it took from the stop request.
    Clock::duration StopWhileReading(HANDLE thread) {
        EXPECT_TRUE(Eventually([&] { return m_reading.load(); }, 10s));
        std::this_thread::sleep_for(200ms);  // into the blocked read
        const auto start = Clock::now();
        EXPECT_TRUE(TerminateThread(thread, 5));
        if (testsupport::UnderWine()) {
            // Wine's InternetCloseHandle leaves an InternetReadFile blocked in
            // another thread waiting for the server: only the server's end
            // frees it there. The rest holds under Wine too.
            m_server.reset();
        }
        EXPECT_EQ(WaitForSingleObject(thread, 10000), WAIT_OBJECT_0);
        const auto took = Clock::now() - start;
        EXPECT_EQ(ExitCode(thread), 5u);
        return took;
    }

private:
    std::unique_ptr<testsupport::LoopbackServer> m_server;
    std::atomic<bool> m_reading{false};
};

// The blocked read is freed by closing its request from the stopping side;
// the owner's own close of that request afterwards does not close a handle
// twice.
TEST_F(ThreadStopOnTheNetwork, ReadBlockedOnTheNetworkIsFreedByTheStop) {
    std::atomic<bool> unwound{false};
    std::atomic<BOOL> closed{FALSE};
    HANDLE thread = Start([&]() -> DWORD {
        // Closed as the response does, in reverse order, also on the stop.
        struct Closer {
            Handles handles;
            std::atomic<bool>& unwound;
            std::atomic<BOOL>& closed;
            ~Closer() {
                closed = InternetCloseHandle(handles.request);
                InternetCloseHandle(handles.connection);
                InternetCloseHandle(handles.session);
                unwound = true;
            }
        } closer{Open(), unwound, closed};
        const HINTERNET request = closer.handles.request;
        if (!request || !HttpSendRequestW(request, nullptr, 0, nullptr, 0))
            return 2;
        ReadAll(request);
        return 1;
    });
    ASSERT_TRUE(thread);
    const auto took = StopWhileReading(thread);
    // Braced: the assertion is an if-else of its own.
    if (!testsupport::UnderWine()) {
        EXPECT_LT(took, 5s);
    }
    EXPECT_TRUE(unwound);
    EXPECT_TRUE(closed);
    CloseHandle(thread);
}

// A request with a closer of its own (a canceller that other threads close
// it through) is closed by the stop through that closer, once, and never by
// the stop itself: the closer finds it still open.
TEST_F(ThreadStopOnTheNetwork, AStopClosesABlockedRequestThroughItsCloserOnly) {
    std::atomic<int> closerCalls{0};
    std::atomic<BOOL> closedByCloser{FALSE};
    HANDLE thread = Start([&]() -> DWORD {
        struct Closer {
            Handles handles;
            std::atomic<int>& closerCalls;
            ~Closer() {
                // As a canceller's owner does: the request is closed here
                // only when the closer has not closed it.
                if (closerCalls == 0)
                    InternetCloseHandle(handles.request);
                InternetCloseHandle(handles.connection);
                InternetCloseHandle(handles.session);
            }
        } owner{Open(), closerCalls};
        const HINTERNET request = owner.handles.request;
        if (!request || !HttpSendRequestW(request, nullptr, 0, nullptr, 0))
            return 2;
        platform::StopCloser closer(request, [&, request] {
            ++closerCalls;
            closedByCloser = InternetCloseHandle(request);
        });
        ReadAll(request);
        return 1;
    });
    ASSERT_TRUE(thread);
    StopWhileReading(thread);
    EXPECT_EQ(closerCalls, 1);
    EXPECT_TRUE(closedByCloser) << "the stop closed the request before its closer did";
    CloseHandle(thread);
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
