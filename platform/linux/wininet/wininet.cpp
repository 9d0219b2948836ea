// WinINet over libcurl: synchronous sessions, connections and requests.
#include "platform/wininet.h"

#include "platform/base/stop_state.h"
#include "platform/kernel32.h"
#include "platform/linux/wininet/wininet_handles.h"
#include "platform/linux/wininet/wininet_settings.h"
#include "platform/text.h"
#include "platform/thread_stop.h"

#include <cstring>
#include <cwchar>
#include <new>

namespace {

using platform::InternetConnection;
using platform::InternetRequest;
using platform::InternetSession;

// The stand-in reports failures as WinINet does, through the return value and
// GetLastError; only a thread stop unwinds out of it.
template <class Result, class Body>
Result ReportingNoMemory(Result failure, Body body) {
    try {
        return body();
    } catch (const std::bad_alloc&) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return failure;
    }
}

BOOL Fail(DWORD error) {
    SetLastError(error);
    return FALSE;
}

std::string Utf8OrEmpty(LPCWSTR text) {
    return text ? platform::ToUtf8(text) : std::string();
}

// A header block of the given length in characters; -1 (and 0) mean
// zero-terminated.
template <class Char>
std::basic_string_view<Char> HeaderBlock(const Char* text, DWORD length) {
    if (length == 0 || length == static_cast<DWORD>(-1)) {
        return std::basic_string_view<Char>(text);
    }
    return std::basic_string_view<Char>(text, length);
}

// A request whose final response headers arrived; otherwise null with the
// error set.
std::shared_ptr<InternetRequest> AnsweredRequest(HINTERNET hRequest, std::unique_lock<std::mutex>& lock) {
    auto request = platform::LookupInternetHandleOf<InternetRequest>(hRequest);
    if (!request) {
        return nullptr;
    }
    lock = std::unique_lock<std::mutex>(request->callMutex);
    if (!request->transfer || !request->transfer->HeadersReceived()) {
        // Unlocked here: the request, and its mutex, may go with this pointer.
        lock = std::unique_lock<std::mutex>();
        SetLastError(ERROR_INTERNET_INCORRECT_HANDLE_STATE);
        return nullptr;
    }
    return request;
}

// The index-th value of a header of the final answer, as received.
bool HeaderText(const platform::CurlTransfer& transfer, std::string_view name, DWORD index, std::string& text) {
    if (const std::string* value = transfer.Header(name, index)) {
        text = *value;
        return true;
    }
    SetLastError(ERROR_HTTP_HEADER_NOT_FOUND);
    return false;
}

// The text of one query: the status code or the index-th header.
bool QueryText(const platform::CurlTransfer& transfer, DWORD level, DWORD index, std::string& text) {
    switch (level) {
        case HTTP_QUERY_STATUS_CODE:
            text = std::to_string(transfer.Status());
            return true;
        case HTTP_QUERY_CONTENT_LENGTH:
            return HeaderText(transfer, "Content-Length", index, text);
        case HTTP_QUERY_CONTENT_RANGE:
            return HeaderText(transfer, "Content-Range", index, text);
        case HTTP_QUERY_ETAG:
            return HeaderText(transfer, "ETag", index, text);
        case HTTP_QUERY_LAST_MODIFIED:
            return HeaderText(transfer, "Last-Modified", index, text);
        default:
            SetLastError(ERROR_HTTP_INVALID_QUERY_REQUEST);
            return false;
    }
}

BOOL WriteNumber(const std::string& text, LPVOID lpBuffer, LPDWORD lpdwBufferLength) {
    if (!lpBuffer || *lpdwBufferLength < sizeof(DWORD)) {
        *lpdwBufferLength = sizeof(DWORD);
        return Fail(ERROR_INSUFFICIENT_BUFFER);
    }
    // Decimal digits that fit 32 bits; anything else is not a number to
    // report, rather than a truncated one.
    if (text.empty() || text.size() > 10 || text.find_first_not_of("0123456789") != std::string::npos ||
        std::stoull(text) > 0xFFFFFFFFull) {
        return Fail(ERROR_HTTP_INVALID_HEADER);
    }
    auto number = static_cast<DWORD>(std::stoull(text));
    std::memcpy(lpBuffer, &number, sizeof number);
    *lpdwBufferLength = sizeof number;
    return TRUE;
}

BOOL WriteText(const std::string& text, LPVOID lpBuffer, LPDWORD lpdwBufferLength) {
    std::wstring wide = platform::FromUtf8(text);
    DWORD needed = static_cast<DWORD>((wide.size() + 1) * sizeof(wchar_t));
    if (!lpBuffer || *lpdwBufferLength < needed) {
        *lpdwBufferLength = needed;
        return Fail(ERROR_INSUFFICIENT_BUFFER);
    }
    std::memcpy(lpBuffer, wide.c_str(), needed);
    *lpdwBufferLength = needed - sizeof(wchar_t);
    return TRUE;
}

// Network calls are stop points: a stopped thread unwinds, or (inside a
// destructor, where it cannot) the call fails without touching the network.
bool StoppedBeforeNetwork() {
    return platform::SkipStoppedStep(ERROR_INTERNET_OPERATION_CANCELLED);
}

}  // namespace

HINTERNET InternetOpenW(LPCWSTR lpszAgent, DWORD dwAccessType, LPCWSTR lpszProxy, LPCWSTR lpszProxyBypass,
                        DWORD dwFlags) {
    return ReportingNoMemory<HINTERNET>(nullptr, [&]() -> HINTERNET {
        bool knownAccess = dwAccessType == INTERNET_OPEN_TYPE_PRECONFIG || dwAccessType == INTERNET_OPEN_TYPE_DIRECT ||
                           dwAccessType == INTERNET_OPEN_TYPE_PROXY;
        // Only synchronous handles exist here.
        if (!knownAccess || (dwFlags & INTERNET_FLAG_ASYNC)) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return nullptr;
        }
        auto session = std::make_shared<InternetSession>();
        session->agent = Utf8OrEmpty(lpszAgent);
        session->accessType = dwAccessType;
        if (dwAccessType == INTERNET_OPEN_TYPE_PROXY) {
            session->proxy = Utf8OrEmpty(lpszProxy);
            session->proxyBypass = Utf8OrEmpty(lpszProxyBypass);
        }
        return platform::InsertInternetHandle(std::move(session));
    });
}

HINTERNET InternetConnectW(HINTERNET hInternet, LPCWSTR lpszServerName, INTERNET_PORT nServerPort, LPCWSTR lpszUserName,
                           LPCWSTR lpszPassword, DWORD dwService, DWORD, DWORD_PTR) {
    return ReportingNoMemory<HINTERNET>(nullptr, [&]() -> HINTERNET {
        auto session = platform::LookupInternetHandleOf<InternetSession>(hInternet);
        if (!session) {
            return nullptr;
        }
        // Server accounts (sent on a challenge by WinINet) are not supported.
        bool account = (lpszUserName && *lpszUserName) || (lpszPassword && *lpszPassword);
        if (dwService != INTERNET_SERVICE_HTTP || account) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return nullptr;
        }
        std::string host = Utf8OrEmpty(lpszServerName);
        if (!platform::IsValidHost(host)) {
            SetLastError(ERROR_INTERNET_INVALID_URL);
            return nullptr;
        }
        auto connection = std::make_shared<InternetConnection>(std::move(session));
        connection->host = std::move(host);
        connection->port = nServerPort;
        return platform::InsertInternetHandle(std::move(connection));
    });
}

HINTERNET HttpOpenRequestA(HINTERNET hConnect, LPCSTR lpszVerb, LPCSTR lpszObjectName, LPCSTR lpszVersion,
                           LPCSTR lpszReferrer, LPCSTR* lplpszAcceptTypes, DWORD dwFlags, DWORD_PTR) {
    return ReportingNoMemory<HINTERNET>(nullptr, [&]() -> HINTERNET {
        auto connection = platform::LookupInternetHandleOf<InternetConnection>(hConnect);
        if (!connection) {
            return nullptr;
        }
        std::string version = lpszVersion && *lpszVersion ? lpszVersion : "HTTP/1.1";
        if (version != "HTTP/1.1" && version != "HTTP/1.0") {
            SetLastError(ERROR_INVALID_PARAMETER);
            return nullptr;
        }
        auto request = std::make_shared<InternetRequest>(std::move(connection));
        request->verb = lpszVerb && *lpszVerb ? lpszVerb : "GET";
        request->objectName = lpszObjectName && *lpszObjectName ? lpszObjectName : "/";
        request->http10 = version == "HTTP/1.0";
        request->flags = dwFlags;
        std::string accept;
        for (LPCSTR* type = lplpszAcceptTypes; type && *type; ++type) {
            accept += (accept.empty() ? "" : ", ") + std::string(*type);
        }
        if (!accept.empty() && request->headers.Add("Accept: " + accept, HTTP_ADDREQ_FLAG_ADD) != ERROR_SUCCESS) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return nullptr;
        }
        if (lpszReferrer && *lpszReferrer &&
            request->headers.Add(std::string("Referer: ") + lpszReferrer, HTTP_ADDREQ_FLAG_ADD) != ERROR_SUCCESS) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return nullptr;
        }
        return platform::InsertInternetHandle(std::move(request));
    });
}

BOOL HttpAddRequestHeadersA(HINTERNET hRequest, LPCSTR lpszHeaders, DWORD dwHeadersLength, DWORD dwModifiers) {
    return ReportingNoMemory<BOOL>(FALSE, [&]() -> BOOL {
        auto request = platform::LookupInternetHandleOf<InternetRequest>(hRequest);
        if (!request) {
            return FALSE;
        }
        if (!lpszHeaders) {
            return Fail(ERROR_INVALID_PARAMETER);
        }
        std::lock_guard<std::mutex> lock(request->callMutex);
        DWORD error = request->headers.Add(HeaderBlock(lpszHeaders, dwHeadersLength), dwModifiers);
        return error ? Fail(error) : TRUE;
    });
}

BOOL HttpSendRequestW(HINTERNET hRequest, LPCWSTR lpszHeaders, DWORD dwHeadersLength, LPVOID lpOptional,
                      DWORD dwOptionalLength) {
    if (StoppedBeforeNetwork()) {
        return FALSE;
    }
    return ReportingNoMemory<BOOL>(FALSE, [&]() -> BOOL {
        auto request = platform::LookupInternetHandleOf<InternetRequest>(hRequest);
        if (!request) {
            return FALSE;
        }
        // Request bodies are not supported: nothing here sends one.
        if (lpOptional && dwOptionalLength) {
            return Fail(ERROR_INVALID_PARAMETER);
        }
        std::lock_guard<std::mutex> lock(request->callMutex);
        if (lpszHeaders) {
            std::string extra = platform::ToUtf8(HeaderBlock(lpszHeaders, dwHeadersLength));
            if (DWORD error = request->headers.Add(extra, HTTP_ADDREQ_FLAG_ADD)) {
                return Fail(error);
            }
        }
        // Sending again starts a new exchange.
        request->transfer.reset();
        request->transfer = std::make_unique<platform::CurlTransfer>(
            platform::BuildTransferSettings(*request), request->ClosedFlag(), &request->connection->multis);
        DWORD error = request->transfer->ReceiveHeaders();
        return error ? Fail(error) : TRUE;
    });
}

BOOL HttpQueryInfoW(HINTERNET hRequest, DWORD dwInfoLevel, LPVOID lpBuffer, LPDWORD lpdwBufferLength,
                    LPDWORD lpdwIndex) {
    return ReportingNoMemory<BOOL>(FALSE, [&]() -> BOOL {
        // Declared first, so the lock is released before a handle closed
        // meanwhile by another thread lets the request, and its mutex, go.
        std::shared_ptr<InternetRequest> request;
        std::unique_lock<std::mutex> lock;
        request = AnsweredRequest(hRequest, lock);
        if (!request) {
            return FALSE;
        }
        if (!lpdwBufferLength) {
            return Fail(ERROR_INVALID_PARAMETER);
        }
        DWORD modifiers = dwInfoLevel & 0xFFFF0000u;
        if (modifiers != 0 && modifiers != HTTP_QUERY_FLAG_NUMBER) {
            return Fail(ERROR_HTTP_INVALID_QUERY_REQUEST);
        }
        std::string text;
        if (!QueryText(*request->transfer, dwInfoLevel & 0xFFFFu, lpdwIndex ? *lpdwIndex : 0, text)) {
            return FALSE;
        }
        BOOL written = modifiers == HTTP_QUERY_FLAG_NUMBER ? WriteNumber(text, lpBuffer, lpdwBufferLength)
                                                           : WriteText(text, lpBuffer, lpdwBufferLength);
        // The index moves on to the next header of that name.
        if (written && lpdwIndex) {
            ++*lpdwIndex;
        }
        return written;
    });
}

BOOL InternetReadFile(HINTERNET hFile, LPVOID lpBuffer, DWORD dwNumberOfBytesToRead, LPDWORD lpdwNumberOfBytesRead) {
    if (StoppedBeforeNetwork()) {
        return FALSE;
    }
    return ReportingNoMemory<BOOL>(FALSE, [&]() -> BOOL {
        if (!lpdwNumberOfBytesRead || (!lpBuffer && dwNumberOfBytesToRead)) {
            return Fail(ERROR_INVALID_PARAMETER);
        }
        *lpdwNumberOfBytesRead = 0;
        // Declared first, so the lock is released before a handle closed
        // meanwhile by another thread lets the request, and its mutex, go.
        std::shared_ptr<InternetRequest> request;
        std::unique_lock<std::mutex> lock;
        request = AnsweredRequest(hFile, lock);
        if (!request) {
            return FALSE;
        }
        std::size_t received = 0;
        DWORD error = request->transfer->Read(static_cast<char*>(lpBuffer), dwNumberOfBytesToRead, received);
        if (error) {
            return Fail(error);
        }
        *lpdwNumberOfBytesRead = static_cast<DWORD>(received);
        return TRUE;
    });
}

BOOL InternetCloseHandle(HINTERNET hInternet) {
    return platform::CloseInternetHandle(hInternet) ? TRUE : FALSE;
}

BOOL InternetSetOptionW(HINTERNET hInternet, DWORD dwOption, LPVOID lpBuffer, DWORD dwBufferLength) {
    return ReportingNoMemory<BOOL>(FALSE, [&]() -> BOOL {
        if (dwOption != INTERNET_OPTION_PROXY_USERNAME && dwOption != INTERNET_OPTION_PROXY_PASSWORD) {
            return Fail(ERROR_INTERNET_INVALID_OPTION);
        }
        auto handle = platform::LookupInternetHandle(hInternet);
        if (!handle) {
            return FALSE;
        }
        if (!lpBuffer) {
            return Fail(ERROR_INVALID_PARAMETER);
        }
        // Lengths are in characters; the text ends at a terminator within them.
        const auto* text = static_cast<const wchar_t*>(lpBuffer);
        std::size_t length = dwBufferLength ? ::wcsnlen(text, dwBufferLength) : std::wcslen(text);
        std::string value = platform::ToUtf8(std::wstring_view(text, length));
        if (dwOption == INTERNET_OPTION_PROXY_USERNAME) {
            handle->SetProxyUserName(std::move(value));
        } else {
            handle->SetProxyPassword(std::move(value));
        }
        return TRUE;
    });
}
