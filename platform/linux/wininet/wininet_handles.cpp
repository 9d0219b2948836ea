#include "platform/linux/wininet/wininet_handles.h"

#include "platform/base/handle_table.h"

#include <vector>

namespace platform {

namespace {

HandleTable<std::shared_ptr<InternetHandle>>& Table() {
    return ProcessHandleTable<std::shared_ptr<InternetHandle>, 0x10000>();
}

bool IsSelfOrBelow(const InternetHandle* handle, const InternetHandle* top) {
    for (; handle; handle = handle->Parent().get()) {
        if (handle == top) {
            return true;
        }
    }
    return false;
}

}  // namespace

void InternetHandle::SetProxyUserName(std::string userName) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_proxyUserName = std::move(userName);
}

void InternetHandle::SetProxyPassword(std::string password) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_proxyPassword = std::move(password);
}

std::optional<std::string> InternetHandle::ProxyUserName() const {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_proxyUserName) {
            return m_proxyUserName;
        }
    }
    return m_parent ? m_parent->ProxyUserName() : std::nullopt;
}

std::optional<std::string> InternetHandle::ProxyPassword() const {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_proxyPassword) {
            return m_proxyPassword;
        }
    }
    return m_parent ? m_parent->ProxyPassword() : std::nullopt;
}

HINTERNET InsertInternetHandle(std::shared_ptr<InternetHandle> handle) {
    return Table().Insert(std::move(handle));
}

std::shared_ptr<InternetHandle> LookupInternetHandle(HINTERNET handle) {
    auto found = Table().Lookup(handle);
    if (!found) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    return *found;
}

bool CloseInternetHandle(HINTERNET handle) {
    std::vector<std::shared_ptr<InternetHandle>> closed;
    {
        auto table = Table().Lock();
        const std::shared_ptr<InternetHandle>* found = table.Find(handle);
        if (!found) {
            SetLastError(ERROR_INVALID_HANDLE);
            return false;
        }
        const InternetHandle* top = found->get();
        closed = table.TakeIf(
            [top](const std::shared_ptr<InternetHandle>& object) { return IsSelfOrBelow(object.get(), top); });
    }
    for (const auto& object : closed) {
        object->MarkClosed();
    }
    // The last references usually go here, outside the table lock: a
    // request's transfer and its connection end with it.
    return true;
}

}  // namespace platform
