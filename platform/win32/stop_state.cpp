#include "platform/win32/stop_state.h"

#include "platform/win32/real_calls.h"

namespace platform::win32 {

StopState::StopState() : m_wake(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}

StopState::~StopState() {
    if (m_wake)
        CloseHandle(m_wake);
}

void StopState::Request(DWORD exitCode) {
    HINTERNET blocked = nullptr;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_stop.load(std::memory_order_relaxed))
            return;
        m_code = exitCode;
        m_stop.store(true, std::memory_order_release);
        std::swap(blocked, m_blocked);
        m_closed = blocked;
    }
    SetEvent(m_wake);
    // Outside the lock: the close may wait for the blocked call to return,
    // and the returning thread takes the lock to unblock.
    if (blocked)
        InternetCloseHandle(blocked);
}

DWORD StopState::Code() {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_code;
}

bool StopState::BlockOn(HINTERNET hRequest) {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_stop.load(std::memory_order_relaxed))
        return false;
    m_blocked = hRequest;
    return true;
}

void StopState::Unblock() {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_blocked = nullptr;
}

bool StopState::TakeClosedByStop(HINTERNET hRequest) {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (!hRequest || m_closed != hRequest)
        return false;
    m_closed = nullptr;
    return true;
}

}  // namespace platform::win32
