#include "tests/support/loopback_server.h"

#include "tests/support/connection_reset.h"

#include <httplib.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <limits>
#include <map>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <string_view>
#include <system_error>
#include <thread>

namespace testsupport {

namespace {

constexpr std::size_t kChunkBytes = 64 * 1024;
// Stalled answers hold a worker each until their client leaves.
constexpr std::size_t kWorkerThreads = 64;
// A stalled answer looks for its client this often, and gives up after the
// longest stall.
constexpr int kStallPollMs = 20;
constexpr int kLongestStallMs = 120000;
constexpr std::uint64_t kEndless = std::numeric_limits<std::uint64_t>::max();
constexpr const char* kContentType = "application/octet-stream";

// Pages must arrive as pages for a browser to show them.
const char* ContentTypeOf(const std::string& path) {
    const auto endsWith = [&path](std::string_view end) {
        return path.size() >= end.size() && path.compare(path.size() - end.size(), end.size(), end) == 0;
    };
    return endsWith(".html") || endsWith(".htm") ? "text/html; charset=utf-8" : kContentType;
}

// Headers the parser adds to a request itself; they were never received.
bool IsParserAddedHeader(const std::string& name) {
    return name == "REMOTE_ADDR" || name == "REMOTE_PORT" || name == "LOCAL_ADDR" || name == "LOCAL_PORT";
}

// Header names compare without regard to case.
bool SameName(const std::string& left, const std::string& right) {
    return left.size() == right.size() && std::equal(left.begin(), left.end(), right.begin(), [](char a, char b) {
               return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b));
           });
}

// The socket of RefusedPort: bound, never listening, closed on the way out.
class BoundSocket {
public:
    BoundSocket() : m_socket(::socket(AF_INET, SOCK_STREAM, 0)) {}
    ~BoundSocket() {
        if (m_socket != INVALID_SOCKET) {
            httplib::detail::close_socket(m_socket);
        }
    }
    BoundSocket(const BoundSocket&) = delete;
    BoundSocket& operator=(const BoundSocket&) = delete;
    socket_t Get() const { return m_socket; }

private:
    socket_t m_socket;
};

// Wakes slow answers when the server shuts down, so that stopping never
// waits for a slow body to finish.
class StopSignal {
public:
    // False when the server is stopping.
    bool WaitFor(int milliseconds) {
        std::unique_lock<std::mutex> lock(m_mutex);
        return !m_cv.wait_for(lock, std::chrono::milliseconds(milliseconds), [this] { return m_stopping; });
    }
    void Stop() {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_stopping = true;
        m_cv.notify_all();
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_cv;
    bool m_stopping = false;  // guarded by m_mutex
};

// The bytes of one answer: a shared in-memory body or an open file. Neither is
// copied as a whole; files are read chunk by chunk. One answer's chunks are
// sent one after another, so its file is never read by two threads at once.
struct BodySource {
    std::shared_ptr<const std::string> memory;
    std::shared_ptr<std::ifstream> file;
    std::uint64_t size = 0;
    // The answer's ETag, quotes included.
    std::string etag;

    static std::optional<BodySource> OpenFile(const std::string& path) {
        std::error_code error;
        if (!std::filesystem::is_regular_file(path, error)) {
            return std::nullopt;
        }
        auto file = std::make_shared<std::ifstream>(path, std::ios::binary);
        const std::uintmax_t size = std::filesystem::file_size(path, error);
        const auto modified = std::filesystem::last_write_time(path, error);
        if (!*file || error) {
            return std::nullopt;
        }
        // As nginx makes it, with the time in nanoseconds: a file rewritten
        // within a second gets another one.
        const auto ticks = static_cast<unsigned long long>(
            std::chrono::duration_cast<std::chrono::nanoseconds>(modified.time_since_epoch()).count());
        char etag[64];
        std::snprintf(etag, sizeof etag, "\"%llx-%llx\"", ticks, static_cast<unsigned long long>(size));
        return BodySource{nullptr, std::move(file), static_cast<std::uint64_t>(size), etag};
    }

    static BodySource InMemory(std::shared_ptr<const std::string> body, std::string etag) {
        const auto size = static_cast<std::uint64_t>(body->size());
        return BodySource{std::move(body), nullptr, size, std::move(etag)};
    }

    bool WriteTo(httplib::DataSink& sink, std::uint64_t position, std::size_t count, std::vector<char>& buffer) const {
        if (memory) {
            return sink.write(memory->data() + position, count);
        }
        buffer.resize(count);
        file->clear();
        file->seekg(static_cast<std::streamoff>(position));
        file->read(buffer.data(), static_cast<std::streamsize>(count));
        if (file->gcount() != static_cast<std::streamsize>(count)) {
            return false;  // the file shrank or failed: cut the answer
        }
        return sink.write(buffer.data(), count);
    }
};

// The ETag of an in-memory body: its bytes' FNV-1a hash and its size.
std::string MemoryEtag(const std::string& body) {
    std::uint64_t hash = 14695981039346656037ull;
    for (const char byte : body) {
        hash = (hash ^ static_cast<unsigned char>(byte)) * 1099511628211ull;
    }
    char etag[64];
    std::snprintf(etag, sizeof etag, "\"m%llx-%llx\"", static_cast<unsigned long long>(hash),
                  static_cast<unsigned long long>(body.size()));
    return etag;
}

// Bytes that are no one's body: what an endless or overlong answer sends.
// The filler byte at a position is bits 13-20 of position * 2654435761, which
// depend on the position's low 21 bits only: the bytes repeat every 2 MiB,
// and are copied from one period instead of computed byte by byte (the
// slowest step of an endless answer under the sanitizers).
const std::vector<char>& FillerPeriod() {
    static const std::vector<char> period = [] {
        std::vector<char> bytes(std::size_t{1} << 21);
        for (std::size_t i = 0; i < bytes.size(); ++i)
            bytes[i] = static_cast<char>((std::uint64_t{i} * 2654435761u) >> 13);
        return bytes;
    }();
    return period;
}

bool WriteFiller(httplib::DataSink& sink, std::uint64_t offset, std::size_t count) {
    const std::vector<char>& period = FillerPeriod();
    while (count != 0) {
        const std::size_t at = static_cast<std::size_t>(offset % period.size());
        const std::size_t part = std::min(count, period.size() - at);
        if (!sink.write(period.data() + at, part))
            return false;
        offset += part;
        count -= part;
    }
    return true;
}

// Sends one answer's body window chunk by chunk, pausing between chunks when
// asked to, then filler bytes up to `sendLimit`, and ends the connection once
// `sendLimit` bytes are out if the answer promised more.
struct BodyWriter {
    BodySource source;
    std::uint64_t start = 0;      // first byte of the window in the source
    std::uint64_t bodyBytes = 0;  // bytes of the window; filler follows them
    std::uint64_t sendLimit = 0;  // bytes actually sent
    std::size_t chunkBytes = kChunkBytes;
    int delayMs = 0;
    std::int64_t stallAfter = -1;
    bool reset = false;
    int localPort = 0;
    int peerPort = 0;
    std::shared_ptr<StopSignal> stop;
    std::shared_ptr<std::atomic<std::uint64_t>> sent;
    std::vector<char> buffer;

    bool Sent(bool written, std::uint64_t count) {
        if (written) {
            *sent += count;
        }
        return written;
    }

    // False ends the answer by closing the connection.
    bool SendChunk(std::uint64_t offset, httplib::DataSink& sink) {
        if (stallAfter >= 0 && offset >= static_cast<std::uint64_t>(stallAfter)) {
            return Stall(sink);
        }
        if (offset >= sendLimit) {
            if (reset) {
                ResetConnection(localPort, peerPort);
            }
            return false;
        }
        if (offset > 0 && delayMs > 0 && !stop->WaitFor(delayMs)) {
            return false;
        }
        std::uint64_t count = std::min<std::uint64_t>(chunkBytes, sendLimit - offset);
        if (stallAfter >= 0) {
            count = std::min<std::uint64_t>(count, static_cast<std::uint64_t>(stallAfter) - offset);
        }
        if (offset < bodyBytes) {
            count = std::min(count, bodyBytes - offset);
            return Sent(source.WriteTo(sink, start + offset, static_cast<std::size_t>(count), buffer), count);
        }
        return Sent(WriteFiller(sink, offset, static_cast<std::size_t>(count)), count);
    }

    // Sends nothing more until the client leaves or the server stops.
    bool Stall(httplib::DataSink& sink) {
        for (int waited = 0; waited < kLongestStallMs && sink.is_writable(); waited += kStallPollMs) {
            if (!stop->WaitFor(kStallPollMs)) {
                break;
            }
        }
        return false;
    }
};

struct ByteRange {
    std::uint64_t first = 0;
    std::uint64_t count = 0;
};

enum class RangeResult { None, Satisfiable, Unsatisfiable };

// One "bytes=a-b", "bytes=a-" or "bytes=-n". Anything else (several ranges,
// other units) is answered with the whole body, as a server may do.
RangeResult ParseRange(const std::string& value, std::uint64_t size, ByteRange& range) {
    const std::string prefix = "bytes=";
    if (value.compare(0, prefix.size(), prefix) != 0 || value.find(',') != std::string::npos) {
        return RangeResult::None;
    }
    std::string bounds = value.substr(prefix.size());
    auto dash = bounds.find('-');
    if (dash == std::string::npos) {
        return RangeResult::None;
    }
    std::string from = bounds.substr(0, dash);
    std::string to = bounds.substr(dash + 1);
    auto digits = [](const std::string& s) {
        return !s.empty() && s.size() <= 18 &&
               std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
    };
    if (from.empty()) {
        if (!digits(to)) {
            return RangeResult::None;
        }
        std::uint64_t suffix = std::stoull(to);
        if (suffix == 0 || size == 0) {
            return RangeResult::Unsatisfiable;
        }
        range.count = std::min(suffix, size);
        range.first = size - range.count;
        return RangeResult::Satisfiable;
    }
    if (!digits(from) || (!to.empty() && !digits(to))) {
        return RangeResult::None;
    }
    std::uint64_t first = std::stoull(from);
    std::uint64_t last = to.empty() ? size - 1 : std::min<std::uint64_t>(std::stoull(to), size - 1);
    if (first >= size || (!to.empty() && std::stoull(to) < first)) {
        return RangeResult::Unsatisfiable;
    }
    range.first = first;
    range.count = last - first + 1;
    return RangeResult::Satisfiable;
}

// A path below a served folder that does not climb out of it.
bool IsContainedPath(const std::string& rest) {
    if (rest.empty() || rest.find('\0') != std::string::npos) {
        return false;
    }
    std::size_t begin = 0;
    while (begin <= rest.size()) {
        std::size_t end = rest.find('/', begin);
        if (end == std::string::npos) {
            end = rest.size();
        }
        if (rest.compare(begin, end - begin, "..") == 0) {
            return false;
        }
        begin = end + 1;
    }
    return true;
}

template <class Map>
const typename Map::mapped_type* FindForRequest(const Map& map, const httplib::Request& req) {
    auto it = map.find(req.target);
    if (it == map.end()) {
        it = map.find(req.path);
    }
    return it == map.end() ? nullptr : &it->second;
}

}  // namespace

std::size_t RecordedRequest::HeaderCount(const std::string& name) const {
    return static_cast<std::size_t>(std::count_if(headers.begin(), headers.end(),
                                                  [&](const auto& header) { return SameName(header.first, name); }));
}

std::string RecordedRequest::Header(const std::string& name) const {
    for (const auto& header : headers) {
        if (SameName(header.first, name)) {
            return header.second;
        }
    }
    return {};
}

class LoopbackServer::Impl {
public:
    explicit Impl(Connections connections) : m_stop(std::make_shared<StopSignal>()) {
        // The server owns the queue it is given.
        m_server.new_task_queue = [] { return new httplib::ThreadPool(kWorkerThreads); };
        // One answer per connection unless asked: an idle kept-alive
        // connection holds a worker, and stopping waits for it to time out.
        if (connections == Connections::OneAnswer) {
            m_server.set_keep_alive_max_count(1);
        } else {
            m_server.set_keep_alive_timeout(1);
        }
        // Every method is recorded; GET also answers HEAD.
        httplib::Server::Handler handler = [this](const httplib::Request& req, httplib::Response& res) {
            Answer(req, res);
        };
        m_server.Get(".*", handler).Post(".*", handler).Put(".*", handler).Patch(".*", handler);
        m_server.Delete(".*", handler).Options(".*", handler);
        m_port = m_server.bind_to_any_port("127.0.0.1");
        if (m_port <= 0) {
            throw std::runtime_error("loopback server: cannot bind 127.0.0.1");
        }
        m_thread = std::thread([this] {
            m_server.listen_after_bind();
            m_listenEnded = true;
        });
        // stop() only works on a running server; wait until it runs.
        while (!m_server.is_running() && !m_listenEnded) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }

    ~Impl() {
        m_stop->Stop();
        m_server.stop();
        m_thread.join();
    }

    int Port() const { return m_port; }

    void ServeFolder(const std::string& urlPrefix, const std::string& folder) {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_folders[urlPrefix] = folder;
    }
    void SetBody(const std::string& target, std::string body) {
        std::string etag = MemoryEtag(body);
        auto shared = BodySource::InMemory(std::make_shared<const std::string>(std::move(body)), std::move(etag));
        std::lock_guard<std::mutex> lock(m_mutex);
        m_bodies[target] = std::move(shared);
    }
    void SetFault(const std::string& target, Fault fault) {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_faults[target] = std::move(fault);
    }
    void ClearFaults() {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_faults.clear();
    }
    void SetRangeAnswer206(bool answer206) {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_answer206 = answer206;
    }
    void SetEtags(bool etags) {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_etags = etags;
    }
    std::uint64_t BodyBytesSent() const { return *m_sent; }
    std::vector<RecordedRequest> Requests() const {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_requests;
    }
    void ClearRequests() {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_requests.clear();
    }

private:
    void Record(const httplib::Request& req) {
        RecordedRequest recorded{req.method, req.target, req.version, {}, req.remote_port};
        for (const auto& header : req.headers) {
            if (!IsParserAddedHeader(header.first)) {
                recorded.headers.emplace_back(header.first, header.second);
            }
        }
        std::lock_guard<std::mutex> lock(m_mutex);
        m_requests.push_back(std::move(recorded));
    }

    // m_mutex held. The fault for this request, used up when it was for a
    // number of requests.
    Fault TakeFaultLocked(const httplib::Request& req) {
        auto found = m_faults.find(req.target);
        if (found == m_faults.end()) {
            found = m_faults.find(req.path);
        }
        if (found == m_faults.end()) {
            return Fault{};
        }
        Fault fault = found->second;
        if (found->second.times > 0 && --found->second.times == 0) {
            m_faults.erase(found);
        }
        return fault;
    }

    // m_mutex held.
    std::optional<BodySource> FindSourceLocked(const httplib::Request& req) const {
        if (auto body = FindForRequest(m_bodies, req)) {
            return *body;
        }
        const std::pair<const std::string, std::string>* best = nullptr;
        for (const auto& folder : m_folders) {
            if (req.path.compare(0, folder.first.size(), folder.first) == 0 &&
                (!best || folder.first.size() > best->first.size())) {
                best = &folder;
            }
        }
        std::string rest = best ? req.path.substr(best->first.size()) : std::string();
        if (!best || !IsContainedPath(rest)) {
            return std::nullopt;
        }
        return BodySource::OpenFile(best->second + "/" + rest);
    }

    void Answer(const httplib::Request& req, httplib::Response& res) {
        Record(req);
        // The parser would cut the body to the requested range once more after
        // this handler; ranges are answered (or ignored) here instead. The
        // request object itself is not const, only this view of it.
        const_cast<httplib::Request&>(req).ranges.clear();

        Fault fault;
        std::optional<BodySource> source;
        bool answer206 = false;
        bool etags = true;
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            fault = TakeFaultLocked(req);
            source = FindSourceLocked(req);
            answer206 = m_answer206;
            etags = m_etags;
        }
        if (fault.body) {
            std::string etag = MemoryEtag(*fault.body);
            source = BodySource::InMemory(std::make_shared<const std::string>(std::move(*fault.body)), std::move(etag));
        }

        if (fault.status != 0) {
            res.status = fault.status;
            if (!fault.location.empty()) {
                res.set_header("Location", fault.location);
            }
            if (fault.status == 416 && source) {
                res.set_header("Content-Range", "bytes */" + std::to_string(source->size));
            }
            res.set_content("status " + std::to_string(fault.status) + "\n", kContentType);
            return;
        }
        if (!source) {
            res.status = 404;
            res.set_content("not found\n", kContentType);
            return;
        }

        ByteRange window{0, source->size};
        res.status = 200;
        const bool chunked = fault.chunked || fault.endless || fault.extraBodyBytes > 0;
        if (etags) {
            res.set_header("ETag", source->etag);
        }
        // As nginx: a range only of the object the If-Range names.
        const bool sameObject =
            !req.has_header("If-Range") || (etags && req.get_header_value("If-Range") == source->etag);
        if (answer206 && !chunked && sameObject && req.get_header_value_count("Range") == 1) {
            switch (ParseRange(req.get_header_value("Range"), source->size, window)) {
                case RangeResult::None:
                    break;
                case RangeResult::Satisfiable:
                    res.status = 206;
                    res.set_header("Content-Range", "bytes " + std::to_string(window.first) + "-" +
                                                        std::to_string(window.first + window.count - 1) + "/" +
                                                        std::to_string(source->size));
                    break;
                case RangeResult::Unsatisfiable:
                    res.status = 416;
                    res.set_header("Content-Range", "bytes */" + std::to_string(source->size));
                    res.set_content("range not satisfiable\n", kContentType);
                    return;
            }
        }

        auto writer = std::make_shared<BodyWriter>();
        writer->source = std::move(*source);
        writer->start = window.first;
        writer->bodyBytes = fault.endless ? 0 : window.count;
        writer->sendLimit =
            fault.endless ? kEndless
                          : window.count + static_cast<std::uint64_t>(std::max<std::int64_t>(0, fault.extraBodyBytes));
        const std::uint64_t whole = writer->sendLimit;
        if (fault.closeAfterBytes >= 0) {
            writer->sendLimit =
                std::min<std::uint64_t>(writer->sendLimit, static_cast<std::uint64_t>(fault.closeAfterBytes));
        }
        if (fault.chunkBytes > 0) {
            writer->chunkBytes = fault.chunkBytes;
        }
        writer->delayMs = fault.slowBodyDelayMs;
        writer->stallAfter = fault.stallAfterBytes;
        writer->reset = fault.reset;
        writer->localPort = req.local_port;
        writer->peerPort = req.remote_port;
        writer->stop = m_stop;
        writer->sent = m_sent;

        if (chunked) {
            if (fault.extraBodyBytes > 0) {
                // Both headers: the coding carries the bytes, the length
                // names only the body.
                res.set_header("Content-Length", std::to_string(window.count));
            }
            // The last chunk marks the end; a cut body never sends it.
            bool cut = writer->sendLimit < whole;
            res.set_chunked_content_provider(kContentType, [writer, cut](std::size_t offset, httplib::DataSink& sink) {
                if (offset >= writer->sendLimit && !cut) {
                    sink.done();
                    return true;
                }
                return writer->SendChunk(offset, sink);
            });
            return;
        }
        std::uint64_t announced =
            window.count + static_cast<std::uint64_t>(std::max<std::int64_t>(0, fault.extraContentLength));
        if (announced == 0) {
            res.set_content("", kContentType);
            return;
        }
        res.set_content_provider(static_cast<std::size_t>(announced), ContentTypeOf(req.path),
                                 [writer](std::size_t offset, std::size_t, httplib::DataSink& sink) {
                                     return writer->SendChunk(offset, sink);
                                 });
    }

    httplib::Server m_server;
    std::shared_ptr<StopSignal> m_stop;
    int m_port = 0;
    std::thread m_thread;
    std::atomic<bool> m_listenEnded{false};

    mutable std::mutex m_mutex;
    std::shared_ptr<std::atomic<std::uint64_t>> m_sent = std::make_shared<std::atomic<std::uint64_t>>(0);
    std::map<std::string, BodySource> m_bodies;    // guarded by m_mutex
    bool m_etags = true;                           // guarded by m_mutex
    std::map<std::string, std::string> m_folders;  // guarded by m_mutex
    std::map<std::string, Fault> m_faults;         // guarded by m_mutex
    bool m_answer206 = true;                       // guarded by m_mutex
    std::vector<RecordedRequest> m_requests;       // guarded by m_mutex
};

LoopbackServer::LoopbackServer(Connections connections) : m_impl(std::make_unique<Impl>(connections)) {}
LoopbackServer::~LoopbackServer() = default;

int LoopbackServer::Port() const {
    return m_impl->Port();
}
std::string LoopbackServer::BaseUrl() const {
    return "http://127.0.0.1:" + std::to_string(Port());
}
void LoopbackServer::ServeFolder(const std::string& urlPrefix, const std::string& folder) {
    m_impl->ServeFolder(urlPrefix, folder);
}
void LoopbackServer::SetBody(const std::string& target, std::string body) {
    m_impl->SetBody(target, std::move(body));
}
void LoopbackServer::SetFault(const std::string& target, Fault fault) {
    m_impl->SetFault(target, std::move(fault));
}
void LoopbackServer::ClearFaults() {
    m_impl->ClearFaults();
}
void LoopbackServer::SetRangeAnswer206(bool answer206) {
    m_impl->SetRangeAnswer206(answer206);
}
void LoopbackServer::SetEtags(bool etags) {
    m_impl->SetEtags(etags);
}
std::uint64_t LoopbackServer::BodyBytesSent() const {
    return m_impl->BodyBytesSent();
}
std::vector<RecordedRequest> LoopbackServer::Requests() const {
    return m_impl->Requests();
}
void LoopbackServer::ClearRequests() {
    m_impl->ClearRequests();
}

SilentPort::SilentPort() : m_socket(static_cast<std::intptr_t>(::socket(AF_INET, SOCK_STREAM, 0))) {
    const auto sock = static_cast<socket_t>(m_socket);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    // Connections wait in the backlog, never accepted.
    if (sock == INVALID_SOCKET || ::bind(sock, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(sock, 64) != 0 || ::getsockname(sock, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        if (sock != INVALID_SOCKET) {
            httplib::detail::close_socket(sock);
        }
        throw std::runtime_error("silent port: cannot listen on 127.0.0.1");
    }
    m_port = ntohs(address.sin_port);
}

SilentPort::~SilentPort() {
    httplib::detail::close_socket(static_cast<socket_t>(m_socket));
}

// The socket calls come with cpp-httplib's header, from the system's socket
// library wherever it builds.
int LoopbackServer::RefusedPort() {
    BoundSocket bound;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (bound.Get() == INVALID_SOCKET ||
        ::bind(bound.Get(), reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::getsockname(bound.Get(), reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        throw std::runtime_error("loopback server: cannot find a free port");
    }
    return ntohs(address.sin_port);
}

}  // namespace testsupport
