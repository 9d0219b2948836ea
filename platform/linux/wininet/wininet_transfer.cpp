#include "platform/linux/wininet/wininet_transfer.h"

#include "platform/thread_stop.h"
#include "platform/wininet.h"

#include <strings.h>
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>

namespace platform {

namespace {

constexpr int kPollMilliseconds = 50;
constexpr long kConnectTimeoutMs = 60000;
// A response that sends nothing for this long has timed out.
constexpr long kStallSeconds = 30;
constexpr long kMaxRedirects = 20;
constexpr long kReceiveBufferBytes = 128 * 1024;
// Idle multi handles a connection handle keeps: as many as requests of it
// ran at once, within reason.
constexpr std::size_t kIdleMultiHandles = 8;

void EnsureCurlInitialized() {
    // Once per process and never undone: transfers may still end while
    // statics are destroyed.
    static const CURLcode init = curl_global_init(CURL_GLOBAL_DEFAULT);
    (void)init;
}

// OpenSSL's certificate verification results (X509_V_*), which curl's
// OpenSSL backend reports; their values are part of OpenSSL's interface.
enum VerifyResult : long {
    kVerifyOk = 0,
    kUnableToGetIssuerCert = 2,
    kCertNotYetValid = 9,
    kCertHasExpired = 10,
    kDepthZeroSelfSignedCert = 18,
    kSelfSignedCertInChain = 19,
    kUnableToGetIssuerCertLocally = 20,
    kUnableToVerifyLeafSignature = 21,
    kCertRevoked = 23,
    kHostnameMismatch = 62,
};

// The certificate failure WinINet would report, from OpenSSL's verdict.
DWORD CertificateError(long verifyResult) {
    switch (verifyResult) {
        case kVerifyOk:  // the chain was fine; curl's own host name check failed
        case kHostnameMismatch:
            return ERROR_INTERNET_SEC_CERT_CN_INVALID;
        case kCertHasExpired:
        case kCertNotYetValid:
            return ERROR_INTERNET_SEC_CERT_DATE_INVALID;
        case kDepthZeroSelfSignedCert:
        case kSelfSignedCertInChain:
        case kUnableToGetIssuerCert:
        case kUnableToGetIssuerCertLocally:
        case kUnableToVerifyLeafSignature:
            return ERROR_INTERNET_INVALID_CA;
        case kCertRevoked:
            return ERROR_INTERNET_SEC_CERT_REV_FAILED;
        default:
            return ERROR_INTERNET_SEC_CERT_ERRORS;
    }
}

DWORD InternetErrorFromCurl(CURLcode code, CURL* easy) {
    switch (code) {
        case CURLE_UNSUPPORTED_PROTOCOL:
            return ERROR_INTERNET_UNRECOGNIZED_SCHEME;
        case CURLE_URL_MALFORMAT:
            return ERROR_INTERNET_INVALID_URL;
        case CURLE_COULDNT_RESOLVE_PROXY:
        case CURLE_COULDNT_RESOLVE_HOST:
            return ERROR_INTERNET_NAME_NOT_RESOLVED;
        case CURLE_COULDNT_CONNECT:
            return ERROR_INTERNET_CANNOT_CONNECT;
        case CURLE_OPERATION_TIMEDOUT:
            return ERROR_INTERNET_TIMEOUT;
        case CURLE_PARTIAL_FILE:
        case CURLE_GOT_NOTHING:
        case CURLE_SEND_ERROR:
        case CURLE_RECV_ERROR:
            return ERROR_INTERNET_CONNECTION_RESET;
        case CURLE_WEIRD_SERVER_REPLY:
            return ERROR_HTTP_INVALID_SERVER_RESPONSE;
        case CURLE_TOO_MANY_REDIRECTS:
            return ERROR_HTTP_REDIRECT_FAILED;
        case CURLE_SSL_CONNECT_ERROR:
            return ERROR_INTERNET_SECURITY_CHANNEL_ERROR;
        case CURLE_PEER_FAILED_VERIFICATION: {
            long verifyResult = kVerifyOk;
            curl_easy_getinfo(easy, CURLINFO_SSL_VERIFYRESULT, &verifyResult);
            return CertificateError(verifyResult);
        }
        case CURLE_SSL_CACERT_BADFILE:
        case CURLE_SSL_CERTPROBLEM:
        case CURLE_SSL_ISSUER_ERROR:
            return ERROR_INTERNET_SEC_CERT_ERRORS;
        case CURLE_OUT_OF_MEMORY:
            return ERROR_NOT_ENOUGH_MEMORY;
        case CURLE_ABORTED_BY_CALLBACK:
            return ERROR_INTERNET_OPERATION_CANCELLED;
        default:
            return ERROR_INTERNET_INTERNAL_ERROR;
    }
}

std::string_view TrimLine(std::string_view text) {
    auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (!text.empty() && blank(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && blank(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

}  // namespace

std::unique_ptr<CURLM, CurlMultiDeleter> CurlMultiPool::Take() {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (!m_idle.empty()) {
            std::unique_ptr<CURLM, CurlMultiDeleter> multi = std::move(m_idle.back());
            m_idle.pop_back();
            return multi;
        }
    }
    return std::unique_ptr<CURLM, CurlMultiDeleter>(curl_multi_init());
}

void CurlMultiPool::Give(std::unique_ptr<CURLM, CurlMultiDeleter> multi) {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_idle.size() < kIdleMultiHandles) {
        m_idle.push_back(std::move(multi));
    }
}

CurlTransfer::CurlTransfer(const TransferSettings& settings, const std::atomic<bool>& cancelled, CurlMultiPool* pool)
    : m_cancelled(cancelled), m_pool(pool), m_followRedirects(settings.followRedirects) {
    EnsureCurlInitialized();
    for (const auto& line : settings.headerLines) {
        curl_slist* list = curl_slist_append(m_headerList.get(), line.c_str());
        if (!list) {
            throw std::bad_alloc();
        }
        m_headerList.release();
        m_headerList.reset(list);
    }
    m_multi = m_pool ? m_pool->Take() : std::unique_ptr<CURLM, CurlMultiDeleter>(curl_multi_init());
    m_easy.reset(curl_easy_init());
    if (!m_multi || !m_easy) {
        throw std::bad_alloc();
    }
    CURL* easy = m_easy.get();
    CURLcode rc = CURLE_OK;
    auto set = [&](CURLoption option, auto value) {
        if (rc == CURLE_OK) {
            rc = curl_easy_setopt(easy, option, value);
        }
    };
    set(CURLOPT_URL, settings.url.c_str());
    // The object name goes out as the caller wrote it: no "/../" folding.
    set(CURLOPT_PATH_AS_IS, 1L);
    set(CURLOPT_PROTOCOLS_STR, "http,https");
    set(CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    set(CURLOPT_NOSIGNAL, 1L);
    set(CURLOPT_HTTP_VERSION, settings.http10 ? long{CURL_HTTP_VERSION_1_0} : long{CURL_HTTP_VERSION_1_1});
    set(CURLOPT_HTTPHEADER, m_headerList.get());
    if (!settings.userAgent.empty()) {
        set(CURLOPT_USERAGENT, settings.userAgent.c_str());
    }
    if (settings.method == "HEAD") {
        set(CURLOPT_NOBODY, 1L);
    } else if (settings.method != "GET") {
        set(CURLOPT_CUSTOMREQUEST, settings.method.c_str());
    }
    set(CURLOPT_FOLLOWLOCATION, settings.followRedirects ? 1L : 0L);
    set(CURLOPT_MAXREDIRS, kMaxRedirects);
    // The body is handed on exactly as the server sent it.
    set(CURLOPT_HTTP_CONTENT_DECODING, 0L);
    set(CURLOPT_SUPPRESS_CONNECT_HEADERS, 1L);
    set(CURLOPT_SSL_VERIFYPEER, 1L);
    set(CURLOPT_SSL_VERIFYHOST, settings.verifyHostName ? 2L : 0L);
    // Tests only: a test's own certificate authority in place of the
    // system's bundle, which libcurl is built with and which no environment
    // variable of OpenSSL's replaces. Windows trusts its certificate store.
    if (const char* testAuthorities = std::getenv(kTestCaBundleVariable); testAuthorities && *testAuthorities) {
        set(CURLOPT_CAINFO, testAuthorities);
    }
    set(CURLOPT_CONNECTTIMEOUT_MS, kConnectTimeoutMs);
    set(CURLOPT_LOW_SPEED_LIMIT, 1L);
    set(CURLOPT_LOW_SPEED_TIME, kStallSeconds);
    set(CURLOPT_BUFFERSIZE, kReceiveBufferBytes);
    if (settings.proxy) {
        set(CURLOPT_PROXY, settings.proxy->c_str());
    }
    if (!settings.noProxy.empty()) {
        set(CURLOPT_NOPROXY, settings.noProxy.c_str());
    }
    if (settings.proxyUserName) {
        set(CURLOPT_PROXYUSERNAME, settings.proxyUserName->c_str());
    }
    if (settings.proxyPassword) {
        set(CURLOPT_PROXYPASSWORD, settings.proxyPassword->c_str());
    }
    set(CURLOPT_HEADERFUNCTION, &CurlTransfer::OnHeader);
    set(CURLOPT_HEADERDATA, static_cast<void*>(this));
    set(CURLOPT_WRITEFUNCTION, &CurlTransfer::OnBody);
    set(CURLOPT_WRITEDATA, static_cast<void*>(this));
    if (rc != CURLE_OK) {
        m_error = InternetErrorFromCurl(rc, easy);
    }
}

CurlTransfer::~CurlTransfer() {
    if (m_started) {
        curl_multi_remove_handle(m_multi.get(), m_easy.get());
    }
    // Only a whole exchange leaves its connection fit for the next request:
    // curl closes one whose transfer was cut off or failed half-way.
    if (m_pool && m_started && m_finished && !m_error) {
        m_pool->Give(std::move(m_multi));
    }
}

DWORD CurlTransfer::ReceiveHeaders() {
    if (!m_started && !m_error) {
        if (curl_multi_add_handle(m_multi.get(), m_easy.get()) != CURLM_OK) {
            m_error = ERROR_INTERNET_INTERNAL_ERROR;
        } else {
            m_started = true;
        }
    }
    return Pump([this] { return m_headersDone; });
}

const std::string* CurlTransfer::Header(std::string_view name, std::size_t index) const {
    for (const auto& header : m_headers) {
        if (header.first.size() == name.size() && ::strncasecmp(header.first.data(), name.data(), name.size()) == 0 &&
            index-- == 0) {
            return &header.second;
        }
    }
    return nullptr;
}

DWORD CurlTransfer::Read(char* buffer, std::size_t size, std::size_t& received) {
    received = 0;
    if (m_error) {
        return m_error;
    }
    std::size_t copied = TakePending(buffer, size);
    if (copied < size && !m_finished) {
        // Clears the destination on every way out, so no later callback
        // writes into a buffer the reader has given up.
        struct DestinationScope {
            CurlTransfer& transfer;
            ~DestinationScope() {
                transfer.m_destination = nullptr;
                transfer.m_destinationRoom = 0;
            }
        } scope{*this};
        m_destination = buffer + copied;
        m_destinationRoom = size - copied;
        if (m_paused) {
            m_paused = false;
            // Delivers what curl holds, into the destination, before it returns.
            if (curl_easy_pause(m_easy.get(), CURLPAUSE_CONT) != CURLE_OK) {
                m_error = ERROR_INTERNET_INTERNAL_ERROR;
                return m_error;
            }
        }
        if (DWORD error = Pump([this] { return m_destinationRoom == 0; })) {
            return error;
        }
        copied = size - m_destinationRoom;
    }
    received = copied;
    return ERROR_SUCCESS;
}

std::size_t CurlTransfer::TakePending(char* buffer, std::size_t size) {
    platform::VisibleStep step;
    if (!step.Allowed()) {
        return 0;  // as in BodyBytes: a stopped reader's buffer is not touched
    }
    std::size_t count = std::min(size, m_pending.size() - m_pendingStart);
    if (count != 0) {
        std::memcpy(buffer, m_pending.data() + m_pendingStart, count);
        m_pendingStart += count;
    }
    if (m_pendingStart == m_pending.size()) {
        m_pending.clear();
        m_pendingStart = 0;
    }
    return count;
}

// Drives curl until `done()` holds, the transfer ends or fails, the handle is
// closed, or the thread is stopped.
template <class Done>
DWORD CurlTransfer::Pump(Done done) {
    for (;;) {
        if (m_error) {
            return m_error;
        }
        if (m_cancelled.load(std::memory_order_acquire)) {
            m_error = ERROR_INTERNET_OPERATION_CANCELLED;
            return m_error;
        }
        if (StopRequested()) {
            // The exchange is abandoned half-way; nothing of it may be used.
            m_error = ERROR_INTERNET_OPERATION_CANCELLED;
            StopPoint();
            return m_error;
        }
        int running = 0;
        if (curl_multi_perform(m_multi.get(), &running) != CURLM_OK) {
            m_error = ERROR_INTERNET_INTERNAL_ERROR;
            return m_error;
        }
        CollectResult();
        // What was asked for arrived; a failure right behind it is reported
        // by the next call.
        if (done()) {
            return ERROR_SUCCESS;
        }
        if (m_error) {
            return m_error;
        }
        if (m_finished) {
            return ERROR_SUCCESS;
        }
        if (curl_multi_poll(m_multi.get(), nullptr, 0, kPollMilliseconds, nullptr) != CURLM_OK) {
            m_error = ERROR_INTERNET_INTERNAL_ERROR;
            return m_error;
        }
    }
}

void CurlTransfer::CollectResult() {
    int queued = 0;
    while (CURLMsg* message = curl_multi_info_read(m_multi.get(), &queued)) {
        if (message->msg != CURLMSG_DONE) {
            continue;
        }
        m_finished = true;
        if (message->data.result != CURLE_OK && !m_error) {
            m_error = InternetErrorFromCurl(message->data.result, m_easy.get());
        }
        // A complete exchange has its final headers, whatever they were.
        if (message->data.result == CURLE_OK) {
            m_headersDone = true;
        }
    }
}

std::size_t CurlTransfer::OnHeader(char* data, std::size_t size, std::size_t count, void* self) {
    auto* transfer = static_cast<CurlTransfer*>(self);
    try {
        transfer->HeaderLine(std::string_view(data, size * count));
    } catch (const std::bad_alloc&) {
        transfer->m_error = ERROR_NOT_ENOUGH_MEMORY;
        return 0;  // ends the transfer
    }
    return size * count;
}

std::size_t CurlTransfer::OnBody(char* data, std::size_t size, std::size_t count, void* self) {
    auto* transfer = static_cast<CurlTransfer*>(self);
    // With no read waiting, the body stays with the server (as it does for
    // WinINet) until one is: unread bytes are never gathered here, whatever
    // length the answer announces.
    if (transfer->m_headersDone && transfer->m_destinationRoom == 0 && size * count != 0) {
        transfer->m_paused = true;
        return CURL_WRITEFUNC_PAUSE;
    }
    try {
        transfer->BodyBytes(data, size * count);
    } catch (const std::bad_alloc&) {
        transfer->m_error = ERROR_NOT_ENOUGH_MEMORY;
        return 0;  // ends the transfer
    }
    return size * count;
}

void CurlTransfer::HeaderLine(std::string_view line) {
    if (m_headersDone) {
        return;  // trailers of a chunked body
    }
    if (line.substr(0, 5) == "HTTP/") {
        // A new response: an interim answer or a redirect came before.
        m_headers.clear();
        m_status = 0;
        std::size_t space = line.find(' ');
        if (space != std::string_view::npos) {
            for (char c : line.substr(space + 1, 3)) {
                if (c < '0' || c > '9') {
                    break;
                }
                m_status = m_status * 10 + (c - '0');
            }
        }
        return;
    }
    std::string_view trimmed = TrimLine(line);
    if (trimmed.empty()) {
        // The end of one response's headers. Interim answers and redirects
        // that curl follows (any 3xx with a Location) are not the final one.
        bool interim = m_status >= 100 && m_status < 200;
        bool followed = m_followRedirects && m_status >= 300 && m_status < 400 && Header("Location", 0);
        m_headersDone = !interim && !followed;
        return;
    }
    if ((line.front() == ' ' || line.front() == '\t') && !m_headers.empty()) {
        // A folded continuation of the previous header.
        m_headers.back().second.append(" ").append(trimmed);
        return;
    }
    std::size_t colon = trimmed.find(':');
    if (colon == std::string_view::npos) {
        return;
    }
    m_headers.emplace_back(std::string(TrimLine(trimmed.substr(0, colon))),
                           std::string(TrimLine(trimmed.substr(colon + 1))));
}

void CurlTransfer::BodyBytes(const char* data, std::size_t size) {
    if (!m_headersDone) {
        return;  // the body of a redirect or an interim answer
    }
    // A stopped reader's buffer may already be lent to another thread's
    // transfer: nothing more is copied into it.
    platform::VisibleStep step;
    std::size_t direct = step.Allowed() ? std::min(size, m_destinationRoom) : 0;
    if (direct != 0) {
        std::memcpy(m_destination, data, direct);
        m_destination += direct;
        m_destinationRoom -= direct;
    }
    if (direct < size) {
        if (m_pendingStart != 0) {
            m_pending.erase(m_pending.begin(), m_pending.begin() + static_cast<std::ptrdiff_t>(m_pendingStart));
            m_pendingStart = 0;
        }
        m_pending.insert(m_pending.end(), data + direct, data + size);
    }
}

}  // namespace platform
