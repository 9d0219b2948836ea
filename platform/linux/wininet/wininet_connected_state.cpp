// InternetGetConnectedState: connected when an interface other than loopback
// is up and has an address.
#include "platform/wininet.h"

#include <ifaddrs.h>
#include <net/if.h>
#include <sys/socket.h>
#include <memory>

namespace {

struct IfAddrsDeleter {
    void operator()(ifaddrs* list) const { freeifaddrs(list); }
};

}  // namespace

BOOL InternetGetConnectedState(LPDWORD lpdwFlags, DWORD) {
    ifaddrs* raw = nullptr;
    std::unique_ptr<ifaddrs, IfAddrsDeleter> list(getifaddrs(&raw) == 0 ? raw : nullptr);
    bool connected = false;
    for (const ifaddrs* entry = list.get(); entry && !connected; entry = entry->ifa_next) {
        bool up = (entry->ifa_flags & IFF_UP) && (entry->ifa_flags & IFF_RUNNING);
        bool address =
            entry->ifa_addr && (entry->ifa_addr->sa_family == AF_INET || entry->ifa_addr->sa_family == AF_INET6);
        connected = up && address && !(entry->ifa_flags & IFF_LOOPBACK);
    }
    if (lpdwFlags) {
        *lpdwFlags = connected ? INTERNET_CONNECTION_LAN : 0;
    }
    return connected ? TRUE : FALSE;
}
