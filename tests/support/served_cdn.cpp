#include "tests/support/served_cdn.h"

#include "tests/support/test_files.h"

#include <stdexcept>
#include <thread>

namespace testsupport {

namespace {

constexpr auto kPortPoll = std::chrono::milliseconds(10);

}  // namespace

ServedCdn::ServedCdn(const Folders& folders, std::chrono::milliseconds startLimit) : m_folders(folders) {
    std::filesystem::create_directories(m_folders.root);
    const std::filesystem::path portFile = m_folders.work / "port";
    ProcessStart start;
    start.argv = {m_folders.program.string(), "serve", "--root", m_folders.root.string(), "--port", "0", "--port-file",
                  portFile.string()};
    if (!m_folders.web.empty())
        start.argv.insert(start.argv.end(), {"--web", m_folders.web.string()});
    start.folder = m_folders.work;
    start.outputFile = Log();
    start.errorFile = m_folders.work / "server.err";
    try {
        m_server = std::make_unique<TestProcess>(start);
    } catch (const std::runtime_error& failure) {
        WriteBytes(start.errorFile, failure.what());
        return;
    }
    // The program writes the whole line at once, once it listens; a server
    // that ended will never write it.
    const auto deadline = std::chrono::steady_clock::now() + startLimit;
    std::string portText = ReadBytes(portFile);
    while (portText.find('\n') == std::string::npos && m_server->Running() &&
           std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(kPortPoll);
        portText = ReadBytes(portFile);
    }
    if (portText.find('\n') != std::string::npos)
        m_port = std::stoi(portText);
}

ServedCdn::~ServedCdn() = default;

std::string ServedCdn::BaseUrl() const {
    return "http://127.0.0.1:" + std::to_string(m_port);
}

std::string ServedCdn::Problem() const {
    return ReadBytes(m_folders.work / "server.err");
}

std::filesystem::path ServedCdn::Log() const {
    return m_folders.work / "server.log";
}

ServedCdn::Published ServedCdn::Publish(const std::filesystem::path& launcher, const std::filesystem::path& client,
                                        const std::string& platform, const std::vector<std::string>& options,
                                        std::chrono::milliseconds limit) const {
    ProcessStart start;
    start.argv = {m_folders.program.string(),
                  "publish",
                  "--launcher",
                  launcher.string(),
                  "--client",
                  client.string(),
                  "--platform",
                  platform,
                  "--out",
                  m_folders.root.string()};
    start.argv.insert(start.argv.end(), options.begin(), options.end());
    start.folder = m_folders.work;
    start.outputFile = m_folders.work / "publish.out";
    start.errorFile = m_folders.work / "publish.err";
    Published published;
    published.exitCode = RunProcess(start, limit);
    published.errors = ReadBytes(start.errorFile);
    return published;
}

}  // namespace testsupport
