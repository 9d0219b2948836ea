// The answer to one request: owns its request handle (the session and the
// connection are the client's) and reads status, Content-Length and body
// from it.
#pragma once

#include "net/http/internet_handle.h"
#include "net/http/request_cancel.h"

#include <string>

namespace Drelk {

template <typename HttpTool>
class CHttpResponseT {
public:
    // pCancel, when given, may close the request from another thread; it
    // must outlive the response.
    explicit CHttpResponseT(InternetHandle hRequest, CRequestCancel* pCancel = nullptr);
    ~CHttpResponseT();
    CHttpResponseT(const CHttpResponseT&) = delete;
    CHttpResponseT& operator=(const CHttpResponseT&) = delete;

    // The status code; asked once, then cached.
    DWORD GetStatus();
    // True with the length stored when the answer carries a Content-Length;
    // false, cbContLen untouched, when it has none.
    bool GetContentLength(DWORD& cbContLen);
    // True with the value stored when the answer carries the header that
    // dwLevel (HTTP_QUERY_ETAG, _CONTENT_RANGE, _LAST_MODIFIED ...) names;
    // false, strText untouched, when it has none.
    bool GetHeaderText(DWORD dwLevel, std::wstring& strText);
    // One read of up to cbBuff bytes; 0 at the end of the body.
    DWORD ReadContent(BYTE* pbyBuff, DWORD cbBuff);

private:
    InternetHandle m_hRequest;
    CRequestCancel* m_pCancel;
    DWORD m_dwStatus = 0;
};

}  // namespace Drelk
