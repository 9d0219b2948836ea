// Internal to the Windows side: the stop state of a thread started by
// CreateThread (platform/base/stop_state.h) with how a stop wakes it here:
// an event its waits and sleeps also wait for, and the WinINet request it is
// blocked on, which a stop closes to free the blocked call.
#pragma once

#include "platform/base/stop_state.h"

#include <windows.h>
#include <wininet.h>

#include <functional>
#include <mutex>

namespace platform::win32 {

class StopWake : public StopState {
public:
    StopWake();
    ~StopWake();
    StopWake(const StopWake&) = delete;
    StopWake& operator=(const StopWake&) = delete;

    // The first request's code stands. Wakes the thread from a wait or sleep
    // and closes the request it is blocked on, which frees a blocked read.
    void Request(DWORD exitCode);
    // Signalled once a stop is requested.
    HANDLE WakeEvent() const { return m_wake; }

    // The thread is about to block on hRequest; false when it was asked to
    // stop already.
    bool BlockOn(HINTERNET hRequest);
    void Unblock();
    // True, once, for the request a stop closed: its owner must not close it
    // again.
    bool TakeClosedByStop(HINTERNET hRequest);
    // The close a stop makes of hRequest instead of its own; none with a
    // null request.
    void SetCloser(HINTERNET hRequest, std::function<void()> close);

private:
    HANDLE m_wake;
    // Held while a stop closes the blocked request, so that the closer is
    // not changed or gone meanwhile; taken before m_mutex.
    std::mutex m_closerMutex;
    HINTERNET m_closerRequest = nullptr;  // guarded by m_closerMutex
    std::function<void()> m_closer;       // guarded by m_closerMutex
    // Serialises the stop request with BlockOn and Unblock.
    std::mutex m_mutex;
    HINTERNET m_blocked = nullptr;  // guarded by m_mutex
    HINTERNET m_closed = nullptr;   // guarded by m_mutex
};

// The calling thread's state; null for threads not started by CreateThread
// (the main thread, test threads), which are never stopped.
StopWake* CurrentStopWake();

}  // namespace platform::win32
