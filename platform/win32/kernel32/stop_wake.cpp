#include "platform/win32/kernel32/stop_wake.h"

#include "platform/win32/kernel32/real_calls.h"

namespace platform::win32 {

StopWake::StopWake() : m_wake(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}

StopWake::~StopWake() {
    if (m_wake)
        CloseHandle(m_wake);
}

void StopWake::Request(DWORD exitCode) {
    std::lock_guard<std::mutex> closerHold(m_closerMutex);
    HINTERNET blocked = nullptr;
    bool byCloser = false;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (!Mark(exitCode))
            return;
        std::swap(blocked, m_blocked);
        byCloser = blocked && blocked == m_closerRequest;
        // The owner skips its own close only of what the stop closed itself.
        m_closed = byCloser ? nullptr : blocked;
    }
    // The real calls, not this namespace's wrappers of the same names.
    ::SetEvent(m_wake);
    // Outside m_mutex: the close may wait for the blocked call to return, and
    // the returning thread takes m_mutex to unblock.
    if (byCloser)
        m_closer();
    else if (blocked)
        ::InternetCloseHandle(blocked);
}

void StopWake::SetCloser(HINTERNET hRequest, std::function<void()> close) {
    std::lock_guard<std::mutex> closerHold(m_closerMutex);
    m_closerRequest = hRequest;
    m_closer = std::move(close);
}

bool StopWake::BlockOn(HINTERNET hRequest) {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (Requested())
        return false;
    m_blocked = hRequest;
    return true;
}

void StopWake::Unblock() {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_blocked = nullptr;
}

bool StopWake::TakeClosedByStop(HINTERNET hRequest) {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (!hRequest || m_closed != hRequest)
        return false;
    m_closed = nullptr;
    return true;
}

}  // namespace platform::win32
