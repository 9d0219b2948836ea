#include "tests/support/loopback_server.h"

#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>
#include <httplib.h>

#include <chrono>

namespace testsupport {
namespace {

class LoopbackServerTest : public ::testing::Test {
protected:
    httplib::Result Get(const std::string& target, httplib::Headers headers = {}) {
        httplib::Client client("127.0.0.1", server.Port());
        return client.Get(target.c_str(), headers);
    }

    LoopbackServer server;
};

TEST_F(LoopbackServerTest, ServesBodiesByTargetAndRecordsRequests) {
    server.SetBody("/plain", "plain body");
    server.SetBody("/answer?platform=7", "seven");

    auto plain = Get("/plain?any=1", {{"X-Probe", "one"}, {"X-Probe", "two"}});
    ASSERT_TRUE(plain);
    EXPECT_EQ(plain->status, 200);
    EXPECT_EQ(plain->body, "plain body");
    EXPECT_EQ(plain->get_header_value("Content-Length"), "10");

    auto seven = Get("/answer?platform=7");
    ASSERT_TRUE(seven);
    EXPECT_EQ(seven->body, "seven");
    auto other = Get("/answer?platform=8");
    ASSERT_TRUE(other);
    EXPECT_EQ(other->status, 404);

    auto requests = server.Requests();
    ASSERT_EQ(requests.size(), 3u);
    EXPECT_EQ(requests[0].method, "GET");
    EXPECT_EQ(requests[0].target, "/plain?any=1");
    EXPECT_EQ(requests[0].version, "HTTP/1.1");
    EXPECT_EQ(requests[0].HeaderCount("x-probe"), 2u);
    EXPECT_EQ(requests[0].Header("X-PROBE"), "one");
    EXPECT_EQ(requests[0].HeaderCount("REMOTE_ADDR"), 0u);
    EXPECT_EQ(requests[2].target, "/answer?platform=8");

    server.ClearRequests();
    EXPECT_TRUE(server.Requests().empty());
}

TEST_F(LoopbackServerTest, AnswersRangesWith206OrIgnoresThem) {
    server.SetBody("/r", "0123456789");

    auto part = Get("/r", {{"Range", "bytes=2-5"}});
    ASSERT_TRUE(part);
    EXPECT_EQ(part->status, 206);
    EXPECT_EQ(part->body, "2345");
    EXPECT_EQ(part->get_header_value("Content-Range"), "bytes 2-5/10");

    auto tail = Get("/r", {{"Range", "bytes=7-"}});
    ASSERT_TRUE(tail);
    EXPECT_EQ(tail->body, "789");

    auto beyond = Get("/r", {{"Range", "bytes=10-"}});
    ASSERT_TRUE(beyond);
    EXPECT_EQ(beyond->status, 416);
    EXPECT_EQ(beyond->get_header_value("Content-Range"), "bytes */10");

    server.SetRangeAnswer206(false);
    auto whole = Get("/r", {{"Range", "bytes=2-5"}});
    ASSERT_TRUE(whole);
    EXPECT_EQ(whole->status, 200);
    EXPECT_EQ(whole->body, "0123456789");
    EXPECT_FALSE(whole->has_header("Content-Range"));
}

TEST_F(LoopbackServerTest, ServesFolderFilesWithoutEscapingTheFolder) {
    const TempDir root;
    root.Write("cdn/tree/file.bin", "file content");
    root.Write("secret.txt", "secret");
    server.ServeFolder("/cdn/", root.Path("cdn").string());

    auto file = Get("/cdn/tree/file.bin");
    ASSERT_TRUE(file);
    EXPECT_EQ(file->status, 200);
    EXPECT_EQ(file->body, "file content");

    auto escape = Get("/cdn/%2E%2E/secret.txt");
    ASSERT_TRUE(escape);
    EXPECT_EQ(escape->status, 404);
    EXPECT_EQ(server.Requests().back().target, "/cdn/%2E%2E/secret.txt");
    auto folder = Get("/cdn/tree");
    ASSERT_TRUE(folder);
    EXPECT_EQ(folder->status, 404);
}

TEST_F(LoopbackServerTest, InjectsFaultsUntilCleared) {
    server.SetBody("/f", std::string(200000, 'x'));

    server.SetFault("/f", Fault{.status = 302, .location = "/elsewhere"});
    httplib::Client client("127.0.0.1", server.Port());
    auto moved = client.Get("/f");
    ASSERT_TRUE(moved);
    EXPECT_EQ(moved->status, 302);
    EXPECT_EQ(moved->get_header_value("Location"), "/elsewhere");

    server.SetFault("/f", Fault{.chunked = true});
    auto chunked = Get("/f");
    ASSERT_TRUE(chunked);
    EXPECT_FALSE(chunked->has_header("Content-Length"));
    EXPECT_EQ(chunked->get_header_value("Transfer-Encoding"), "chunked");
    EXPECT_EQ(chunked->body.size(), 200000u);

    // Cut bodies fail the client's read: the connection ends before the
    // announced length or the last chunk.
    server.SetFault("/f", Fault{.closeAfterBytes = 70000});
    EXPECT_FALSE(Get("/f"));
    server.SetFault("/f", Fault{.chunked = true, .closeAfterBytes = 70000});
    EXPECT_FALSE(Get("/f"));
    server.SetFault("/f", Fault{.extraContentLength = 1});
    EXPECT_FALSE(Get("/f"));

    server.ClearFaults();
    auto normal = Get("/f");
    ASSERT_TRUE(normal);
    EXPECT_EQ(normal->body.size(), 200000u);
}

TEST_F(LoopbackServerTest, FaultsForANumberOfRequestsAndOtherBytes) {
    server.SetBody("/f", "the real body");
    server.SetFault("/f", Fault{.status = 500, .times = 2});
    EXPECT_EQ(Get("/f")->status, 500);
    EXPECT_EQ(Get("/f")->status, 500);
    EXPECT_EQ(Get("/f")->body, "the real body");

    server.SetFault("/f", Fault{.body = "<html>502</html>", .times = 1});
    EXPECT_EQ(Get("/f")->body, "<html>502</html>");
    EXPECT_EQ(Get("/f")->body, "the real body");

    // A trickle: one byte per chunk, with a pause between chunks.
    server.SetFault("/f", Fault{.slowBodyDelayMs = 10, .chunkBytes = 1});
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(Get("/f")->body, "the real body");
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(120));
}

TEST_F(LoopbackServerTest, OverlongEndlessAndStalledBodies) {
    server.SetBody("/f", "0123456789");
    httplib::Client client("127.0.0.1", server.Port());

    // The chunked coding carries filler past the body; Content-Length names
    // the body alone.
    server.SetFault("/f", Fault{.extraBodyBytes = 100000});
    std::size_t received = 0;
    std::string start;
    std::string length;
    auto overlong = client.Get(
        "/f",
        [&](const httplib::Response& response) {
            length = response.get_header_value("Content-Length");
            return true;
        },
        [&](const char* data, std::size_t size) {
            if (start.size() < 10)
                start.append(data, std::min<std::size_t>(size, 10 - start.size()));
            received += size;
            return true;
        });
    EXPECT_EQ(length, "10");
    EXPECT_EQ(start, "0123456789");
    EXPECT_EQ(received, 100010u);

    // Endless: the client has to stop it.
    server.SetFault("/f", Fault{.endless = true});
    received = 0;
    auto endless = client.Get("/f", [&](const char*, std::size_t size) {
        received += size;
        return received < (8u << 20);
    });
    EXPECT_FALSE(endless);
    EXPECT_GE(received, 8u << 20);

    // Stalled after three bytes: the client's read times out.
    server.SetFault("/f", Fault{.stallAfterBytes = 3});
    client.set_read_timeout(0, 300000);
    received = 0;
    auto stalled = client.Get("/f", [&](const char*, std::size_t size) {
        received += size;
        return true;
    });
    EXPECT_FALSE(stalled);
    EXPECT_EQ(received, 3u);
}

TEST(LoopbackServerPorts, RefusedPortHasNoListener) {
    httplib::Client client("127.0.0.1", LoopbackServer::RefusedPort());
    auto result = client.Get("/");
    EXPECT_FALSE(result);
    EXPECT_EQ(result.error(), httplib::Error::Connection);
}

TEST(LoopbackServerPorts, SilentPortTakesConnectionsAndNeverAnswers) {
    SilentPort silent;
    httplib::Client client("127.0.0.1", silent.Port());
    client.set_read_timeout(0, 200000);
    auto result = client.Get("/");
    EXPECT_FALSE(result);
    EXPECT_EQ(result.error(), httplib::Error::Read);
}

}  // namespace
}  // namespace testsupport
