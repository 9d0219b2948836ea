// Internal to the Windows side: the stop state of a thread started by
// CreateThread, shared by the thread and whoever stops it.
#pragma once

#include <windows.h>
#include <wininet.h>

#include <atomic>
#include <functional>
#include <mutex>

namespace platform::win32 {

class StopWake {
public:
    StopWake();
    ~StopWake();
    StopWake(const StopWake&) = delete;
    StopWake& operator=(const StopWake&) = delete;

    bool Requested() const { return m_stop.load(std::memory_order_acquire); }
    // The first request's code stands. Wakes the thread from a wait or sleep
    // and closes the request it is blocked on, which frees a blocked read.
    void Request(DWORD exitCode);
    DWORD Code();
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

    // Held by the thread during a visible step; a stop request waits for it.
    std::mutex stepLock;

private:
    std::atomic<bool> m_stop{false};
    HANDLE m_wake;
    // Held while a stop closes the blocked request, so that the closer is
    // not changed or gone meanwhile; taken before m_mutex.
    std::mutex m_closerMutex;
    HINTERNET m_closerRequest = nullptr;  // guarded by m_closerMutex
    std::function<void()> m_closer;       // guarded by m_closerMutex
    std::mutex m_mutex;
    DWORD m_code = 0;               // guarded by m_mutex
    HINTERNET m_blocked = nullptr;  // guarded by m_mutex
    HINTERNET m_closed = nullptr;   // guarded by m_mutex
};

// The calling thread's state; null for threads not started by CreateThread
// (the main thread, test threads), which are never stopped.
StopWake* CurrentStopWake();

}  // namespace platform::win32
