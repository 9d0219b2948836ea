// The server under a crowd of connections that never send a request: plain
// sockets, so POSIX only.
#include "tools/cdn/serve/cdn_server.h"

#include "tests/support/temp_dir.h"

#include <httplib.h>

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <future>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

// A connected socket that sends nothing, closed when it goes.
class IdleConnection {
public:
    explicit IdleConnection(int port) : m_socket(::socket(AF_INET, SOCK_STREAM, 0)) {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(static_cast<std::uint16_t>(port));
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        m_connected = m_socket >= 0 && ::connect(m_socket, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    }
    ~IdleConnection() {
        if (m_socket >= 0)
            ::close(m_socket);
    }
    IdleConnection(const IdleConnection&) = delete;
    IdleConnection& operator=(const IdleConnection&) = delete;

    bool Connected() const { return m_connected; }

    // True once the server has closed its end, by the deadline.
    bool ClosedBy(Clock::time_point deadline) const {
        for (;;) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
            pollfd wait{m_socket, POLLIN, 0};
            if (left <= 0 || ::poll(&wait, 1, static_cast<int>(left)) <= 0)
                return false;
            char byte = 0;
            const ssize_t got = ::recv(m_socket, &byte, 1, 0);
            if (got <= 0)
                return true;
        }
    }

private:
    int m_socket;
    bool m_connected = false;
};

}  // namespace

// 200 connections that never send a request used to hold every worker, and
// no other request was answered. Now the real ones are answered within a
// few seconds, and the server closes the idle ones itself.
TEST(CdnServerConnections, IdleConnectionsNeitherStarveRequestsNorStayOpen) {
    testsupport::TempDir dir;
    dir.Write("cdn/answers/client.txt", "cdn_url={server}/cdn/|cdn_path=C1/|cdn_index=0|web_url=x");
    ServeOptions options;
    options.root = dir.Path() / "cdn";
    CdnServer server(options, nullptr);
    const int port = server.Start();

    std::vector<std::unique_ptr<IdleConnection>> idle;
    for (int i = 0; i < 200; ++i) {
        idle.push_back(std::make_unique<IdleConnection>(port));
        ASSERT_TRUE(idle.back()->Connected()) << i;
    }

    // A bound that only a starved server misses: before, the idle crowd
    // held the workers for two minutes.
    constexpr auto kBound = std::chrono::seconds(20);
    const Clock::time_point deadline = Clock::now() + kBound;
    std::vector<std::future<int>> answers;
    for (int i = 0; i < 5; ++i)
        answers.push_back(std::async(std::launch::async, [port, kBound] {
            httplib::Client client("127.0.0.1", port);
            client.set_connection_timeout(kBound);
            client.set_read_timeout(kBound);
            const auto answer = client.Get("/web/pcversion");
            return answer ? answer->status : -1;
        }));
    for (auto& answer : answers)
        EXPECT_EQ(answer.get(), 200);
    EXPECT_LT(Clock::now(), deadline);

    for (std::size_t i = 0; i < idle.size(); ++i)
        ASSERT_TRUE(idle[i]->ClosedBy(deadline + kBound)) << "idle connection " << i << " is still open";
}
