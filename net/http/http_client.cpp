#include "net/http/http_client.h"

#include "net/http/request_target.h"
#include "net/http/safe_int.h"

#include <algorithm>
#include <cwchar>
#include <new>

namespace Drelk {

namespace {

constexpr wchar_t kDefaultUserAgent[] = L"Drelk HTTP Client Class";
constexpr std::size_t kBoundaryLength = 43;

// Lends the request being sent to a canceller until the response takes it
// over; on a failure the handle is closed only if the canceller has not.
class CancelAttachment {
public:
    CancelAttachment(CRequestCancel* pCancel, InternetHandle& hRequest) : m_pCancel(pCancel), m_hRequest(hRequest) {
        if (m_pCancel)
            m_pCancel->Attach(m_hRequest.Get());
    }
    ~CancelAttachment() {
        if (m_pCancel && !m_bHandedOver && !m_pCancel->Detach())
            m_hRequest.Release();
    }
    CancelAttachment(const CancelAttachment&) = delete;
    CancelAttachment& operator=(const CancelAttachment&) = delete;

    void HandOver() { m_bHandedOver = true; }

private:
    CRequestCancel* m_pCancel;
    InternetHandle& m_hRequest;
    bool m_bHandedOver = false;
};

}  // namespace

template <typename HttpTool, typename HttpEncoder>
CHttpClientT<HttpTool, HttpEncoder>::CHttpClientT() {
    MakeBoundary();
}

template <typename HttpTool, typename HttpEncoder>
CHttpClientT<HttpTool, HttpEncoder>::~CHttpClientT() {
    if (m_objPostContext.objStat.IsActive())
        _ReleasePostResponse();
}

template <typename HttpTool, typename HttpEncoder>
void CHttpClientT<HttpTool, HttpEncoder>::MakeBoundary() {
    GUID guid{};
    if (FAILED(::CoCreateGuid(&guid)))
        return;
    try {
        std::unique_ptr<CharType[]> szBoundary(new CharType[kBoundaryLength + 1]);
        std::swprintf(szBoundary.get(), kBoundaryLength + 1,
                      L"----MAVEK-%.08x%.04x%.04x%.02x%.02x%.02x%.02x%.02x%.02x%.02x%.02x-", guid.Data1,
                      unsigned{guid.Data2}, unsigned{guid.Data3}, unsigned{guid.Data4[0]}, unsigned{guid.Data4[1]},
                      unsigned{guid.Data4[2]}, unsigned{guid.Data4[3]}, unsigned{guid.Data4[4]},
                      unsigned{guid.Data4[5]}, unsigned{guid.Data4[6]}, unsigned{guid.Data4[7]});
        std::unique_ptr<char[]> szBoundaryA = HttpTool::Unicode2Ansi(szBoundary.get(), m_nAnsiCodePage);
        const std::basic_string<CharType> strContentType =
            std::basic_string<CharType>(L"multipart/form-data; boundary=") + szBoundary.get();
        std::unique_ptr<CharType[]> szContentType = HttpTool::StringCopy(strContentType.c_str());

        // All three or none.
        m_szBoundary = std::move(szBoundary);
        m_szBoundaryA = std::move(szBoundaryA);
        m_szPostContentType = std::move(szContentType);
    } catch (const typename HttpTool::Exception&) {
    } catch (const std::bad_alloc&) {
    }
}

template <typename HttpTool, typename HttpEncoder>
void CHttpClientT<HttpTool, HttpEncoder>::AddHeader(const CharType* szName, const CharType* szValue) {
    if (!szValue)
        HttpTool::ThrowException("CHttpClientT::AddHeader: szValue can not be NULL.");
    if (!*szValue)
        HttpTool::ThrowException("CHttpClientT::AddHeader: szValue can not be an empty string.");
    m_mapHeader.Add(szName, szValue);
}

template <typename HttpTool, typename HttpEncoder>
void CHttpClientT<HttpTool, HttpEncoder>::RemoveHeader(const CharType* szName) {
    m_mapHeader.Remove(szName);
}

template <typename HttpTool, typename HttpEncoder>
void CHttpClientT<HttpTool, HttpEncoder>::AddParam(const CharType* szName, const CharType* szValue, DWORD dwFlags) {
    m_mapParam.Add(szName, szValue, dwFlags);
}

template <typename HttpTool, typename HttpEncoder>
std::unique_ptr<typename CHttpClientT<HttpTool, HttpEncoder>::CHttpResponse> CHttpClientT<HttpTool, HttpEncoder>::Get(
    const CharType* szUrl, DWORD dwFlags, CRequestCancel* pCancel) {
    if (m_objPostContext.objStat.IsActive())
        _ReleasePostResponse();

    if (!m_hSession) {
        m_hSession = InternetHandle(::InternetOpenW(m_szUserAgent ? m_szUserAgent : kDefaultUserAgent, m_dwAccessType,
                                                    m_szProxyName, m_szProxyBypass, m_dwSessionFlags));
        if (!m_hSession)
            HttpTool::ThrowException(402, ::GetLastError());
    }

    // The request and the built URL are owned here, so any way out of this
    // block closes what was opened.
    try {
        const HINTERNET hConnection = ServerConnection(szUrl);

        std::basic_string<CharType> strGetUrl;
        const CharType* szRequestUrl = szUrl;
        if (!m_mapParam.Empty()) {
            strGetUrl.resize(MakeGetUrlLength(szUrl));
            szRequestUrl = MakeGetUrl(strGetUrl.data(), szUrl);
        }

        InternetHandle hRequest = OpenRequest(szRequestUrl, hConnection, dwFlags);
        CancelAttachment attachment(pCancel, hRequest);
        AddRequestHeader(hRequest.Get());
        HttpTool::SendRequest(hRequest.Get(), m_nAnsiCodePage);

        try {
            auto pResponse = std::make_unique<CHttpResponse>(std::move(hRequest), pCancel);
            attachment.HandOver();
            return pResponse;
        } catch (const std::bad_alloc&) {
            HttpTool::ThrowException(102);
        }
    } catch (const typename HttpTool::Exception&) {
        throw;
    } catch (const httpclientexceptionA&) {
        HttpTool::ThrowException(100);
    } catch (const std::exception&) {
        HttpTool::ThrowException(100);
    }
}

template <typename HttpTool, typename HttpEncoder>
HINTERNET CHttpClientT<HttpTool, HttpEncoder>::ServerConnection(const CharType* szUrl) {
    UrlAnalysis objAnal;
    CHttpUrlAnalyzerT<HttpTool>::Analyze(szUrl, m_nAnsiCodePage, objAnal);
    const INTERNET_PORT nPort = ServerPort(szUrl, objAnal);
    const std::basic_string<CharType> strHost(szUrl + objAnal.nHostIdx, objAnal.nHostLen);
    for (const KeptConnection& kept : m_keptConnections)
        if (kept.nPort == nPort && HttpTool::StringICompare(kept.strHost.c_str(), strHost.c_str()) == 0)
            return kept.hConnection.Get();
    KeptConnection kept{strHost, nPort, OpenConnection(m_hSession.Get(), szUrl)};
    m_keptConnections.push_back(std::move(kept));
    return m_keptConnections.back().hConnection.Get();
}

template <typename HttpTool, typename HttpEncoder>
InternetHandle CHttpClientT<HttpTool, HttpEncoder>::OpenConnection(HINTERNET hInternet, const CharType* szUrl) {
    if (!hInternet)
        HttpTool::ThrowException("CHttpClientT::OpenConnection: hInternet can not be NULL.");

    UrlAnalysis objAnal;
    CHttpUrlAnalyzerT<HttpTool>::Analyze(szUrl, m_nAnsiCodePage, objAnal);
    const INTERNET_PORT nPort = ServerPort(szUrl, objAnal);
    if (objAnal.nHostLen == 0)
        HttpTool::ThrowException(103);
    const std::unique_ptr<CharType[]> szHost = HttpTool::StringCopy(szUrl + objAnal.nHostIdx, objAnal.nHostLen);

    InternetHandle hConnection(HttpTool::OpenConnection(hInternet, szHost.get(), nPort));
    ApplyProxyAccount(hConnection.Get());
    return hConnection;
}

template <typename HttpTool, typename HttpEncoder>
void CHttpClientT<HttpTool, HttpEncoder>::ApplyProxyAccount(HINTERNET hConnection) {
    if (!hConnection)
        HttpTool::ThrowException("CHttpClientT::ApplyProxyAccount: hConnection can not be NULL.");
    if (!m_szProxyUserName || !*m_szProxyUserName || !m_szProxyPassword || !*m_szProxyPassword)
        return;

    auto setOption = [hConnection](DWORD dwOption, const CharType* szText) {
        if (!::InternetSetOptionW(hConnection, dwOption, const_cast<CharType*>(szText),
                                  static_cast<DWORD>(HttpTool::StringLength(szText))))
            HttpTool::ThrowException(410, ::GetLastError());
    };
    setOption(INTERNET_OPTION_PROXY_USERNAME, m_szProxyUserName);
    setOption(INTERNET_OPTION_PROXY_PASSWORD, m_szProxyPassword);
}

template <typename HttpTool, typename HttpEncoder>
InternetHandle CHttpClientT<HttpTool, HttpEncoder>::OpenRequest(const CharType* szUrl, HINTERNET hConnection,
                                                                DWORD dwFlags) {
    if (!hConnection)
        HttpTool::ThrowException("CHttpClientT::OpenRequest: hConnection can not be NULL.");

    UrlAnalysis objAnal;
    CHttpUrlAnalyzerT<HttpTool>::Analyze(szUrl, m_nAnsiCodePage, objAnal);
    if (IsHttpsScheme(szUrl, objAnal))
        dwFlags |= INTERNET_FLAG_SECURE;
    const std::basic_string<CharType> strObjectName = ObjectName(szUrl, objAnal);

    InternetHandle hRequest(HttpTool::OpenRequest(hConnection, strObjectName.c_str(), dwFlags, m_nAnsiCodePage));
    if (dwFlags & INTERNET_FLAG_PRAGMA_NOCACHE)
        HttpTool::AddHeader(hRequest.Get(), L"Cache-Control", L"no-cache", m_nAnsiCodePage);
    return hRequest;
}

template <typename HttpTool, typename HttpEncoder>
void CHttpClientT<HttpTool, HttpEncoder>::AddRequestHeader(HINTERNET hRequest) {
    if (!hRequest)
        HttpTool::ThrowException("CHttpClientT::AddRequestHeader: hRequest can not be NULL.");
    for (const auto& entry : m_mapHeader)
        HttpTool::AddHeader(hRequest, entry.szName.get(), entry.szValue.get(), m_nAnsiCodePage);
}

template <typename HttpTool, typename HttpEncoder>
std::size_t CHttpClientT<HttpTool, HttpEncoder>::MakeGetUrlLength(const CharType* szUrl) {
    UrlAnalysis objAnal;
    CHttpUrlAnalyzerT<HttpTool>::Analyze(szUrl, m_nAnsiCodePage, objAnal);

    auto encodedLength = [this](const CharType* szText, bool bRaw) {
        return bRaw ? HttpTool::StringLength(szText) : HttpEncoder::UrlEncodeLenW(szText, m_bUseUtf8, m_nAnsiCodePage);
    };
    try {
        // Scheme, host and port; the path or "/"; the query; '?' or '&'.
        std::size_t cch = SafeAdd(objAnal.nPathIdx, std::max<std::size_t>(objAnal.nPathLen, 1));
        cch = SafeAdd(cch, SafeAdd(objAnal.nQueryLen, std::size_t{1}));
        for (const auto& entry : m_mapParam) {
            // name '=' value
            cch = SafeAdd(cch, encodedLength(entry.szName.get(), entry.dwFlags & CHttpClientMap::kRawName));
            cch = SafeAdd(cch, encodedLength(entry.szValue.get(), entry.dwFlags & CHttpClientMap::kRawValue));
            cch = SafeAdd(cch, std::size_t{1});
        }
        // The '&' between parameters, the fragment and the terminator.
        if (!m_mapParam.Empty())
            cch = SafeAdd(cch, m_mapParam.Count() - 1);
        return SafeAdd(cch, SafeAdd(objAnal.nFragmentLen, std::size_t{1}));
    } catch (const SafeIntException& e) {
        HttpTool::ThrowException(ArithmeticErrorCode(e), ArithmeticWin32Error(e));
    }
}

template <typename HttpTool, typename HttpEncoder>
typename HttpTool::CharType* CHttpClientT<HttpTool, HttpEncoder>::MakeGetUrl(CharType* szBuff, const CharType* szUrl) {
    if (!szBuff)
        HttpTool::ThrowException("CHttpClientT::MakeGetUrl: szBuff can not be NULL.");

    UrlAnalysis objAnal;
    CHttpUrlAnalyzerT<HttpTool>::Analyze(szUrl, m_nAnsiCodePage, objAnal);

    CharType* pOut = szBuff;
    auto append = [&pOut](const CharType* szText, std::size_t cch) { pOut = std::copy_n(szText, cch, pOut); };
    auto appendParamText = [&](const CharType* szText, bool bRaw) {
        if (bRaw) {
            append(szText, HttpTool::StringLength(szText));
        } else {
            HttpEncoder::UrlEncodeW(szText, pOut, m_bUseUtf8, m_nAnsiCodePage);
            pOut += HttpTool::StringLength(pOut);
        }
    };

    append(szUrl, objAnal.nPathIdx);
    if (objAnal.nPathLen == 0)
        *pOut++ = '/';
    append(szUrl + objAnal.nPathIdx, objAnal.nPathLen);
    append(szUrl + objAnal.nQueryIdx, objAnal.nQueryLen);
    *pOut++ = objAnal.nQueryLen == 0 ? '?' : '&';
    bool bFirst = true;
    for (const auto& entry : m_mapParam) {
        if (!bFirst)
            *pOut++ = '&';
        bFirst = false;
        appendParamText(entry.szName.get(), entry.dwFlags & CHttpClientMap::kRawName);
        *pOut++ = '=';
        appendParamText(entry.szValue.get(), entry.dwFlags & CHttpClientMap::kRawValue);
    }
    append(szUrl + objAnal.nFragmentIdx, objAnal.nFragmentLen);
    *pOut = '\0';
    return szBuff;
}

template <typename HttpTool, typename HttpEncoder>
INTERNET_PORT CHttpClientT<HttpTool, HttpEncoder>::ServerPort(const CharType* szUrl, const UrlAnalysis& objAnal) {
    if (objAnal.nPortLen == 0)
        return IsHttpsScheme(szUrl, objAnal) ? INTERNET_DEFAULT_HTTPS_PORT : INTERNET_DEFAULT_HTTP_PORT;
    // Checked before parsing, so the value below cannot overflow.
    if (objAnal.nPortLen > 5)
        HttpTool::ThrowException(107);

    const CharType* szPort = szUrl + objAnal.nPortIdx;
    DWORD dwPort = 0;
    std::size_t i = 0;
    for (; i < objAnal.nPortLen && szPort[i] >= '0' && szPort[i] <= '9'; ++i)
        dwPort = dwPort * 10 + static_cast<DWORD>(szPort[i] - '0');
    if (i != objAnal.nPortLen || dwPort > 65535)
        HttpTool::ThrowException(107);
    return static_cast<INTERNET_PORT>(dwPort);
}

template <typename HttpTool, typename HttpEncoder>
bool CHttpClientT<HttpTool, HttpEncoder>::IsHttpsScheme(const CharType* szUrl, const UrlAnalysis& objAnal) {
    if (objAnal.nSchemeLen != 5)
        return false;
    const std::basic_string<CharType> strScheme(szUrl + objAnal.nSchemeIdx, 5);
    return HttpTool::StringICompare(strScheme.c_str(), L"HTTPS") == 0;
}

template <typename HttpTool, typename HttpEncoder>
std::basic_string<typename HttpTool::CharType> CHttpClientT<HttpTool, HttpEncoder>::ObjectName(
    const CharType* szUrl, const UrlAnalysis& objAnal) {
    std::basic_string<CharType> strObjectName;
    if (objAnal.nPathLen == 0)
        strObjectName = L"/";
    if (szUrl)
        strObjectName += szUrl + objAnal.nPathIdx;
    return EscapeRequestTarget(strObjectName);
}

template <typename HttpTool, typename HttpEncoder>
void CHttpClientT<HttpTool, HttpEncoder>::_ReleasePostResponse() {
    if (!m_objPostContext.objStat.IsActive())
        HttpTool::ThrowException("CHttpClientT::_ReleasePostResponse: The post context is not active.");
    m_objPostContext.hRequest.Close();
    m_objPostContext.hConnection.Close();
    m_objPostContext.hSession.Close();
    m_objPostContext.objStat.Clear();
}

template class CHttpClientT<CHttpToolW, CHttpEncoderW>;

}  // namespace Drelk
