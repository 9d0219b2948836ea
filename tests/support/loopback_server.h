// An HTTP/1.1 server on 127.0.0.1 for tests and benchmarks: serves in-memory
// bodies and folders, records every request, and injects faults (error
// statuses, redirects, chunked answers, bodies shorter or longer than
// announced, connections cut or reset mid-body, slow, stalled and endless
// bodies, other bytes than the target's), for good or for a number of
// requests. Ranges are answered with ETag and If-Range as nginx answers them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace testsupport {

struct RecordedRequest {
    std::string method;
    std::string target;   // path and query exactly as sent
    std::string version;  // "HTTP/1.1"
    // As received, with two limits of the parser underneath: lines are
    // grouped by name (case-insensitive order of names), keeping arrival
    // order and spelling within a name; lines with an empty value are lost.
    std::vector<std::pair<std::string, std::string>> headers;
    int clientPort = 0;  // the client's end of the connection it came on

    // Names compare without regard to case.
    std::size_t HeaderCount(const std::string& name) const;
    // The first value of that name, or "" when absent.
    std::string Header(const std::string& name) const;
};

struct Fault {
    int status = 0;                       // 0: normal answer; else answer with this status
    bool chunked = false;                 // chunked transfer coding, no Content-Length
    std::int64_t extraContentLength = 0;  // announce more than the body, then close
    std::int64_t closeAfterBytes = -1;    // drop the connection after N body bytes
    int slowBodyDelayMs = 0;              // delay between body chunks
    std::string location = {};            // with a 3xx status: the Location header
    std::size_t chunkBytes = 0;           // bytes per body chunk; 0: 64 KiB (a trickle: a few, and a delay)
    std::int64_t stallAfterBytes = -1;    // after N body bytes send nothing, until the client leaves
    bool reset = false;                   // drop the connection with a reset (TCP RST), not a clean close
    // Send this many filler bytes after the body, in chunked coding, while a
    // Content-Length names the body's own length.
    std::int64_t extraBodyBytes = 0;
    bool endless = false;                  // chunked filler bytes without end instead of the body
    std::optional<std::string> body = {};  // answer with these bytes instead of the target's
    int times = -1;                        // for the next N requests only; -1: until cleared
};

class LoopbackServer {
public:
    enum class Connections {
        OneAnswer,  // every connection is closed after one answer
        KeptAlive,  // connections stay open for more, as a CDN keeps them
    };

    // Listens on 127.0.0.1 at a port chosen by the system, serving in a
    // background thread. Kept-alive connections idle for a second are
    // closed, so that stopping never waits longer for them.
    explicit LoopbackServer(Connections connections = Connections::OneAnswer);
    // Stops serving (slow bodies are abandoned) and joins.
    ~LoopbackServer();
    LoopbackServer(const LoopbackServer&) = delete;
    LoopbackServer& operator=(const LoopbackServer&) = delete;

    int Port() const;
    std::string BaseUrl() const;  // "http://127.0.0.1:PORT"

    // Static files: a request for urlPrefix + rest gets folder + "/" + rest.
    // Paths that climb out of the folder are not found.
    void ServeFolder(const std::string& urlPrefix, const std::string& folder);
    // An in-memory body for an exact target. A target without a query
    // answers every query of that path; a target with one only that query.
    // The body is shared by the answers, never copied per request.
    void SetBody(const std::string& target, std::string body);
    // Applies to that target (matched like SetBody) until cleared.
    void SetFault(const std::string& target, Fault fault);
    void ClearFaults();
    // A single "Range: bytes=..." gets 206 with Content-Range when true (the
    // default), the whole body with 200 otherwise.
    void SetRangeAnswer206(bool answer206);
    // Every body is answered with an ETag, as nginx does (true, the
    // default): a file's names its modification time and size, an
    // in-memory body's its bytes. An "If-Range" that names another ETag
    // (or anything else) gets the whole body with 200, never a range.
    void SetEtags(bool etags);

    // The body bytes sent so far, over every answer: filler included, the
    // headers and the short texts of error statuses not.
    std::uint64_t BodyBytesSent() const;

    // Every request routed so far, in arrival order; a request is recorded
    // before its answer is sent.
    std::vector<RecordedRequest> Requests() const;
    void ClearRequests();

    // A loopback port with nothing listening on it.
    static int RefusedPort();

private:
    class Impl;
    std::unique_ptr<Impl> m_impl;
};

// A port on 127.0.0.1 that takes connections and never answers them: a
// server stalled before its headers. It stops listening when it goes.
class SilentPort {
public:
    SilentPort();
    ~SilentPort();
    SilentPort(const SilentPort&) = delete;
    SilentPort& operator=(const SilentPort&) = delete;

    int Port() const { return m_port; }

private:
    std::intptr_t m_socket;
    int m_port = 0;
};

}  // namespace testsupport
