#include "platform/wininet.h"

#include "platform/kernel32.h"
#include "platform/thread_stop.h"
#include "tests/support/loopback_server.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
#include <atomic>
#include <cstring>
#include <memory>
#include <set>
#include <string>
#include <thread>

namespace {

using testsupport::Fault;
using testsupport::LoopbackServer;

// The flags and accept types the download product sends with every GET.
constexpr DWORD kProductFlags = 0x84400F00u;
LPCSTR kAcceptAll[] = {"*/*", nullptr};

struct InternetCloser {
    void operator()(void* handle) const { InternetCloseHandle(handle); }
};
using UniqueInternet = std::unique_ptr<void, InternetCloser>;

struct OpenedRequest {
    UniqueInternet session;
    UniqueInternet connection;
    UniqueInternet request;
};

OpenedRequest OpenRequest(const std::wstring& host, int port, const char* object, DWORD flags = kProductFlags,
                          LPCSTR* accept = kAcceptAll, DWORD access = INTERNET_OPEN_TYPE_PRECONFIG,
                          const wchar_t* proxy = nullptr) {
    OpenedRequest opened;
    opened.session.reset(InternetOpenW(L"Drelk HTTP Client Class", access, proxy, nullptr, 0));
    EXPECT_NE(opened.session, nullptr);
    opened.connection.reset(InternetConnectW(opened.session.get(), host.c_str(), static_cast<INTERNET_PORT>(port),
                                             nullptr, nullptr, INTERNET_SERVICE_HTTP, 0, 0));
    EXPECT_NE(opened.connection, nullptr);
    opened.request.reset(
        HttpOpenRequestA(opened.connection.get(), "GET", object, "HTTP/1.1", nullptr, accept, flags, 0));
    EXPECT_NE(opened.request, nullptr);
    return opened;
}

// Adds headers the way the HTTP layer does: one line each, length without
// the terminator.
void AddHeader(HINTERNET request, const std::string& line) {
    std::string text = line + "\r\n";
    EXPECT_TRUE(HttpAddRequestHeadersA(request, text.c_str(), static_cast<DWORD>(text.size()), HTTP_ADDREQ_FLAG_ADD));
}

// Opened, with the product's headers, and sent.
OpenedRequest SendProductGet(int port, const char* object, DWORD flags = kProductFlags) {
    OpenedRequest opened = OpenRequest(L"127.0.0.1", port, object, flags);
    AddHeader(opened.request.get(), "Cache-Control: no-cache");
    AddHeader(opened.request.get(), "Range: bytes=0-");
    EXPECT_TRUE(HttpSendRequestW(opened.request.get(), nullptr, 0, nullptr, 0)) << GetLastError();
    return opened;
}

DWORD QueryNumber(HINTERNET request, DWORD level) {
    DWORD value = 0xDEADBEEF;
    DWORD size = sizeof value;
    EXPECT_TRUE(HttpQueryInfoW(request, level | HTTP_QUERY_FLAG_NUMBER, &value, &size, nullptr)) << GetLastError();
    EXPECT_EQ(size, sizeof value);
    return value;
}

// Reads in steps of `step` bytes to the end; false on a failed read.
bool ReadBody(HINTERNET request, std::string& body, DWORD step = 10240) {
    std::string buffer(step, '\0');
    for (;;) {
        DWORD read = 0;
        if (!InternetReadFile(request, buffer.data(), step, &read)) {
            return false;
        }
        if (read == 0) {
            return true;
        }
        body.append(buffer.data(), read);
    }
}

std::string Pattern(std::size_t size) {
    std::string body(size, '\0');
    for (std::size_t i = 0; i < size; ++i) {
        body[i] = static_cast<char>((i * 7 + i / 251) & 0xFF);
    }
    return body;
}

// A bare listening socket. Connections complete in the kernel's backlog;
// unless ServeOnce answers one, nobody ever answers.
class RawListener {
public:
    RawListener() : m_fd(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)) {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        EXPECT_EQ(::bind(m_fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
        EXPECT_EQ(::listen(m_fd, 4), 0);
        EXPECT_EQ(::getsockname(m_fd, reinterpret_cast<sockaddr*>(&address), &length), 0);
        m_port = ntohs(address.sin_port);
    }
    ~RawListener() { ::close(m_fd); }
    RawListener(const RawListener&) = delete;
    RawListener& operator=(const RawListener&) = delete;
    int Port() const { return m_port; }

    // Accepts one connection, returns the request head exactly as it came
    // and answers with `response`.
    std::string ServeOnce(const std::string& response) {
        int connection = ::accept(m_fd, nullptr, nullptr);
        std::string head;
        char buffer[4096];
        while (connection >= 0 && head.find("\r\n\r\n") == std::string::npos) {
            ssize_t n = ::recv(connection, buffer, sizeof buffer, 0);
            if (n <= 0) {
                break;
            }
            head.append(buffer, static_cast<std::size_t>(n));
        }
        if (connection >= 0) {
            EXPECT_EQ(::send(connection, response.data(), response.size(), MSG_NOSIGNAL),
                      static_cast<ssize_t>(response.size()));
            ::close(connection);
        }
        return head;
    }

private:
    int m_fd;
    int m_port = 0;
};

class WinInetTest : public ::testing::Test {
protected:
    LoopbackServer server;
};

// ---- what goes on the wire

TEST_F(WinInetTest, SendsExactlyTheCallersRequestLineAndHeaders) {
    server.SetBody("/cdn/a.bin", "hello");
    OpenedRequest opened = SendProductGet(server.Port(), "/cdn/a.bin");

    auto requests = server.Requests();
    ASSERT_EQ(requests.size(), 1u);
    const auto& request = requests[0];
    EXPECT_EQ(request.method, "GET");
    EXPECT_EQ(request.target, "/cdn/a.bin");
    EXPECT_EQ(request.version, "HTTP/1.1");
    std::multiset<std::string> names;
    for (const auto& header : request.headers) {
        names.insert(header.first);
    }
    EXPECT_EQ(names, (std::multiset<std::string>{"Accept", "Cache-Control", "Host", "Range", "User-Agent"}));
    EXPECT_EQ(request.Header("User-Agent"), "Drelk HTTP Client Class");
    EXPECT_EQ(request.Header("Host"), "127.0.0.1:" + std::to_string(server.Port()));
    EXPECT_EQ(request.Header("Accept"), "*/*");
    EXPECT_EQ(request.Header("Cache-Control"), "no-cache");
    EXPECT_EQ(request.Header("Range"), "bytes=0-");
}

TEST(WinInetWire, SendsOnlyWhatWasGivenAndEscapesTheObjectName) {
    RawListener listener;
    std::string head;
    std::thread serve([&] { head = listener.ServeOnce("HTTP/1.1 200 OK\r\nContent-Length: 0\r\n\r\n"); });
    OpenedRequest opened = OpenRequest(L"127.0.0.1", listener.Port(), "/dir/a b/\xC3\xA9.txt?q=1", 0, nullptr);
    ASSERT_TRUE(HttpAddRequestHeadersA(opened.request.get(), "X-One: 1\r\nX-Empty:\r\nX-Two: 2", static_cast<DWORD>(-1),
                                       HTTP_ADDREQ_FLAG_ADD));
    EXPECT_TRUE(HttpSendRequestW(opened.request.get(), L"X-Three: 3\r\n", static_cast<DWORD>(-1), nullptr, 0));
    serve.join();
    EXPECT_EQ(head,
              "GET /dir/a%20b/%C3%A9.txt?q=1 HTTP/1.1\r\n"
              "Host: 127.0.0.1:" +
                  std::to_string(listener.Port()) +
                  "\r\n"
                  "User-Agent: Drelk HTTP Client Class\r\n"
                  "X-One: 1\r\n"
                  "X-Empty:\r\n"
                  "X-Two: 2\r\n"
                  "X-Three: 3\r\n"
                  "\r\n");
    EXPECT_EQ(QueryNumber(opened.request.get(), HTTP_QUERY_STATUS_CODE), 200u);
}

TEST_F(WinInetTest, ProxySessionsSendTheAbsoluteUrlAndTheProxyAccount) {
    server.SetBody("http://files.example/x", "via proxy");
    std::wstring proxy = L"http=127.0.0.1:" + std::to_wstring(server.Port());
    OpenedRequest opened =
        OpenRequest(L"files.example", 0, "/x", kProductFlags, kAcceptAll, INTERNET_OPEN_TYPE_PROXY, proxy.c_str());
    wchar_t user[] = L"user";
    wchar_t password[] = L"secret";
    ASSERT_TRUE(InternetSetOptionW(opened.connection.get(), INTERNET_OPTION_PROXY_USERNAME, user, 4));
    ASSERT_TRUE(InternetSetOptionW(opened.connection.get(), INTERNET_OPTION_PROXY_PASSWORD, password, 6));
    ASSERT_TRUE(HttpSendRequestW(opened.request.get(), nullptr, 0, nullptr, 0)) << GetLastError();

    auto requests = server.Requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].target, "http://files.example/x");
    EXPECT_EQ(requests[0].Header("Proxy-Authorization"), "Basic dXNlcjpzZWNyZXQ=");
    std::string body;
    EXPECT_TRUE(ReadBody(opened.request.get(), body));
    EXPECT_EQ(body, "via proxy");
}

// ---- answers

TEST_F(WinInetTest, ReportsStatusAndContentLengthAsNumbersAndText) {
    server.SetBody("/v", "12345");
    OpenedRequest opened = SendProductGet(server.Port(), "/v");
    HINTERNET request = opened.request.get();
    EXPECT_EQ(QueryNumber(request, HTTP_QUERY_STATUS_CODE), 206u);
    EXPECT_EQ(QueryNumber(request, HTTP_QUERY_CONTENT_LENGTH), 5u);

    wchar_t text[8] = {};
    DWORD size = 2 * sizeof(wchar_t);
    EXPECT_FALSE(HttpQueryInfoW(request, HTTP_QUERY_STATUS_CODE, text, &size, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_EQ(size, 4 * sizeof(wchar_t));
    ASSERT_TRUE(HttpQueryInfoW(request, HTTP_QUERY_STATUS_CODE, text, &size, nullptr));
    EXPECT_EQ(std::wstring(text), L"206");
    EXPECT_EQ(size, 3 * sizeof(wchar_t));

    server.SetRangeAnswer206(false);
    OpenedRequest whole = SendProductGet(server.Port(), "/v");
    EXPECT_EQ(QueryNumber(whole.request.get(), HTTP_QUERY_STATUS_CODE), 200u);
}

// As Windows gives them: the values as received, an ETag with its quotes;
// a header the answer lacks is not found.
TEST_F(WinInetTest, ReportsContentRangeETagAndLastModifiedAsText) {
    server.SetBody("/v", "12345");
    OpenedRequest opened = SendProductGet(server.Port(), "/v");
    const auto text = [&](DWORD level) {
        wchar_t buffer[128] = {};
        DWORD size = sizeof buffer;
        if (!HttpQueryInfoW(opened.request.get(), level, buffer, &size, nullptr))
            return std::wstring(L"error ") + std::to_wstring(GetLastError());
        return std::wstring(buffer, size / sizeof(wchar_t));
    };
    EXPECT_EQ(text(HTTP_QUERY_CONTENT_RANGE), L"bytes 0-4/5");
    const std::wstring etag = text(HTTP_QUERY_ETAG);
    ASSERT_GE(etag.size(), 3u);
    EXPECT_EQ(etag.front(), L'"');
    EXPECT_EQ(etag.back(), L'"');
    EXPECT_EQ(text(HTTP_QUERY_LAST_MODIFIED), L"error " + std::to_wstring(ERROR_HTTP_HEADER_NOT_FOUND));
    DWORD number = 0;
    DWORD size = sizeof number;
    EXPECT_FALSE(
        HttpQueryInfoW(opened.request.get(), HTTP_QUERY_ETAG | HTTP_QUERY_FLAG_NUMBER, &number, &size, nullptr));
}

TEST_F(WinInetTest, ChunkedAnswerHasNoContentLength) {
    server.SetBody("/c", Pattern(150000));
    server.SetFault("/c", Fault{.chunked = true});
    OpenedRequest opened = SendProductGet(server.Port(), "/c");
    DWORD length = 77;
    DWORD size = sizeof length;
    EXPECT_FALSE(HttpQueryInfoW(opened.request.get(), HTTP_QUERY_CONTENT_LENGTH | HTTP_QUERY_FLAG_NUMBER, &length,
                                &size, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_HTTP_HEADER_NOT_FOUND));
    EXPECT_EQ(length, 77u);
    std::string body;
    EXPECT_TRUE(ReadBody(opened.request.get(), body));
    EXPECT_EQ(body, Pattern(150000));
}

TEST_F(WinInetTest, ErrorStatusesAreAnswersNotFailures) {
    server.SetBody("/gone", "body");
    server.SetFault("/gone", Fault{.status = 404});
    server.SetBody("/range", "body");
    server.SetFault("/range", Fault{.status = 416});
    EXPECT_EQ(QueryNumber(SendProductGet(server.Port(), "/gone").request.get(), HTTP_QUERY_STATUS_CODE), 404u);
    EXPECT_EQ(QueryNumber(SendProductGet(server.Port(), "/range").request.get(), HTTP_QUERY_STATUS_CODE), 416u);
    EXPECT_EQ(QueryNumber(SendProductGet(server.Port(), "/nowhere").request.get(), HTTP_QUERY_STATUS_CODE), 404u);
}

TEST_F(WinInetTest, FollowsRedirectsWithTheSameHeadersUnlessAskedNotTo) {
    server.SetFault("/moved", Fault{.status = 302, .location = "/target"});
    server.SetBody("/target", "arrived");
    OpenedRequest opened = SendProductGet(server.Port(), "/moved");
    EXPECT_EQ(QueryNumber(opened.request.get(), HTTP_QUERY_STATUS_CODE), 206u);
    EXPECT_EQ(QueryNumber(opened.request.get(), HTTP_QUERY_CONTENT_LENGTH), 7u);
    std::string body;
    EXPECT_TRUE(ReadBody(opened.request.get(), body));
    EXPECT_EQ(body, "arrived");
    auto requests = server.Requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[1].target, "/target");
    EXPECT_EQ(requests[1].HeaderCount("Range"), 1u);
    EXPECT_EQ(requests[1].Header("Cache-Control"), "no-cache");

    OpenedRequest kept = SendProductGet(server.Port(), "/moved", kProductFlags | INTERNET_FLAG_NO_AUTO_REDIRECT);
    EXPECT_EQ(QueryNumber(kept.request.get(), HTTP_QUERY_STATUS_CODE), 302u);
}

// ---- reading the body

TEST_F(WinInetTest, ReadsFillTheRequestedCountAcrossChunksThenEnd) {
    const std::string expected = Pattern(300000);
    server.SetBody("/big", expected);
    server.SetFault("/big", Fault{.slowBodyDelayMs = 1});
    OpenedRequest opened = SendProductGet(server.Port(), "/big");

    std::string body;
    std::string buffer(120000, '\0');
    for (DWORD want : {120000u, 120000u}) {
        DWORD read = 0;
        ASSERT_TRUE(InternetReadFile(opened.request.get(), buffer.data(), want, &read));
        EXPECT_EQ(read, want);
        body.append(buffer.data(), read);
    }
    DWORD read = 0;
    ASSERT_TRUE(InternetReadFile(opened.request.get(), buffer.data(), 120000, &read));
    EXPECT_EQ(read, 60000u);  // the rest
    body.append(buffer.data(), read);
    EXPECT_EQ(body, expected);
    ASSERT_TRUE(InternetReadFile(opened.request.get(), buffer.data(), 120000, &read));
    EXPECT_EQ(read, 0u);
}

TEST_F(WinInetTest, LargeBodiesArriveIntactInSmallReads) {
    const std::string expected = Pattern(8 * 1024 * 1024 + 17);
    server.SetBody("/large", expected);
    OpenedRequest opened = SendProductGet(server.Port(), "/large");
    std::string body;
    EXPECT_TRUE(ReadBody(opened.request.get(), body));
    EXPECT_TRUE(body == expected);
}

TEST_F(WinInetTest, BodiesCutShortFailTheReadInsteadOfEndingIt) {
    server.SetBody("/cut", Pattern(200000));
    server.SetBody("/short", Pattern(1000));
    server.SetBody("/chunks", Pattern(200000));
    server.SetFault("/cut", Fault{.closeAfterBytes = 70000});
    server.SetFault("/short", Fault{.extraContentLength = 24});
    server.SetFault("/chunks", Fault{.chunked = true, .closeAfterBytes = 70000});

    for (const char* target : {"/cut", "/chunks"}) {
        OpenedRequest opened = SendProductGet(server.Port(), target);
        std::string body;
        EXPECT_FALSE(ReadBody(opened.request.get(), body)) << target;
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INTERNET_CONNECTION_RESET)) << target;
        EXPECT_LE(body.size(), 70000u) << target;
        // The failure stays: the body never looks complete.
        char byte = 0;
        DWORD read = 0;
        EXPECT_FALSE(InternetReadFile(opened.request.get(), &byte, 1, &read)) << target;
    }

    // One read for the whole announced length, as a small answer is read.
    OpenedRequest opened = SendProductGet(server.Port(), "/short");
    EXPECT_EQ(QueryNumber(opened.request.get(), HTTP_QUERY_CONTENT_LENGTH), 1024u);
    std::string buffer(1024, '\0');
    DWORD read = 0;
    EXPECT_FALSE(InternetReadFile(opened.request.get(), buffer.data(), 1024, &read));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INTERNET_CONNECTION_RESET));
    EXPECT_EQ(read, 0u);
}

// ---- failures of the exchange

TEST(WinInetFailures, RefusedPortFailsTheSend) {
    OpenedRequest opened = OpenRequest(L"127.0.0.1", LoopbackServer::RefusedPort(), "/x");
    EXPECT_FALSE(HttpSendRequestW(opened.request.get(), nullptr, 0, nullptr, 0));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INTERNET_CANNOT_CONNECT));
    DWORD status = 0;
    DWORD size = sizeof status;
    EXPECT_FALSE(
        HttpQueryInfoW(opened.request.get(), HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INTERNET_INCORRECT_HANDLE_STATE));
}

TEST(WinInetFailures, UnknownHostFailsTheSend) {
    OpenedRequest opened =
        OpenRequest(L"quillmoor-test.invalid", 80, "/x", kProductFlags, kAcceptAll, INTERNET_OPEN_TYPE_DIRECT);
    EXPECT_FALSE(HttpSendRequestW(opened.request.get(), nullptr, 0, nullptr, 0));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INTERNET_NAME_NOT_RESOLVED));
}

TEST_F(WinInetTest, SecureRequestsSpeakTlsOnly) {
    server.SetBody("/s", "plain");
    OpenedRequest opened = OpenRequest(L"127.0.0.1", server.Port(), "/s", kProductFlags | INTERNET_FLAG_SECURE);
    EXPECT_FALSE(HttpSendRequestW(opened.request.get(), nullptr, 0, nullptr, 0));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INTERNET_SECURITY_CHANNEL_ERROR));
}

TEST(WinInetHandles, RejectsUnknownAndWrongKindsAndClosesChildrenWithParents) {
    int bogus = 0;
    EXPECT_FALSE(InternetCloseHandle(&bogus));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));

    OpenedRequest opened = OpenRequest(L"127.0.0.1", 80, "/x");
    EXPECT_EQ(HttpOpenRequestA(opened.session.get(), "GET", "/", nullptr, nullptr, nullptr, 0, 0), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INTERNET_INCORRECT_HANDLE_TYPE));
    EXPECT_EQ(InternetConnectW(opened.session.get(), L"bad host/x", 80, nullptr, nullptr, INTERNET_SERVICE_HTTP, 0, 0),
              nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INTERNET_INVALID_URL));

    HINTERNET request = opened.request.release();
    HINTERNET connection = opened.connection.release();
    ASSERT_TRUE(InternetCloseHandle(opened.session.release()));
    EXPECT_FALSE(HttpAddRequestHeadersA(request, "X: 1", static_cast<DWORD>(-1), HTTP_ADDREQ_FLAG_ADD));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    EXPECT_FALSE(InternetCloseHandle(connection));
    EXPECT_FALSE(InternetCloseHandle(request));
}

// ---- stopping and cancelling a blocked exchange

struct BlockedCall {
    int port = 0;
    HANDLE ready = nullptr;
    std::atomic<bool> returned{false};
    std::atomic<bool> handlesClosed{false};
};

// Closes the request's handles when the thread unwinds, and says so.
struct ClosingScope {
    BlockedCall& call;
    OpenedRequest opened;
    ~ClosingScope() {
        opened = OpenedRequest{};
        call.handlesClosed = true;
    }
};

DWORD WINAPI ReadSlowBody(LPVOID parameter) {
    auto& call = *static_cast<BlockedCall*>(parameter);
    ClosingScope scope{call, SendProductGet(call.port, "/slow")};
    std::string buffer(64 * 1024 * 1024, '\0');
    DWORD read = 0;
    SetEvent(call.ready);
    InternetReadFile(scope.opened.request.get(), buffer.data(), static_cast<DWORD>(buffer.size()), &read);
    call.returned = true;
    return 0;
}

DWORD WINAPI SendToSilentServer(LPVOID parameter) {
    auto& call = *static_cast<BlockedCall*>(parameter);
    ClosingScope scope{call, OpenRequest(L"127.0.0.1", call.port, "/silent")};
    SetEvent(call.ready);
    HttpSendRequestW(scope.opened.request.get(), nullptr, 0, nullptr, 0);
    call.returned = true;
    return 0;
}

void ExpectStoppedWhileBlocked(LPTHREAD_START_ROUTINE routine, BlockedCall& call) {
    call.ready = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    ASSERT_NE(call.ready, nullptr);
    HANDLE thread = CreateThread(nullptr, 0, routine, &call, 0, nullptr);
    ASSERT_NE(thread, nullptr);
    ASSERT_EQ(WaitForSingleObject(call.ready, 30000), WAIT_OBJECT_0);
    ASSERT_TRUE(TerminateThread(thread, 77));
    ASSERT_EQ(WaitForSingleObject(thread, 30000), WAIT_OBJECT_0);
    DWORD code = 0;
    EXPECT_TRUE(GetExitCodeThread(thread, &code));
    EXPECT_EQ(code, 77u);
    EXPECT_FALSE(call.returned);
    EXPECT_TRUE(call.handlesClosed);
    CloseHandle(thread);
    CloseHandle(call.ready);
    platform::EndRemainingThreads();  // joins the finished thread
}

TEST_F(WinInetTest, StoppedThreadUnwindsOutOfABlockedRead) {
    server.SetBody("/slow", Pattern(64 * 1024 * 1024));
    server.SetFault("/slow", Fault{.slowBodyDelayMs = 1000});
    BlockedCall call;
    call.port = server.Port();
    ExpectStoppedWhileBlocked(ReadSlowBody, call);
}

TEST(WinInetStop, StoppedThreadUnwindsOutOfABlockedSend) {
    RawListener listener;
    BlockedCall call;
    call.port = listener.Port();
    ExpectStoppedWhileBlocked(SendToSilentServer, call);
}

TEST_F(WinInetTest, ClosingTheSessionCancelsARead) {
    server.SetBody("/slow", Pattern(8 * 1024 * 1024));
    server.SetFault("/slow", Fault{.slowBodyDelayMs = 1000});
    OpenedRequest opened = SendProductGet(server.Port(), "/slow");
    HINTERNET request = opened.request.release();
    opened.connection.release();
    std::atomic<bool> reading{false};
    bool firstRead = false;
    BOOL result = TRUE;
    DWORD error = 0;
    std::thread reader([&] {
        std::string buffer(8 * 1024 * 1024, '\0');
        DWORD read = 0;
        firstRead = InternetReadFile(request, buffer.data(), 1, &read) && read == 1;
        reading = true;
        result = InternetReadFile(request, buffer.data(), static_cast<DWORD>(buffer.size()), &read);
        error = GetLastError();
    });
    while (!reading) {
        std::this_thread::yield();
    }
    EXPECT_TRUE(InternetCloseHandle(opened.session.release()));
    reader.join();
    EXPECT_TRUE(firstRead);
    EXPECT_FALSE(result);
    // Cancelled while reading, or closed before the read began.
    EXPECT_TRUE(error == ERROR_INTERNET_OPERATION_CANCELLED || error == ERROR_INVALID_HANDLE) << error;
}

// ---- the rest

TEST(CoCreateGuidTest, GivesDistinctVersion4Guids) {
    GUID a{};
    GUID b{};
    ASSERT_EQ(CoCreateGuid(&a), S_OK);
    ASSERT_EQ(CoCreateGuid(&b), S_OK);
    EXPECT_NE(std::memcmp(&a, &b, sizeof a), 0);
    for (const GUID& guid : {a, b}) {
        EXPECT_EQ(guid.Data3 >> 12, 4);
        EXPECT_EQ(guid.Data4[0] & 0xC0, 0x80);
    }
    EXPECT_EQ(CoCreateGuid(nullptr), E_INVALIDARG);
}

TEST(InternetGetConnectedStateTest, ThisMachineIsConnected) {
    DWORD flags = 0;
    EXPECT_TRUE(InternetGetConnectedState(&flags, 0));
    EXPECT_EQ(flags, INTERNET_CONNECTION_LAN);
}

}  // namespace
