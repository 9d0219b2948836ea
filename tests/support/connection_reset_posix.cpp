// Resets on Linux: the server's socket is found among this process's
// descriptors by its two ports; an immediate linger turns its close into a
// reset. The server would shut the socket down (a clean end) before closing
// it, so it is closed here, by putting an unconnected socket in its place:
// the descriptor stays valid for the server and is never another one's.
#include "tests/support/connection_reset.h"

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>

namespace testsupport {

namespace {

constexpr long kMostDescriptors = 65536;

// The port of one end of a TCP/IPv4 socket; -1 when fd is no such socket.
int PortOf(int fd, bool peer) {
    sockaddr_in address{};
    socklen_t length = sizeof address;
    auto* raw = reinterpret_cast<sockaddr*>(&address);
    const int result = peer ? getpeername(fd, raw, &length) : getsockname(fd, raw, &length);
    if (result != 0 || address.sin_family != AF_INET)
        return -1;
    return ntohs(address.sin_port);
}

}  // namespace

bool ResetConnection(int localPort, int peerPort) {
    const long descriptors = std::min(sysconf(_SC_OPEN_MAX), kMostDescriptors);
    for (int fd = 0; fd < descriptors; ++fd) {
        if (PortOf(fd, false) != localPort || PortOf(fd, true) != peerPort)
            continue;
        const linger immediate{1, 0};
        const int standIn = socket(AF_INET, SOCK_STREAM, 0);
        const bool reset = standIn >= 0 && setsockopt(fd, SOL_SOCKET, SO_LINGER, &immediate, sizeof immediate) == 0 &&
                           dup2(standIn, fd) == fd;
        if (standIn >= 0)
            close(standIn);
        return reset;
    }
    return false;
}

}  // namespace testsupport
