// The HTTP client: settings, request headers and parameters. Every Get runs
// in a WinINet request of its own, which the returned response owns, on the
// client's session and its connection to that server, both kept while the
// client lives: WinINet then sends the next request to the same server on
// the connection the last one left open, instead of a new one each time.
#pragma once

#include "net/http/http_client_map.h"
#include "net/http/http_encoder.h"
#include "net/http/http_post_stat.h"
#include "net/http/http_response.h"
#include "net/http/http_tool.h"
#include "net/http/http_url_analyzer.h"
#include "net/http/internet_handle.h"
#include "platform/kernel32.h"

#include <memory>
#include <string>
#include <vector>

namespace Drelk {

template <typename HttpTool, typename HttpEncoder>
class CHttpClientT {
public:
    using CharType = typename HttpTool::CharType;
    using CHttpResponse = CHttpResponseT<HttpTool>;
    using CHttpClientMap = CHttpClientMapT<HttpTool>;
    using CHttpPostStat = CHttpPostStatT<HttpTool>;

    // Builds a fresh multipart boundary; when that fails the boundary
    // strings stay null and the client is still usable.
    CHttpClientT();
    ~CHttpClientT();
    CHttpClientT(const CHttpClientT&) = delete;
    CHttpClientT& operator=(const CHttpClientT&) = delete;

    // Adds a request header; the value must be neither null nor empty.
    void AddHeader(const CharType* szName, const CharType* szValue);
    // Removes every request header with the name, so that a header can be
    // set again without sending it twice.
    void RemoveHeader(const CharType* szName);
    // Adds a parameter to the query of every later request; the flags of
    // CHttpClientMapT mark a name or value that is not to be URL-encoded.
    void AddParam(const CharType* szName, const CharType* szValue, DWORD dwFlags = 0);

    // GETs the URL; raises httpclientexceptionW on any failure, having
    // closed the request it had opened. pCancel, when given, gets the request
    // before it is sent and stays with the response; it must outlive both.
    // The client must outlive the response: the response's request belongs
    // to the client's connection.
    std::unique_ptr<CHttpResponse> Get(const CharType* szUrl, DWORD dwFlags, CRequestCancel* pCancel = nullptr);

    // The steps of Get; the handles they open are returned to the caller's
    // ownership.
    InternetHandle OpenConnection(HINTERNET hInternet, const CharType* szUrl);
    void ApplyProxyAccount(HINTERNET hConnection);
    InternetHandle OpenRequest(const CharType* szUrl, HINTERNET hConnection, DWORD dwFlags);
    void AddRequestHeader(HINTERNET hRequest);
    // The URL with the parameters added to its query, into szBuff, which
    // holds MakeGetUrlLength(szUrl) characters.
    CharType* MakeGetUrl(CharType* szBuff, const CharType* szUrl);
    // Characters MakeGetUrl writes for szUrl, terminator included.
    std::size_t MakeGetUrlLength(const CharType* szUrl);

    // Port of the server the URL names: its explicit port, else 443 for an
    // HTTPS scheme, else 80. Raises code 107 for a port that is not a number
    // of at most five digits and at most 65,535.
    static INTERNET_PORT ServerPort(const CharType* szUrl, const UrlAnalysis& objAnal);
    // True when the scheme is "HTTPS", compared without regard to case.
    static bool IsHttpsScheme(const CharType* szUrl, const UrlAnalysis& objAnal);
    // What the request line names: path, query and fragment as written, or
    // "/" and whatever follows the host when the path is empty; characters
    // outside printable ASCII escaped as UTF-8 (EscapeRequestTarget).
    static std::basic_string<CharType> ObjectName(const CharType* szUrl, const UrlAnalysis& objAnal);

    const CharType* GetBoundary() const { return m_szBoundary.get(); }
    const char* GetBoundaryA() const { return m_szBoundaryA.get(); }
    const CharType* GetPostContentType() const { return m_szPostContentType.get(); }
    const CHttpClientMap& GetHeaders() const { return m_mapHeader; }
    const CHttpPostStat& GetPostStat() const { return m_objPostContext.objStat; }

    // Ends a post in progress and closes its handles; raises when none is.
    void _ReleasePostResponse();

private:
    // What a form post keeps between its steps.
    struct PostContext {
        CHttpPostStat objStat;
        InternetHandle hSession;
        InternetHandle hConnection;
        InternetHandle hRequest;
    };

    void MakeBoundary();
    // The kept connection to the URL's server, opened (with the proxy
    // account applied) the first time that server is asked.
    HINTERNET ServerConnection(const CharType* szUrl);

    // A connection kept for one server (host and port).
    struct KeptConnection {
        std::basic_string<CharType> strHost;
        INTERNET_PORT nPort = 0;
        InternetHandle hConnection;
    };

    std::unique_ptr<CharType[]> m_szBoundary;
    std::unique_ptr<char[]> m_szBoundaryA;
    std::unique_ptr<CharType[]> m_szPostContentType;
    bool m_bUseUtf8 = false;
    UINT m_nAnsiCodePage = CP_ACP;
    CHttpClientMap m_mapHeader;
    CHttpClientMap m_mapParam;
    const CharType* m_szUserAgent = nullptr;  // null: the layer's own agent
    DWORD m_dwAccessType = INTERNET_OPEN_TYPE_PRECONFIG;
    const CharType* m_szProxyName = nullptr;
    const CharType* m_szProxyBypass = nullptr;
    DWORD m_dwSessionFlags = 0;
    const CharType* m_szProxyUserName = nullptr;
    const CharType* m_szProxyPassword = nullptr;
    PostContext m_objPostContext;
    // Declared in this order so that the connections close before the
    // session they belong to.
    InternetHandle m_hSession;
    std::vector<KeptConnection> m_keptConnections;
};

using CHttpClient = CHttpClientT<CHttpToolW, CHttpEncoderW>;
using CHttpResponse = CHttpClient::CHttpResponse;

}  // namespace Drelk
