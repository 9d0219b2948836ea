#include "platform/server_socket.h"

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#endif

namespace platform {

namespace {

#ifdef _WIN32
using Socket = SOCKET;
const Socket kNoSocket = INVALID_SOCKET;
std::string LastSocketError() {
    return "socket error " + std::to_string(WSAGetLastError());
}
void CloseSocket(Socket socket) {
    closesocket(socket);
}
std::string AddressError(int failure) {
    return gai_strerrorA(failure);
}
#else
using Socket = int;
const Socket kNoSocket = -1;
std::string LastSocketError() {
    return std::strerror(errno);
}
void CloseSocket(Socket socket) {
    close(socket);
}
std::string AddressError(int failure) {
    return gai_strerror(failure);
}
#endif

}  // namespace

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

void WidenListenQueue(std::intptr_t socket) {
#ifdef _WIN32
    listen(static_cast<SOCKET>(socket), SOMAXCONN);
#else
    listen(static_cast<int>(socket), SOMAXCONN);
#endif
}

std::string BindProblem(const std::string& host, int port) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_PASSIVE | AI_NUMERICSERV;
    addrinfo* found = nullptr;
    if (const int failure = getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &found)) {
        return AddressError(failure);
    }
    std::string problem = "the address cannot be bound";
    for (const addrinfo* address = found; address; address = address->ai_next) {
        const Socket sock = socket(address->ai_family, address->ai_socktype, address->ai_protocol);
        if (sock == kNoSocket) {
            problem = LastSocketError();
            continue;
        }
        SetListeningSocketOptions(static_cast<std::intptr_t>(sock));
        if (bind(sock, address->ai_addr, static_cast<int>(address->ai_addrlen)) != 0) {
            problem = LastSocketError();
        }
        CloseSocket(sock);
    }
    freeaddrinfo(found);
    return problem;
}

}  // namespace platform
