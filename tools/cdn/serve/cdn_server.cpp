#include "tools/cdn/serve/cdn_server.h"

#include "tools/cdn/publish/file_handle.h"
#include "tools/cdn/publish/name_rules.h"
#include "tools/cdn/publish/publish_error.h"
#include "tools/cdn/publish/version_answer.h"
#include "tools/cdn/serve/static_file.h"

#include "platform/server_socket.h"

#include <httplib.h>

#include <atomic>
#include <chrono>
#include <stdexcept>

namespace fs = std::filesystem;

namespace {

constexpr const char* kAnswerType = "text/plain; charset=utf-8";
constexpr std::size_t kMaxHostHeader = 255;
constexpr std::size_t kKeepAliveRequests = 1000;
// A connection holds a worker from its first byte to its last request, and
// the library's pool has eight. So the pool is larger, and a connection that
// begins no request within kIdleSeconds (a new one or one kept alive) gives
// its worker back: a crowd of idle or slow clients then delays the rest by
// a few seconds, never for good. Beyond the pool, connections wait their
// turn rather than each starting a thread.
constexpr std::size_t kConnectionWorkers = 128;
constexpr time_t kIdleSeconds = 2;
// Each read inside a request.
constexpr time_t kReadSeconds = 5;

void Refuse(httplib::Response& res, int status, const std::string& why) {
    res.status = status;
    res.set_content(why + "\n", "text/plain; charset=utf-8");
}

// Only what a host and port can hold: anything else could smuggle "|" or
// "=" into an answer.
bool IsPlainHost(const std::string& host) {
    if (host.empty() || host.size() > kMaxHostHeader) {
        return false;
    }
    return std::all_of(host.begin(), host.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' || c == '-' ||
               c == ':' || c == '[' || c == ']';
    });
}

void RequireFolder(const fs::path& folder, const std::string& what) {
    std::error_code error;
    if (!fs::is_directory(folder, error)) {
        throw std::runtime_error(what + " " + folder.string() + " is not a folder");
    }
}

std::string BodyBytes(const httplib::Response& res) {
    return res.has_header("Content-Length") ? res.get_header_value("Content-Length") : std::to_string(res.body.size());
}

}  // namespace

std::optional<std::string> ServeWarning(const ServeOptions& options) {
    // A root that is no folder at all is Start's error.
    std::error_code error;
    if (!fs::is_directory(options.root, error) || fs::is_directory(options.root / "answers", error)) {
        return std::nullopt;
    }
    return options.root.string() +
           " holds no publish yet (no answers/): every request gets 404 until \"quillmoor-cdn publish\" writes one";
}

CdnServer::CdnServer(ServeOptions options, AccessLog accessLog)
    : m_options(std::move(options)), m_accessLog(std::move(accessLog)), m_server(std::make_unique<httplib::Server>()) {
    // The library's default adds SO_REUSEPORT on Linux, which lets a second
    // server bind the same port and silently take half of the requests.
    m_server->set_socket_options([this](socket_t sock) {
        m_listenSocket = static_cast<std::intptr_t>(sock);
        platform::SetListeningSocketOptions(m_listenSocket);
    });
    // The launcher fetches many small objects over one connection; the
    // library's default closes it after five requests.
    m_server->set_keep_alive_max_count(kKeepAliveRequests);
    m_server->new_task_queue = [] { return new httplib::ThreadPool(kConnectionWorkers); };
    m_server->set_keep_alive_timeout(kIdleSeconds);
    m_server->set_read_timeout(kReadSeconds, 0);
    Route();
}

CdnServer::~CdnServer() {
    Stop();
}

std::string CdnServer::ServerUrl(const std::string& hostHeader) const {
    if (IsPlainHost(hostHeader)) {
        return "http://" + hostHeader;
    }
    const bool ipv6 = m_options.host.find(':') != std::string::npos;
    return "http://" + (ipv6 ? "[" + m_options.host + "]" : m_options.host) + ":" + std::to_string(m_port);
}

void CdnServer::Route() {
    auto serveAnswer = [this](const fs::path& answer, const httplib::Request& req, httplib::Response& res) {
        std::error_code error;
        if (!fs::is_regular_file(answer, error)) {
            Refuse(res, 404, "nothing published for this request");
            return;
        }
        try {
            const std::string text =
                FillServerPlaceholder(ReadWholeFile(answer), ServerUrl(req.get_header_value("Host")));
            if (text.size() > kMaxAnswerBytes) {
                Refuse(res, 500, "the answer exceeds " + std::to_string(kMaxAnswerBytes) + " bytes");
                return;
            }
            res.set_content(text, kAnswerType);
        } catch (const PublishError& failure) {
            Refuse(res, 500, failure.what());
        }
    };

    m_server->Get("/api/launcherversionnew", [this, serveAnswer](const httplib::Request& req, httplib::Response& res) {
        if (!req.has_param("platform")) {
            Refuse(res, 400, "platform missing");
            return;
        }
        const std::string code = req.get_param_value("platform");
        if (!IsPlatformCode(code)) {
            Refuse(res, 404, "unknown platform");
            return;
        }
        serveAnswer(m_options.root / "answers" / ("launcher-" + code + ".txt"), req, res);
    });
    m_server->Get("/web/pcversion", [this, serveAnswer](const httplib::Request& req, httplib::Response& res) {
        serveAnswer(m_options.root / "answers" / "client.txt", req, res);
    });
    // Release documents are signed as they stand: no placeholder is filled in.
    auto serveRelease = [](const fs::path& file, const httplib::Request& req, httplib::Response& res) {
        std::error_code error;
        if (!fs::is_regular_file(file, error) || !ServeFile(file, kAnswerType, req, res)) {
            Refuse(res, 404, "nothing signed for this request");
        }
    };
    // One route a name: the Windows build's regular expressions did not
    // match an escaped dot or an optional group here.
    for (const std::string suffix : {".release", ".release.sig"}) {
        m_server->Get("/api/launcherversionnew" + suffix,
                      [this, serveRelease, suffix](const httplib::Request& req, httplib::Response& res) {
                          const std::string code = req.get_param_value("platform");
                          if (!IsPlatformCode(code)) {
                              Refuse(res, 404, "unknown platform");
                              return;
                          }
                          serveRelease(m_options.root / "answers" / ("launcher-" + code + suffix), req, res);
                      });
        // Before the page folder's route, which would take these paths too.
        m_server->Get("/web/pcversion" + suffix,
                      [this, serveRelease, suffix](const httplib::Request& req, httplib::Response& res) {
                          serveRelease(m_options.root / "answers" / ("client" + suffix), req, res);
                      });
    }
    m_server->Get("/cdn/(index|diff|file|tree)/(.+)", [this](const httplib::Request& req, httplib::Response& res) {
        const fs::path file =
            FileBelow(m_options.root / req.matches[1].str(), req.matches[2].str(), DotNames::ServedAsFileName);
        if (file.empty() || !ServeFile(file, "application/octet-stream", req, res)) {
            Refuse(res, 404, "no such object");
        }
    });
    if (m_options.webDir) {
        m_server->Get("/web/(.+)", [this](const httplib::Request& req, httplib::Response& res) {
            const fs::path file = FileBelow(*m_options.webDir, req.matches[1].str(), DotNames::Refused);
            if (file.empty() || !ServeFile(file, ContentTypeOf(file), req, res)) {
                Refuse(res, 404, "no such page");
            }
        });
    }
    m_server->set_logger([this](const httplib::Request& req, const httplib::Response& res) {
        if (m_accessLog) {
            m_accessLog(req.method + " " + req.target + " " + std::to_string(res.status) + " " + BodyBytes(res));
        }
    });
}

int CdnServer::Start() {
    RequireFolder(m_options.root, "the root");
    if (m_options.webDir) {
        RequireFolder(*m_options.webDir, "the page folder");
    }
    const std::string& host = m_options.host;
    m_port = m_options.port == 0 ? m_server->bind_to_any_port(host)
                                 : (m_server->bind_to_port(host, m_options.port) ? m_options.port : -1);
    if (m_port <= 0) {
        throw std::runtime_error("cannot listen on " + host + " port " + std::to_string(m_options.port) + ": " +
                                 platform::BindProblem(host, m_options.port));
    }
    // The library listens with a queue of five: a crowd of connections
    // would wait out the system's retries.
    platform::WidenListenQueue(m_listenSocket);
    auto ended = std::make_shared<std::atomic<bool>>(false);
    m_thread = std::thread([this, ended] {
        m_server->listen_after_bind();
        *ended = true;
    });
    // Stop() only reaches a server that runs; wait for it to get there.
    while (!m_server->is_running() && !*ended) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    if (*ended) {
        m_thread.join();
        throw std::runtime_error("the server on " + host + " could not start");
    }
    return m_port;
}

void CdnServer::Stop() {
    if (m_thread.joinable()) {
        m_server->stop();
        m_thread.join();
    }
}
