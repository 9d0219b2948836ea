// Lets another thread end an exchange that blocks: WinINet fails a call
// waiting on a request handle as soon as that handle is closed. The handle
// is closed once, by whichever side comes first: the owner asks Detach
// before closing it itself, and a stop of the owner's thread closes it
// through Cancel too, never on its own.
#pragma once

#include "platform/thread_stop.h"
#include "platform/wininet.h"

#include <mutex>
#include <optional>

namespace Drelk {

class CRequestCancel {
public:
    CRequestCancel() = default;
    CRequestCancel(const CRequestCancel&) = delete;
    CRequestCancel& operator=(const CRequestCancel&) = delete;

    // The owner's request handle in flight, on the owner's thread. After a
    // Cancel it is closed at once, so a cancel that came before the request
    // existed still ends it.
    void Attach(HINTERNET hRequest);
    // The owner takes its handle back, on the thread that attached it: true
    // when it is still open and the owner closes it, false when Cancel has
    // closed it already.
    bool Detach();
    // From any thread: closes the attached handle, now or when attached.
    void Cancel();

private:
    // Taken and given back outside m_mutex: a stop closing through Cancel
    // holds the closer while it takes m_mutex.
    std::optional<platform::StopCloser> m_stopCloser;  // owner's thread only
    std::mutex m_mutex;
    HINTERNET m_hRequest = nullptr;  // guarded by m_mutex
    bool m_bCancelled = false;       // guarded by m_mutex
    bool m_bClosed = false;          // guarded by m_mutex
};

}  // namespace Drelk
