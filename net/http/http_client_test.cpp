#include "net/http/http_client.h"

#include "platform/text.h"
#include "tests/support/loopback_server.h"
#include "tests/support/request_checks.h"
#include "tests/support/wine.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace Drelk {
namespace {

constexpr DWORD kProductFlags = 0x84400F00u;

UrlAnalysis Analysed(const wchar_t* szUrl) {
    UrlAnalysis objAnal;
    CHttpUrlAnalyzerT<CHttpToolW>::Analyze(szUrl, CP_ACP, objAnal);
    return objAnal;
}

INTERNET_PORT PortOf(const wchar_t* szUrl) {
    return CHttpClient::ServerPort(szUrl, Analysed(szUrl));
}

// The layer's code of the exception the call raises; -1 when it raises none.
long long ErrorCodeOf(const std::function<void()>& call) {
    try {
        call();
    } catch (const httpclientexceptionW& e) {
        return e.GetErrorCode();
    }
    return -1;
}

std::wstring MessageOf(const std::function<void()>& call) {
    try {
        call();
    } catch (const httpclientexceptionW& e) {
        return e.GetMessageText();
    }
    return L"(accepted)";
}

std::string ReadBody(CHttpResponse& response) {
    std::string body;
    BYTE buffer[4096];
    while (DWORD cbRead = response.ReadContent(buffer, sizeof buffer))
        body.append(reinterpret_cast<const char*>(buffer), cbRead);
    return body;
}

// ---- without a network

TEST(HttpClient, BoundaryIsFreshAndFortyThreeCharactersLong) {
    CHttpClient first;
    CHttpClient second;
    ASSERT_NE(first.GetBoundary(), nullptr);
    const std::wstring boundary = first.GetBoundary();
    ASSERT_EQ(boundary.size(), 43u);
    EXPECT_EQ(boundary.substr(0, 10), L"----MAVEK-");
    EXPECT_EQ(boundary.find_first_not_of(L"0123456789abcdef", 10), 42u) << platform::ToUtf8(boundary);
    EXPECT_EQ(boundary.back(), L'-');
    EXPECT_NE(boundary, std::wstring(second.GetBoundary()));
    EXPECT_EQ(first.GetBoundaryA(), platform::ToUtf8(boundary));
    EXPECT_EQ(first.GetPostContentType(), L"multipart/form-data; boundary=" + boundary);
}

TEST(HttpClient, PortIsExplicitOrFollowsTheScheme) {
    EXPECT_EQ(PortOf(L"http://h/"), 80);
    EXPECT_EQ(PortOf(L"h/x"), 80);
    EXPECT_EQ(PortOf(L"https://h/"), 443);
    EXPECT_EQ(PortOf(L"HTTPS://h/"), 443);
    EXPECT_EQ(PortOf(L"Https://h"), 443);
    // Six letters starting with "https" are another scheme.
    EXPECT_EQ(PortOf(L"httpsx://h/"), 80);
    EXPECT_EQ(PortOf(L"https://h:8443/"), 8443);
    EXPECT_EQ(PortOf(L"http://h:65535/"), 65535);
    EXPECT_EQ(PortOf(L"http://h:00080/"), 80);
    // An empty port is no port.
    EXPECT_EQ(PortOf(L"http://h:/x"), 80);
}

TEST(HttpClient, InvalidPortsRaiseCode107) {
    for (const wchar_t* szUrl :
         {L"http://h:123456/", L"http://h:0000080/", L"http://h:65536/", L"http://h:99999", L"http://h:80a/",
          L"http://h:a/", L"http://h:-1/", L"http://h: 80/", L"http://h:1:2/"}) {
        EXPECT_EQ(ErrorCodeOf([&] { PortOf(szUrl); }), 107) << platform::ToUtf8(szUrl);
    }
}

TEST(HttpClient, HttpsSchemeIsRecognisedWithoutRegardToCase) {
    for (const wchar_t* szUrl : {L"https://h", L"HTTPS://h", L"Https://h", L"hTtPs://h"})
        EXPECT_TRUE(CHttpClient::IsHttpsScheme(szUrl, Analysed(szUrl))) << platform::ToUtf8(szUrl);
    for (const wchar_t* szUrl : {L"http://h", L"httpsx://h", L"https:/h", L"ftp://h", L"https"})
        EXPECT_FALSE(CHttpClient::IsHttpsScheme(szUrl, Analysed(szUrl))) << platform::ToUtf8(szUrl);
}

TEST(HttpClient, ObjectNameIsPathQueryAndFragmentOrASlash) {
    auto objectName = [](const wchar_t* szUrl) { return CHttpClient::ObjectName(szUrl, Analysed(szUrl)); };
    EXPECT_EQ(objectName(L"http://host/a/b?x=1#f"), L"/a/b?x=1#f");
    EXPECT_EQ(objectName(L"http://host"), L"/");
    EXPECT_EQ(objectName(L"http://host:81"), L"/");
    EXPECT_EQ(objectName(L"http://host?x=1"), L"/?x=1");
    EXPECT_EQ(objectName(L"http://host#f"), L"/#f");
    EXPECT_EQ(objectName(L"host/dir/file.lz"), L"/dir/file.lz");
}

TEST(HttpClient, AddHeaderRefusesAMissingOrEmptyValue) {
    CHttpClient client;
    EXPECT_EQ(MessageOf([&] { client.AddHeader(L"Range", nullptr); }),
              L"CHttpClientT::AddHeader: szValue can not be NULL.");
    EXPECT_EQ(MessageOf([&] { client.AddHeader(L"Range", L""); }),
              L"CHttpClientT::AddHeader: szValue can not be an empty string.");
    EXPECT_TRUE(client.GetHeaders().Empty());
}

TEST(HttpClient, StepsRefuseMissingHandles) {
    CHttpClient client;
    wchar_t* noBuffer = nullptr;
    EXPECT_EQ(MessageOf([&] { client.OpenConnection(nullptr, L"http://h/"); }),
              L"CHttpClientT::OpenConnection: hInternet can not be NULL.");
    EXPECT_EQ(MessageOf([&] { client.ApplyProxyAccount(nullptr); }),
              L"CHttpClientT::ApplyProxyAccount: hConnection can not be NULL.");
    EXPECT_EQ(MessageOf([&] { client.OpenRequest(L"http://h/", nullptr, 0); }),
              L"CHttpClientT::OpenRequest: hConnection can not be NULL.");
    EXPECT_EQ(MessageOf([&] { client.AddRequestHeader(nullptr); }),
              L"CHttpClientT::AddRequestHeader: hRequest can not be NULL.");
    EXPECT_EQ(MessageOf([&] { client.MakeGetUrl(noBuffer, L"http://h/"); }),
              L"CHttpClientT::MakeGetUrl: szBuff can not be NULL.");
}

TEST(HttpClient, NoPostIsEverActive) {
    CHttpClient client;
    EXPECT_FALSE(client.GetPostStat().IsActive());
    EXPECT_EQ(MessageOf([&] { client.GetPostStat().FileCount(); }),
              L"CHttpPostStatT::FileCount: The post context is not active.");
    EXPECT_EQ(MessageOf([&] { client._ReleasePostResponse(); }),
              L"CHttpClientT::_ReleasePostResponse: The post context is not active.");
}

TEST(HttpClient, ResponseWithoutRequestHandleRefusesEveryQuery) {
    CHttpResponse response{InternetHandle()};
    DWORD cbLength = 7;
    BYTE buffer[4];
    EXPECT_EQ(MessageOf([&] { response.GetStatus(); }), L"CHttpResponseT::GetStatus: m_hRequest can not be NULL.");
    EXPECT_EQ(MessageOf([&] { response.GetContentLength(cbLength); }),
              L"CHttpResponseT::GetContentLength: m_hRequest can not be NULL.");
    EXPECT_EQ(MessageOf([&] { response.ReadContent(buffer, sizeof buffer); }),
              L"CHttpResponseT::ReadContent: m_hRequest can not be NULL.");
    EXPECT_EQ(cbLength, 7u);
}

TEST(HttpClient, MakeGetUrlAppendsEncodedParametersBeforeTheFragment) {
    CHttpClient client;
    client.AddParam(L"platform", L"qm 1");
    client.AddParam(L"raw", L"a/b", CHttpClient::CHttpClientMap::kRawValue);
    client.AddParam(L"empty", nullptr);

    auto getUrl = [&](const wchar_t* szUrl) {
        std::wstring buffer(client.MakeGetUrlLength(szUrl), L'?');
        client.MakeGetUrl(buffer.data(), szUrl);
        EXPECT_EQ(buffer.back(), L'\0') << "length and content disagree";
        return std::wstring(buffer.c_str());
    };
    // Map order is by name: empty, platform, raw.
    EXPECT_EQ(getUrl(L"http://h:8/v#top"), L"http://h:8/v?empty=&platform=qm+1&raw=a/b#top");
    EXPECT_EQ(getUrl(L"http://h"), L"http://h/?empty=&platform=qm+1&raw=a/b");
    EXPECT_EQ(getUrl(L"http://h/v?x=1"), L"http://h/v?x=1&empty=&platform=qm+1&raw=a/b");
}

// ---- against the loopback server

class HttpClientServer : public ::testing::Test {
protected:
    std::wstring Url(const std::string& target) const { return platform::FromUtf8(m_server.BaseUrl() + target); }

    testsupport::LoopbackServer m_server;
    CHttpClient m_client;
};

TEST_F(HttpClientServer, GetSendsTheRequestLineAndHeadersInOrder) {
    m_server.SetBody("/file.bin", "0123456789");
    m_client.AddHeader(L"Range", L"bytes=0-");
    m_client.AddHeader(L"X-First", L"1");
    m_client.AddHeader(L"x-first", L"2");

    auto response = m_client.Get(Url("/file.bin").c_str(), kProductFlags);
    ASSERT_NE(response, nullptr);

    const auto requests = m_server.Requests();
    ASSERT_EQ(requests.size(), 1u);
    const auto& request = requests[0];
    EXPECT_TRUE(testsupport::IsDownloadRequest(request, "bytes=0-"));
    EXPECT_EQ(request.target, "/file.bin");
    std::vector<std::string> firsts;
    for (const auto& [name, value] : request.headers)
        if (name == "X-First" || name == "x-first")
            firsts.push_back(value);
    EXPECT_EQ(firsts, (std::vector<std::string>{"1", "2"}));
}

TEST_F(HttpClientServer, CacheControlOnlyWithPragmaNoCache) {
    m_server.SetBody("/a", "x");
    m_client.Get(Url("/a").c_str(), 0);
    const auto requests = m_server.Requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].HeaderCount("Cache-Control"), 0u);
}

TEST_F(HttpClientServer, ResponseReportsStatusLengthAndBody) {
    const std::string body(100000, 'b');
    m_server.SetBody("/big", body);
    auto response = m_client.Get(Url("/big").c_str(), kProductFlags);
    EXPECT_EQ(response->GetStatus(), 200u);
    EXPECT_EQ(response->GetStatus(), 200u);
    DWORD cbLength = 0;
    EXPECT_TRUE(response->GetContentLength(cbLength));
    EXPECT_EQ(cbLength, body.size());
    EXPECT_EQ(ReadBody(*response), body);
    // Reading past the end keeps answering 0.
    BYTE byte;
    EXPECT_EQ(response->ReadContent(&byte, 1), 0u);
}

TEST_F(HttpClientServer, MissingContentLengthLeavesTheVariableAlone) {
    m_server.SetBody("/chunked", "abc");
    m_server.SetFault("/chunked", testsupport::Fault{.chunked = true});
    auto response = m_client.Get(Url("/chunked").c_str(), kProductFlags);
    DWORD cbLength = 4711;
    EXPECT_FALSE(response->GetContentLength(cbLength));
    EXPECT_EQ(cbLength, 4711u);
    EXPECT_EQ(ReadBody(*response), "abc");
}

TEST_F(HttpClientServer, ErrorStatusIsAnAnswerNotAFailure) {
    auto response = m_client.Get(Url("/missing").c_str(), kProductFlags);
    EXPECT_EQ(response->GetStatus(), 404u);
}

TEST_F(HttpClientServer, ObjectNameOfUrlsWithoutPath) {
    m_server.SetBody("/", "root");
    EXPECT_EQ(ReadBody(*m_client.Get(Url("").c_str(), 0)), "root");
    m_client.Get(Url("?x=1").c_str(), 0);
    m_client.Get(Url("/a/b?x=1#f").c_str(), 0);
    const auto requests = m_server.Requests();
    ASSERT_EQ(requests.size(), 3u);
    EXPECT_EQ(requests[0].target, "/");
    EXPECT_EQ(requests[1].target, "/?x=1");
    // The fragment is part of the object name; what reaches the wire of it is
    // WinINet's business, path and query must arrive intact.
    EXPECT_EQ(requests[2].target.substr(0, 8), "/a/b?x=1");
}

TEST_F(HttpClientServer, TargetsOutsidePrintableAsciiGoOutAsEscapedUtf8) {
    // The same bytes on every system, whatever its ANSI code page: a Chinese
    // name, a blank, a character beyond the 16-bit plane (a surrogate pair
    // on Windows); what is already escaped, and reserved characters, as
    // written.
    m_server.SetBody("/maps/%E6%97%A7%20%E5%9F%8E.map", "gables");
    EXPECT_EQ(ReadBody(*m_client.Get(Url("/maps/\xe6\x97\xa7 \xe5\x9f\x8e.map").c_str(), kProductFlags)), "gables");
    m_client.Get(Url("/a%20b/\xf0\x9f\x8e\xb2;v=1?q=%41&r=\xc3\xa9").c_str(), 0);
    const auto requests = m_server.Requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0].target, "/maps/%E6%97%A7%20%E5%9F%8E.map");
    EXPECT_EQ(requests[1].target, "/a%20b/%F0%9F%8E%B2;v=1?q=%41&r=%C3%A9");
}

TEST_F(HttpClientServer, ParametersGoIntoTheQuery) {
    m_client.AddParam(L"platform", L"qm 1");
    m_client.Get(Url("/v?x=1").c_str(), 0);
    const auto requests = m_server.Requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].target, "/v?x=1&platform=qm+1");
}

TEST_F(HttpClientServer, BadUrlsFailBeforeAnythingIsSent) {
    const std::string host = "http://127.0.0.1";
    EXPECT_EQ(ErrorCodeOf([&] { m_client.Get(platform::FromUtf8(host + ":123456/").c_str(), 0); }), 107);
    EXPECT_EQ(ErrorCodeOf([&] { m_client.Get(platform::FromUtf8(host + ":65536/").c_str(), 0); }), 107);
    EXPECT_EQ(ErrorCodeOf([&] { m_client.Get(Url("x/").c_str(), 0); }), 107);
    EXPECT_EQ(ErrorCodeOf([&] { m_client.Get(L"http:///file", 0); }), 103);
    EXPECT_EQ(ErrorCodeOf([&] { m_client.Get(L"", 0); }), 103);
    EXPECT_TRUE(m_server.Requests().empty());
}

TEST_F(HttpClientServer, RefusedConnectionFailsTheSend) {
    const std::wstring url =
        platform::FromUtf8("http://127.0.0.1:" + std::to_string(testsupport::LoopbackServer::RefusedPort()) + "/");
    try {
        m_client.Get(url.c_str(), kProductFlags);
        ADD_FAILURE() << "a refused connection was answered";
    } catch (const httpclientexceptionW& e) {
        EXPECT_EQ(e.GetErrorCode(), 406u);
        EXPECT_STREQ(e.GetMessageText(), L"::HttpSendRequest failed.");
        EXPECT_NE(e.GetWin32Error(), 0u);
    }
}

TEST_F(HttpClientServer, HttpsSchemeAsksForASecureConnection) {
    m_server.SetBody("/s", "plain");
    // The same server over TLS: the plain server cannot answer the handshake.
    for (const char* scheme : {"https", "HTTPS", "Https"}) {
        const std::wstring url =
            platform::FromUtf8(std::string(scheme) + "://127.0.0.1:" + std::to_string(m_server.Port()) + "/s");
        EXPECT_EQ(ErrorCodeOf([&] { m_client.Get(url.c_str(), kProductFlags); }), 406) << scheme;
    }
    EXPECT_TRUE(m_server.Requests().empty());
    // The plain scheme reaches it.
    EXPECT_EQ(ReadBody(*m_client.Get(Url("/s").c_str(), kProductFlags)), "plain");
}

// Another thread's cancel frees a send waiting for headers that never come,
// a read waiting for a body that stalled, and a request not yet sent; the
// request handle is closed once, by whichever side comes first.
TEST_F(HttpClientServer, CancelFromAnotherThreadEndsWhatBlocks) {
    if (testsupport::UnderWine())
        GTEST_SKIP() << "Wine: InternetCloseHandle from another thread does not end an InternetReadFile "
                        "blocked on a stalled server";
    using Clock = std::chrono::steady_clock;
    const auto cancelSoon = [](CRequestCancel& cancel) {
        return std::thread([&cancel] {
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
            cancel.Cancel();
        });
    };

    testsupport::SilentPort silent;
    const std::wstring silentUrl = platform::FromUtf8("http://127.0.0.1:" + std::to_string(silent.Port()) + "/");
    CRequestCancel sendCancel;
    std::thread canceller = cancelSoon(sendCancel);
    auto start = Clock::now();
    EXPECT_EQ(ErrorCodeOf([&] { m_client.Get(silentUrl.c_str(), kProductFlags, &sendCancel); }), 406);
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(5));
    canceller.join();

    m_server.SetBody("/stall", "0123456789");
    m_server.SetFault("/stall", testsupport::Fault{.stallAfterBytes = 3});
    CRequestCancel readCancel;
    auto response = m_client.Get(Url("/stall").c_str(), kProductFlags, &readCancel);
    canceller = cancelSoon(readCancel);
    start = Clock::now();
    BYTE buffer[10];
    EXPECT_EQ(ErrorCodeOf([&] { response->ReadContent(buffer, sizeof buffer); }), 401);
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(5));
    canceller.join();
    response.reset();

    // A cancel that came first ends the request as soon as it exists.
    CRequestCancel early;
    early.Cancel();
    EXPECT_EQ(ErrorCodeOf([&] { m_client.Get(Url("/stall").c_str(), kProductFlags, &early); }), 406);
    // Without a cancel the owner keeps its handle and closes it itself.
    CRequestCancel unused;
    m_server.SetBody("/plain", "plain");
    EXPECT_EQ(ReadBody(*m_client.Get(Url("/plain").c_str(), kProductFlags, &unused)), "plain");
    EXPECT_TRUE(unused.Detach());
}

}  // namespace
}  // namespace Drelk
