// The HTTP side of a published tree, for tests and the demo: the CDN
// objects, the version service and the page folder.
//
//   GET /cdn/{index,diff,file,tree}/...        objects, with Range support
//   GET /api/launcherversionnew?platform=CODE  answers/launcher-CODE.txt
//   GET /web/pcversion                         answers/client.txt
//   GET /web/...                               the page folder
//   GET /api/launcherversionnew.release?platform=CODE   answers/launcher-CODE.release
//   GET /web/pcversion.release                  answers/client.release
//   and the same with ".sig" appended: the signatures beside them
//
// "{server}" in an answer becomes "http://" + the request's Host, so the
// launcher is sent back to the address it used. Every file is read per
// request: publishing into a served folder takes effect at once.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>

namespace httplib {
class Server;
}

struct ServeOptions {
    std::filesystem::path root;
    std::optional<std::filesystem::path> webDir;
    std::string host = "127.0.0.1";
    int port = 0;  // 0: any free port
};

// What a publisher should know before serving root: it holds no publish yet
// (every request gets 404 until one is written). Nothing when it does.
std::optional<std::string> ServeWarning(const ServeOptions& options);

class CdnServer {
public:
    // Receives one line per request: method, target, status, body bytes.
    using AccessLog = std::function<void(const std::string& line)>;

    CdnServer(ServeOptions options, AccessLog accessLog);
    ~CdnServer();
    CdnServer(const CdnServer&) = delete;
    CdnServer& operator=(const CdnServer&) = delete;

    // Binds and serves on a thread of its own; returns the bound port once
    // requests are being accepted. Throws std::runtime_error, saying why,
    // when the root or the page folder is no folder or the address cannot be
    // bound.
    int Start();
    // Stops accepting, finishes open requests and joins the thread.
    void Stop();

private:
    void Route();
    std::string ServerUrl(const std::string& hostHeader) const;

    ServeOptions m_options;
    AccessLog m_accessLog;
    std::unique_ptr<httplib::Server> m_server;
    std::thread m_thread;
    int m_port = 0;
    // The socket the library bound last, set while it binds.
    std::intptr_t m_listenSocket = -1;
};
