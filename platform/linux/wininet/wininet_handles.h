// Internal to the stand-in: the objects behind HINTERNET. Sessions,
// connections and requests form a tree; closing a handle closes the handles
// below it too, as WinINet does. Handle values are never reused, so a closed
// or made-up handle fails with ERROR_INVALID_HANDLE instead of reaching freed
// memory. A call in progress keeps its object alive; closing the handle from
// another thread makes that call fail with ERROR_INTERNET_OPERATION_CANCELLED.
#pragma once

#include "platform/kernel32.h"
#include "platform/linux/wininet/wininet_headers.h"
#include "platform/linux/wininet/wininet_transfer.h"
#include "platform/wininet.h"

#include <atomic>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

namespace platform {

class InternetHandle {
public:
    enum class Kind { Session, Connection, Request };

    InternetHandle(Kind kind, std::shared_ptr<InternetHandle> parent) : m_kind(kind), m_parent(std::move(parent)) {}
    virtual ~InternetHandle() = default;
    InternetHandle(const InternetHandle&) = delete;
    InternetHandle& operator=(const InternetHandle&) = delete;

    Kind GetKind() const { return m_kind; }
    const std::shared_ptr<InternetHandle>& Parent() const { return m_parent; }

    // Set once the handle (or one above it) was closed.
    const std::atomic<bool>& ClosedFlag() const { return m_closed; }
    void MarkClosed() { m_closed.store(true, std::memory_order_release); }

    // The proxy account set on this handle, or else on the nearest handle
    // above it that has one.
    void SetProxyUserName(std::string userName);
    void SetProxyPassword(std::string password);
    std::optional<std::string> ProxyUserName() const;
    std::optional<std::string> ProxyPassword() const;

private:
    const Kind m_kind;
    const std::shared_ptr<InternetHandle> m_parent;
    std::atomic<bool> m_closed{false};
    mutable std::mutex m_mutex;
    std::optional<std::string> m_proxyUserName;  // guarded by m_mutex
    std::optional<std::string> m_proxyPassword;  // guarded by m_mutex
};

struct InternetSession : InternetHandle {
    static constexpr Kind kKind = Kind::Session;
    InternetSession() : InternetHandle(Kind::Session, nullptr) {}
    std::string agent;  // UTF-8; empty sends no User-Agent
    DWORD accessType = INTERNET_OPEN_TYPE_PRECONFIG;
    std::string proxy;
    std::string proxyBypass;
};

struct InternetConnection : InternetHandle {
    static constexpr Kind kKind = Kind::Connection;
    explicit InternetConnection(std::shared_ptr<InternetSession> session)
        : InternetHandle(Kind::Connection, session), session(std::move(session)) {}
    const std::shared_ptr<InternetSession> session;
    std::string host;  // UTF-8, as given
    INTERNET_PORT port = INTERNET_INVALID_PORT_NUMBER;
    // What the requests of this connection handle leave open for the next.
    CurlMultiPool multis;
};

struct InternetRequest : InternetHandle {
    static constexpr Kind kKind = Kind::Request;
    explicit InternetRequest(std::shared_ptr<InternetConnection> connection)
        : InternetHandle(Kind::Request, connection), connection(std::move(connection)) {}
    const std::shared_ptr<InternetConnection> connection;
    std::string verb;
    std::string objectName;
    bool http10 = false;
    DWORD flags = 0;

    // One call at a time works on the request; closing needs no lock.
    std::mutex callMutex;
    RequestHeaders headers;                  // guarded by callMutex
    std::unique_ptr<CurlTransfer> transfer;  // guarded by callMutex; null until sent
};

// Puts the object in the handle table and returns its new handle.
HINTERNET InsertInternetHandle(std::shared_ptr<InternetHandle> handle);

// The object behind a handle when it is a T. Otherwise null, with
// ERROR_INVALID_HANDLE (not open) or ERROR_INTERNET_INCORRECT_HANDLE_TYPE
// (another kind) as the last error.
std::shared_ptr<InternetHandle> LookupInternetHandle(HINTERNET handle);
template <class T>
std::shared_ptr<T> LookupInternetHandleOf(HINTERNET handle) {
    auto object = LookupInternetHandle(handle);
    if (object && object->GetKind() != T::kKind) {
        SetLastError(ERROR_INTERNET_INCORRECT_HANDLE_TYPE);
        return nullptr;
    }
    return std::static_pointer_cast<T>(object);
}

// Closes the handle and every handle below it. False with
// ERROR_INVALID_HANDLE when it is not open.
bool CloseInternetHandle(HINTERNET handle);

}  // namespace platform
