// Internal to the stand-in: one HTTP exchange over libcurl, driven through a
// curl multi handle on the caller's thread. The caller pulls: the request
// runs up to the final response's headers, then the body is received only as
// far as reads ask for it. Every blocking step polls for a stop of the
// calling thread and for the handle being closed, at least every 50 ms.
#pragma once

#include "platform/win_types.h"

#include <curl/curl.h>
#include <atomic>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace platform {

// A test-only hook: a PEM file of certificate authorities trusted instead of
// the system's, so that a test can serve HTTPS with a certificate of its own.
inline constexpr const char* kTestCaBundleVariable = "QM_TEST_CA_BUNDLE";

struct TransferSettings {
    std::string url;     // scheme, host, port and the escaped object name
    std::string method;  // "GET", "HEAD" or another verb
    bool http10 = false;
    // "Name: value", "Name;" (empty value) or "Name:" (drop curl's own header)
    std::vector<std::string> headerLines;
    std::string userAgent;  // empty: none is sent
    bool followRedirects = true;
    bool verifyHostName = true;
    std::optional<std::string> proxy;  // none: the environment's; "": no proxy
    std::string noProxy;
    std::optional<std::string> proxyUserName;
    std::optional<std::string> proxyPassword;
};

struct CurlEasyDeleter {
    void operator()(CURL* easy) const { curl_easy_cleanup(easy); }
};
struct CurlMultiDeleter {
    void operator()(CURLM* multi) const { curl_multi_cleanup(multi); }
};
struct CurlListDeleter {
    void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};

// The idle curl multi handles of one connection handle. Each keeps the
// connections its last exchange left open (curl's connection cache lives in
// the multi handle), so that the next request of the connection handle goes
// out on one of them instead of a new one, as WinINet keeps connections
// alive. Each transfer has a multi handle to itself while it runs.
class CurlMultiPool {
public:
    // An idle multi handle, or a new one; null when none can be made.
    std::unique_ptr<CURLM, CurlMultiDeleter> Take();
    // Keeps the multi handle of a transfer that ended cleanly for the next.
    void Give(std::unique_ptr<CURLM, CurlMultiDeleter> multi);

private:
    std::mutex m_mutex;
    std::vector<std::unique_ptr<CURLM, CurlMultiDeleter>> m_idle;  // guarded by m_mutex
};

class CurlTransfer {
public:
    // Nothing goes out yet. `cancelled` must outlive the transfer, and
    // `pool`, when given, too: the transfer runs on a multi handle from it
    // and gives the handle back when its exchange ended cleanly.
    CurlTransfer(const TransferSettings& settings, const std::atomic<bool>& cancelled, CurlMultiPool* pool = nullptr);
    ~CurlTransfer();
    CurlTransfer(const CurlTransfer&) = delete;
    CurlTransfer& operator=(const CurlTransfer&) = delete;

    // Sends the request and waits for the final response's headers
    // (redirects followed and interim answers skipped). 0 or a Win32/WinINet
    // error. A stopped thread unwinds from here with ThreadStopRequested.
    DWORD ReceiveHeaders();
    bool HeadersReceived() const { return m_headersDone; }
    int Status() const { return m_status; }
    // The value of the index-th header of that name (case-insensitive) of
    // the final response.
    const std::string* Header(std::string_view name, std::size_t index) const;

    // Blocks until `size` bytes or the end of the body. 0 or an error; after
    // an error every further read fails the same way, so a body cut short
    // never looks like a complete one.
    DWORD Read(char* buffer, std::size_t size, std::size_t& received);

private:
    static std::size_t OnHeader(char* data, std::size_t size, std::size_t count, void* self);
    static std::size_t OnBody(char* data, std::size_t size, std::size_t count, void* self);
    void HeaderLine(std::string_view line);
    void BodyBytes(const char* data, std::size_t size);
    std::size_t TakePending(char* buffer, std::size_t size);
    template <class Done>
    DWORD Pump(Done done);
    void CollectResult();

    const std::atomic<bool>& m_cancelled;
    CurlMultiPool* const m_pool;
    std::unique_ptr<curl_slist, CurlListDeleter> m_headerList;
    std::unique_ptr<CURLM, CurlMultiDeleter> m_multi;
    std::unique_ptr<CURL, CurlEasyDeleter> m_easy;
    bool m_started = false;
    bool m_followRedirects = true;

    // The response being received; redirects and interim answers replace it.
    int m_status = 0;
    std::vector<std::pair<std::string, std::string>> m_headers;
    bool m_headersDone = false;

    bool m_finished = false;
    DWORD m_error = 0;

    // Body bytes go straight to the reader's buffer while a read waits; what
    // one delivery brings beyond it waits in m_pending. Without a read
    // waiting the transfer is paused.
    bool m_paused = false;
    char* m_destination = nullptr;
    std::size_t m_destinationRoom = 0;
    std::vector<char> m_pending;
    std::size_t m_pendingStart = 0;
};

}  // namespace platform
