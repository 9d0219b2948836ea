// A reset reaches the client as one: the read fails with ECONNRESET, not
// with the end of the stream that a clean close gives.
#include "tests/support/loopback_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <string>

namespace testsupport {
namespace {

// Sends a GET and reads until the connection ends; the errno of the last
// read, or 0 for a clean end.
int ReadUntilTheEnd(int port, std::string& received) {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        close(fd);
        return -1;
    }
    const std::string request = "GET /f HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n";
    (void)!write(fd, request.data(), request.size());
    char buffer[4096];
    int error = 0;
    for (;;) {
        const ssize_t count = read(fd, buffer, sizeof buffer);
        if (count <= 0) {
            error = count < 0 ? errno : 0;
            break;
        }
        received.append(buffer, static_cast<std::size_t>(count));
    }
    close(fd);
    return error;
}

TEST(ConnectionReset, CutBodyEndsWithAResetOrACleanClose) {
    LoopbackServer server;
    server.SetBody("/f", std::string(100, 'x'));

    server.SetFault("/f", Fault{.closeAfterBytes = 10});
    std::string received;
    EXPECT_EQ(ReadUntilTheEnd(server.Port(), received), 0);
    EXPECT_EQ(received.substr(received.size() - 12), "\r\n" + std::string(10, 'x')) << received;

    server.SetFault("/f", Fault{.closeAfterBytes = 10, .reset = true});
    received.clear();
    EXPECT_EQ(ReadUntilTheEnd(server.Port(), received), ECONNRESET);
}

}  // namespace
}  // namespace testsupport
