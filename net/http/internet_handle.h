// Sole owner of a WinINet handle: closed when the owner goes.
#pragma once

#include "platform/wininet.h"

#include <utility>

namespace Drelk {

class InternetHandle {
public:
    InternetHandle() = default;
    explicit InternetHandle(HINTERNET hInternet) : m_hInternet(hInternet) {}
    ~InternetHandle() { Close(); }

    InternetHandle(InternetHandle&& other) noexcept : m_hInternet(std::exchange(other.m_hInternet, nullptr)) {}
    InternetHandle& operator=(InternetHandle&& other) noexcept {
        if (this != &other) {
            Close();
            m_hInternet = std::exchange(other.m_hInternet, nullptr);
        }
        return *this;
    }
    InternetHandle(const InternetHandle&) = delete;
    InternetHandle& operator=(const InternetHandle&) = delete;

    HINTERNET Get() const { return m_hInternet; }
    explicit operator bool() const { return m_hInternet != nullptr; }
    void Close() {
        if (m_hInternet)
            ::InternetCloseHandle(std::exchange(m_hInternet, nullptr));
    }
    // Forgets a handle that was closed elsewhere, so it is not closed twice.
    void Release() { m_hInternet = nullptr; }

private:
    HINTERNET m_hInternet = nullptr;
};

}  // namespace Drelk
