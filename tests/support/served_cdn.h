// A CDN as a publisher runs one: quillmoor-cdn serves a folder on 127.0.0.1
// at a port the system picks (the program reports it through a port file),
// and quillmoor-cdn publish writes a launcher and a client into that same
// folder. Both programs run in a work folder of the test's, their output in
// files there: server.log (a line per request), server.err, publish.out,
// publish.err.
#pragma once

#include "tests/support/test_process.h"

#include <chrono>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace testsupport {

class ServedCdn {
public:
    struct Folders {
        // The quillmoor-cdn program.
        std::filesystem::path program;
        // Where the programs run and write their output.
        std::filesystem::path work;
        // The CDN folder served and published into; made when missing.
        std::filesystem::path root;
        // Served under /web/ when not empty.
        std::filesystem::path web;
    };

    // Starts serving and waits up to `startLimit` for the port. Never throws
    // for a server that does not come up: Port() is 0 and Problem() says why.
    ServedCdn(const Folders& folders, std::chrono::milliseconds startLimit);
    // Stops the server.
    ~ServedCdn();
    ServedCdn(const ServedCdn&) = delete;
    ServedCdn& operator=(const ServedCdn&) = delete;

    // The port it listens on; 0 when it did not start.
    int Port() const { return m_port; }
    // "http://127.0.0.1:PORT"
    std::string BaseUrl() const;
    // What the server wrote to its error output.
    std::string Problem() const;
    // One line per answered request: "GET /target STATUS".
    std::filesystem::path Log() const;

    struct Published {
        // Nothing when publishing had to be stopped after the limit.
        std::optional<int> exitCode;
        // What the publisher wrote to its error output.
        std::string errors;
        bool Succeeded() const { return exitCode == 0; }
    };
    // Publishes a launcher folder and a client folder for `platform` into
    // the served folder; `options` follow (e.g. "--base-url", an address).
    Published Publish(const std::filesystem::path& launcher, const std::filesystem::path& client,
                      const std::string& platform, const std::vector<std::string>& options,
                      std::chrono::milliseconds limit) const;

private:
    Folders m_folders;
    std::unique_ptr<TestProcess> m_server;
    int m_port = 0;
};

}  // namespace testsupport
