#include "platform/server_socket.h"

#ifdef _WIN32
#include <winsock2.h>
#else
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#endif

namespace platform {

void SetListeningSocketOptions(std::intptr_t socket) {
    const int yes = 1;
    const auto* value = reinterpret_cast<const char*>(&yes);
#ifdef _WIN32
    // SO_REUSEADDR would let a second server take the port here.
    const auto handle = static_cast<SOCKET>(socket);
    setsockopt(handle, SOL_SOCKET, SO_EXCLUSIVEADDRUSE, value, sizeof yes);
#else
    // Not SO_REUSEPORT: that lets a second server bind the same port and
    // silently take half of the requests.
    const auto handle = static_cast<int>(socket);
    setsockopt(handle, SOL_SOCKET, SO_REUSEADDR, value, sizeof yes);
#endif
    // Accepted connections inherit it: without it a response's header and
    // body writes meet the client's delayed acknowledgement, and every
    // request on a kept-alive connection waits tens of milliseconds.
    setsockopt(handle, IPPROTO_TCP, TCP_NODELAY, value, sizeof yes);
}

}  // namespace platform
