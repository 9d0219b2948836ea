// A one-node OpenStack Swift with its S3 API, from Debian's packages, as
// the object-storage hosting test uses it: the proxy (S3 API and tempauth,
// whose one user uploads), the account, container and object servers and
// the memcached that tempauth keeps its tokens in, each on a free port of
// 127.0.0.1, with rings, configuration and data in a folder of the test's
// own. Everything runs as the test's own user and stops with the object.
#pragma once

#include "tests/support/loopback_server.h"
#include "tests/support/test_files.h"
#include "tests/support/test_process.h"

#include <httplib.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <pwd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <filesystem>
#include <memory>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace hostingtest {

class SwiftStore {
public:
    // The S3 user tempauth knows, and the Swift account its buckets live in.
    static constexpr const char* kAccessKey = "test:tester";
    static constexpr const char* kSecretKey = "testing";
    static constexpr const char* kAccount = "AUTH_test";

    // The programs the store needs that are not installed, by name.
    static std::vector<std::string> MissingPrograms() {
        std::vector<std::string> missing;
        for (const char* name : kPrograms)
            if (!testsupport::FindProgram(name))
                missing.push_back(name);
        return missing;
    }

    explicit SwiftStore(std::filesystem::path folder) : m_folder(std::move(folder)) {}
    ~SwiftStore() {
        // The proxy first, memcached last: nothing is left asking a server
        // that has gone.
        while (!m_processes.empty())
            m_processes.pop_back();
        if (m_logSink >= 0)
            ::close(m_logSink);
    }
    SwiftStore(const SwiftStore&) = delete;
    SwiftStore& operator=(const SwiftStore&) = delete;

    // Builds the rings, starts every server and waits until each answers;
    // what went wrong, empty when the store is up.
    std::string Start() {
        std::set<int> taken;
        for (int* port : {&m_proxyPort, &m_memcachedPort, &m_ports[0], &m_ports[1], &m_ports[2]}) {
            do
                *port = testsupport::LoopbackServer::RefusedPort();
            while (!taken.insert(*port).second);
        }
        if (std::string problem = OpenLogSink(); !problem.empty())
            return problem;
        WriteConfiguration();
        if (std::string problem = BuildRings(); !problem.empty())
            return problem;

        std::vector<std::string> memcached = {"memcached", "-l", "127.0.0.1", "-p", std::to_string(m_memcachedPort),
                                              "-U",        "0"};
        if (geteuid() == 0) {
            memcached.push_back("-u");
            memcached.push_back("root");
        }
        StartProcess("memcached", memcached);
        // -v copies each server's log, the proxy's access log among it, to
        // its error file.
        for (const char* server : kServers)
            StartProcess(server, {std::string("swift-") + server + "-server",
                                  (m_folder / (std::string(server) + "-server.conf")).string(), "-v"});
        StartProcess("proxy", {"swift-proxy-server", (m_folder / "proxy-server.conf").string(), "-v"});
        return WaitUntilUp();
    }

    int Port() const { return m_proxyPort; }
    // Where rclone sends S3 requests.
    std::string Endpoint() const { return "http://127.0.0.1:" + std::to_string(m_proxyPort); }
    // What everyone reads a bucket's objects at, without credentials, once
    // the bucket lets them: its container's address, with a "/" at its end.
    std::string PublicUrl(const std::string& bucket) const {
        return Endpoint() + "/v1/" + kAccount + "/" + bucket + "/";
    }
    // Every request the proxy answered so far, one a line.
    std::string ProxyLog() const { return testsupport::ReadBytes(m_folder / "proxy.err"); }
    // What every server said, for a failure's message.
    std::string Logs() const {
        std::string logs;
        for (const char* name : {"memcached", "account", "container", "object", "proxy"})
            logs +=
                std::string("--- ") + name + ":\n" + testsupport::ReadBytes(m_folder / (std::string(name) + ".err"));
        return logs;
    }

private:
    static constexpr std::array<const char*, 7> kPrograms = {"swift-ring-builder",
                                                             "swift-proxy-server",
                                                             "swift-account-server",
                                                             "swift-container-server",
                                                             "swift-object-server",
                                                             "memcached",
                                                             "rclone"};
    static constexpr std::array<const char*, 3> kServers = {"account", "container", "object"};
    static constexpr auto kStartLimit = std::chrono::seconds(30);
    static constexpr auto kRingLimit = std::chrono::seconds(60);
    static constexpr auto kPoll = std::chrono::milliseconds(50);

    // The servers log to syslog as well as to their error files; that copy
    // goes to a socket of the test's own, which nobody reads, rather than to
    // the machine's log.
    std::string OpenLogSink() {
        m_logSink = ::socket(AF_INET, SOCK_DGRAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof(address);
        if (m_logSink < 0 || ::bind(m_logSink, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 ||
            ::getsockname(m_logSink, reinterpret_cast<sockaddr*>(&address), &length) != 0)
            return "cannot open a UDP socket for the servers' syslog copy";
        m_logPort = ntohs(address.sin_port);
        return std::string();
    }

    // The settings every server shares: its own address, the test's folder
    // for rings, data and caches, the test's own user, and no mount checks
    // (the device is a plain folder).
    std::string Common(int port) const {
        const std::string folder = m_folder.string();
        const passwd* user = getpwuid(geteuid());
        return "[DEFAULT]\nbind_ip = 127.0.0.1\nbind_port = " + std::to_string(port) +
               "\nworkers = 0\nswift_dir = " + folder + "\ndevices = " + folder + "/devices\nmount_check = false\n" +
               "recon_cache_path = " + folder + "/recon\nuser = " + (user ? user->pw_name : "root") +
               "\nlog_udp_host = 127.0.0.1\nlog_udp_port = " + std::to_string(m_logPort) + "\n";
    }

    void WriteConfiguration() const {
        using testsupport::WriteBytes;
        std::filesystem::create_directories(m_folder / "devices/d1");
        std::filesystem::create_directories(m_folder / "recon");
        WriteBytes(m_folder / "swift.conf",
                   "[swift-hash]\nswift_hash_path_suffix = quillmoor-test\nswift_hash_path_prefix = quillmoor-test\n"
                   "[storage-policy:0]\nname = one-copy\ndefault = yes\n");
        for (std::size_t i = 0; i < kServers.size(); ++i) {
            const std::string server = kServers[i];
            WriteBytes(m_folder / (server + "-server.conf"),
                       Common(m_ports[i]) + "[pipeline:main]\npipeline = " + server + "-server\n[app:" + server +
                           "-server]\nuse = egg:swift#" + server + "\n");
        }
        // s3api before tempauth, which checks its signatures; proxy-logging
        // twice, as Swift wants it, so that each request is logged once.
        WriteBytes(m_folder / "proxy-server.conf",
                   Common(m_proxyPort) +
                       "[pipeline:main]\npipeline = catch_errors gatekeeper proxy-logging cache s3api tempauth copy "
                       "slo dlo proxy-logging proxy-server\n"
                       "[app:proxy-server]\nuse = egg:swift#proxy\naccount_autocreate = true\n"
                       "[filter:catch_errors]\nuse = egg:swift#catch_errors\n"
                       "[filter:gatekeeper]\nuse = egg:swift#gatekeeper\n"
                       "[filter:proxy-logging]\nuse = egg:swift#proxy_logging\n"
                       "[filter:cache]\nuse = egg:swift#memcache\nmemcache_servers = 127.0.0.1:" +
                       std::to_string(m_memcachedPort) +
                       "\n[filter:s3api]\nuse = egg:swift#s3api\n"
                       "[filter:tempauth]\nuse = egg:swift#tempauth\nuser_test_tester = " +
                       kSecretKey +
                       " .admin\n"
                       "[filter:copy]\nuse = egg:swift#copy\n"
                       "[filter:slo]\nuse = egg:swift#slo\n"
                       "[filter:dlo]\nuse = egg:swift#dlo\n");
    }

    // One ring per server kind, one device on it, one copy of everything;
    // the three are built side by side (each step starts Python anew).
    std::string BuildRings() const {
        std::array<std::string, kServers.size()> problems;
        std::vector<std::thread> builders;
        for (std::size_t i = 0; i < kServers.size(); ++i)
            builders.emplace_back([this, i, &problems] {
                const std::string builder = (m_folder / (std::string(kServers[i]) + ".builder")).string();
                const std::vector<std::vector<std::string>> steps = {
                    {"create", "4", "1", "1"},
                    {"add", "r1z1-127.0.0.1:" + std::to_string(m_ports[i]) + "/d1", "1"},
                    {"rebalance"}};
                for (const auto& step : steps) {
                    std::vector<std::string> argv = {"swift-ring-builder", builder};
                    argv.insert(argv.end(), step.begin(), step.end());
                    const auto out = m_folder / (std::string(kServers[i]) + "-ring.out");
                    const testsupport::ProgramResult result =
                        testsupport::RunToEnd({argv, m_folder, {}, out, out}, kRingLimit);
                    if (result.exitCode != 0) {
                        problems[i] = "swift-ring-builder " + step[0] + " failed: " + result.output;
                        return;
                    }
                }
            });
        for (std::thread& builder : builders)
            builder.join();
        for (const std::string& problem : problems)
            if (!problem.empty())
                return problem;
        return std::string();
    }

    void StartProcess(const std::string& name, const std::vector<std::string>& argv) {
        testsupport::ProcessStart start;
        start.argv = argv;
        start.folder = m_folder;
        start.outputFile = m_folder / (name + ".out");
        start.errorFile = m_folder / (name + ".err");
        m_processes.push_back(std::make_unique<testsupport::TestProcess>(start));
    }

    bool Accepts(int port) const {
        const int probe = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = htons(static_cast<std::uint16_t>(port));
        const bool accepted =
            probe >= 0 && ::connect(probe, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0;
        if (probe >= 0)
            ::close(probe);
        return accepted;
    }

    // Every server answers (the proxy with its /info), or one ended.
    std::string WaitUntilUp() {
        const auto deadline = std::chrono::steady_clock::now() + kStartLimit;
        for (;;) {
            for (const auto& process : m_processes)
                if (!process->Running())
                    return "a server of the store ended at its start:\n" + Logs();
            bool up = Accepts(m_memcachedPort);
            for (int port : m_ports)
                up = up && Accepts(port);
            if (up) {
                httplib::Client proxy("127.0.0.1", m_proxyPort);
                const auto info = proxy.Get("/info");
                if (info && info->status == 200)
                    return std::string();
            }
            if (std::chrono::steady_clock::now() > deadline)
                return "the store did not answer within " + std::to_string(kStartLimit.count()) + " s:\n" + Logs();
            std::this_thread::sleep_for(kPoll);
        }
    }

    std::filesystem::path m_folder;
    int m_proxyPort = 0;
    int m_memcachedPort = 0;
    // The account, container and object servers', in kServers' order.
    std::array<int, kServers.size()> m_ports{};
    int m_logSink = -1;
    int m_logPort = 0;
    std::vector<std::unique_ptr<testsupport::TestProcess>> m_processes;
};

}  // namespace hostingtest
