// The cooperative stop of a thread blocked in a WinINet call on Windows: a
// stop frees it by closing its request, through the request's own closer when
// it has one. (The stand-in frees such a call by ending its wait instead.)
#include "platform/conformance/thread_test_helpers.h"
#include "platform/thread_stop.h"
#include "platform/wininet.h"
#include "tests/support/loopback_server.h"
#include "tests/support/wine.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <string>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

using threadtest::Eventually;
using threadtest::ExitCode;
using threadtest::Start;

// A server that sends the headers and then nothing more for a minute, and a
// thread reading from it until the stop frees its blocked read.
class NetworkStop : public threadtest::ThreadTest {
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
TEST_F(NetworkStop, ReadBlockedOnTheNetworkIsFreedByTheStop) {
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
TEST_F(NetworkStop, AStopClosesABlockedRequestThroughItsCloserOnly) {
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

}  // namespace
