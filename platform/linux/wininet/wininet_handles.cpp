#include "platform/linux/wininet/wininet_handles.h"

#include <cstdint>
#include <unordered_map>
#include <vector>

namespace platform {

namespace {

struct HandleTable {
    std::mutex mutex;
    std::uintptr_t next = 0x10000;                                               // guarded by mutex
    std::unordered_map<std::uintptr_t, std::shared_ptr<InternetHandle>> handles;  // guarded by mutex
};

// Never destroyed: handles may still be closed while statics end.
HandleTable& Table() {
    static HandleTable* table = new HandleTable;
    return *table;
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
    HandleTable& table = Table();
    std::lock_guard<std::mutex> lock(table.mutex);
    std::uintptr_t value = table.next;
    table.next += 4;
    table.handles.emplace(value, std::move(handle));
    return reinterpret_cast<HINTERNET>(value);
}

std::shared_ptr<InternetHandle> LookupInternetHandle(HINTERNET handle) {
    HandleTable& table = Table();
    std::lock_guard<std::mutex> lock(table.mutex);
    auto it = table.handles.find(reinterpret_cast<std::uintptr_t>(handle));
    if (it == table.handles.end()) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    return it->second;
}

bool CloseInternetHandle(HINTERNET handle) {
    HandleTable& table = Table();
    std::vector<std::shared_ptr<InternetHandle>> closed;
    {
        std::lock_guard<std::mutex> lock(table.mutex);
        auto it = table.handles.find(reinterpret_cast<std::uintptr_t>(handle));
        if (it == table.handles.end()) {
            SetLastError(ERROR_INVALID_HANDLE);
            return false;
        }
        const InternetHandle* top = it->second.get();
        for (auto entry = table.handles.begin(); entry != table.handles.end();) {
            if (IsSelfOrBelow(entry->second.get(), top)) {
                closed.push_back(std::move(entry->second));
                entry = table.handles.erase(entry);
            } else {
                ++entry;
            }
        }
    }
    for (const auto& object : closed) {
        object->MarkClosed();
    }
    // The last references usually go here, outside the table lock: a
    // request's transfer and its connection end with it.
    return true;
}

}  // namespace platform
