// Lets another thread end an exchange that blocks: WinINet fails a call
// waiting on a request handle as soon as that handle is closed. The handle
// is closed once, by whichever side comes first: the owner asks Detach
// before closing it itself.
#pragma once

#include "platform/wininet.h"

#include <mutex>

namespace Drelk {

class CRequestCancel {
public:
    CRequestCancel() = default;
    CRequestCancel(const CRequestCancel&) = delete;
    CRequestCancel& operator=(const CRequestCancel&) = delete;

    // The owner's request handle in flight. After a Cancel it is closed at
    // once, so a cancel that came before the request existed still ends it.
    void Attach(HINTERNET hRequest);
    // The owner takes its handle back: true when it is still open and the
    // owner closes it, false when Cancel has closed it already.
    bool Detach();
    // From any thread: closes the attached handle, now or when attached.
    void Cancel();

private:
    std::mutex m_mutex;
    HINTERNET m_hRequest = nullptr;  // guarded by m_mutex
    bool m_bCancelled = false;       // guarded by m_mutex
    bool m_bClosed = false;          // guarded by m_mutex
};

}  // namespace Drelk
