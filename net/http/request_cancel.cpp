#include "net/http/request_cancel.h"

namespace Drelk {

void CRequestCancel::Attach(HINTERNET hRequest) {
    m_stopCloser.reset();
    m_stopCloser.emplace(hRequest, [this] { Cancel(); });
    std::lock_guard<std::mutex> hold(m_mutex);
    m_hRequest = hRequest;
    m_bClosed = false;
    if (m_bCancelled && m_hRequest) {
        ::InternetCloseHandle(m_hRequest);
        m_bClosed = true;
    }
}

bool CRequestCancel::Detach() {
    m_stopCloser.reset();
    std::lock_guard<std::mutex> hold(m_mutex);
    const bool bOpen = !m_bClosed;
    m_hRequest = nullptr;
    m_bClosed = false;
    return bOpen;
}

void CRequestCancel::Cancel() {
    std::lock_guard<std::mutex> hold(m_mutex);
    m_bCancelled = true;
    if (m_hRequest && !m_bClosed) {
        ::InternetCloseHandle(m_hRequest);
        m_bClosed = true;
    }
}

}  // namespace Drelk
