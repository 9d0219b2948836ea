#include "net/http/http_response.h"

#include "net/http/http_tool.h"
#include "platform/kernel32.h"

namespace Drelk {

template <typename HttpTool>
CHttpResponseT<HttpTool>::CHttpResponseT(InternetHandle hRequest, CRequestCancel* pCancel)
    : m_hRequest(std::move(hRequest)), m_pCancel(pCancel) {}

template <typename HttpTool>
CHttpResponseT<HttpTool>::~CHttpResponseT() {
    if (m_pCancel && !m_pCancel->Detach())
        m_hRequest.Release();
}

template <typename HttpTool>
DWORD CHttpResponseT<HttpTool>::GetStatus() {
    if (!m_hRequest)
        HttpTool::ThrowException("CHttpResponseT::GetStatus: m_hRequest can not be NULL.");
    if (m_dwStatus != 0)
        return m_dwStatus;

    DWORD dwStatus = 0;
    DWORD cbStatus = sizeof(dwStatus);
    if (!::HttpQueryInfoW(m_hRequest.Get(), HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &dwStatus, &cbStatus,
                          nullptr))
        HttpTool::ThrowException(400, ::GetLastError());
    m_dwStatus = dwStatus;
    return m_dwStatus;
}

template <typename HttpTool>
bool CHttpResponseT<HttpTool>::GetContentLength(DWORD& cbContLen) {
    if (!m_hRequest)
        HttpTool::ThrowException("CHttpResponseT::GetContentLength: m_hRequest can not be NULL.");

    DWORD cbLength = 0;
    DWORD cbBuffer = sizeof(cbLength);
    if (!::HttpQueryInfoW(m_hRequest.Get(), HTTP_QUERY_CONTENT_LENGTH | HTTP_QUERY_FLAG_NUMBER, &cbLength, &cbBuffer,
                          nullptr)) {
        const DWORD dwError = ::GetLastError();
        if (dwError == ERROR_HTTP_HEADER_NOT_FOUND)
            return false;
        HttpTool::ThrowException(400, dwError);
    }
    cbContLen = cbLength;
    return true;
}

template <typename HttpTool>
bool CHttpResponseT<HttpTool>::GetHeaderText(DWORD dwLevel, std::wstring& strText) {
    if (!m_hRequest)
        HttpTool::ThrowException("CHttpResponseT::GetHeaderText: m_hRequest can not be NULL.");

    // Headers of a download are short; a longer one is asked again with the
    // size the first query gave.
    std::wstring strBuffer(128, L'\0');
    for (int nTry = 0; nTry < 2; ++nTry) {
        auto cbBuffer = static_cast<DWORD>(strBuffer.size() * sizeof(wchar_t));
        if (::HttpQueryInfoW(m_hRequest.Get(), dwLevel, strBuffer.data(), &cbBuffer, nullptr)) {
            strBuffer.resize(cbBuffer / sizeof(wchar_t));
            strText = std::move(strBuffer);
            return true;
        }
        const DWORD dwError = ::GetLastError();
        if (dwError == ERROR_HTTP_HEADER_NOT_FOUND)
            return false;
        if (dwError != ERROR_INSUFFICIENT_BUFFER || nTry != 0)
            HttpTool::ThrowException(400, dwError);
        strBuffer.assign(cbBuffer / sizeof(wchar_t) + 1, L'\0');
    }
    return false;
}

template <typename HttpTool>
DWORD CHttpResponseT<HttpTool>::ReadContent(BYTE* pbyBuff, DWORD cbBuff) {
    if (!m_hRequest)
        HttpTool::ThrowException("CHttpResponseT::ReadContent: m_hRequest can not be NULL.");
    if (!pbyBuff)
        HttpTool::ThrowException("CHttpResponseT::ReadContent: pbyBuff can not be NULL.");
    if (cbBuff == 0)
        HttpTool::ThrowException("CHttpResponseT::ReadContent: cbBuff can not be zero.");

    DWORD cbRead = 0;
    if (!::InternetReadFile(m_hRequest.Get(), pbyBuff, cbBuff, &cbRead))
        HttpTool::ThrowException(401, ::GetLastError());
    return cbRead;
}

template class CHttpResponseT<CHttpToolW>;

}  // namespace Drelk
