// WinINet: synchronous HTTP sessions, connections and requests, plus
// CoCreateGuid from ole32.
//
// HttpSendRequestW and InternetReadFile are stop points (thread_stop.h): a
// thread asked to stop unwinds out of them within about 50 ms, also while
// blocked on the network.
#pragma once

#include "platform/win_types.h"

#ifdef _WIN32
#include <objbase.h>
#include <wininet.h>
#else
using HINTERNET = void*;
using INTERNET_PORT = WORD;

#define INTERNET_OPEN_TYPE_PRECONFIG 0
#define INTERNET_OPEN_TYPE_DIRECT 1
#define INTERNET_OPEN_TYPE_PROXY 3
#define INTERNET_SERVICE_HTTP 3
#define INTERNET_INVALID_PORT_NUMBER 0
#define INTERNET_DEFAULT_HTTP_PORT 80
#define INTERNET_DEFAULT_HTTPS_PORT 443

#define INTERNET_FLAG_RELOAD 0x80000000u
#define INTERNET_FLAG_RAW_DATA 0x40000000u
#define INTERNET_FLAG_EXISTING_CONNECT 0x20000000u
#define INTERNET_FLAG_ASYNC 0x10000000u
#define INTERNET_FLAG_PASSIVE 0x08000000u
#define INTERNET_FLAG_NO_CACHE_WRITE 0x04000000u
#define INTERNET_FLAG_MAKE_PERSISTENT 0x02000000u
#define INTERNET_FLAG_FROM_CACHE 0x01000000u
#define INTERNET_FLAG_SECURE 0x00800000u
#define INTERNET_FLAG_KEEP_CONNECTION 0x00400000u
#define INTERNET_FLAG_NO_AUTO_REDIRECT 0x00200000u
#define INTERNET_FLAG_READ_PREFETCH 0x00100000u
#define INTERNET_FLAG_NO_COOKIES 0x00080000u
#define INTERNET_FLAG_NO_AUTH 0x00040000u
#define INTERNET_FLAG_IGNORE_REDIRECT_TO_HTTP 0x00008000u
#define INTERNET_FLAG_IGNORE_REDIRECT_TO_HTTPS 0x00004000u
#define INTERNET_FLAG_IGNORE_CERT_DATE_INVALID 0x00002000u
#define INTERNET_FLAG_IGNORE_CERT_CN_INVALID 0x00001000u
#define INTERNET_FLAG_RESYNCHRONIZE 0x00000800u
#define INTERNET_FLAG_HYPERLINK 0x00000400u
#define INTERNET_FLAG_NO_UI 0x00000200u
#define INTERNET_FLAG_PRAGMA_NOCACHE 0x00000100u

#define HTTP_ADDREQ_FLAG_ADD_IF_NEW 0x10000000u
#define HTTP_ADDREQ_FLAG_ADD 0x20000000u
#define HTTP_ADDREQ_FLAG_REPLACE 0x80000000u

#define HTTP_QUERY_CONTENT_LENGTH 5u
#define HTTP_QUERY_LAST_MODIFIED 11u
#define HTTP_QUERY_STATUS_CODE 19u
#define HTTP_QUERY_CONTENT_RANGE 53u
#define HTTP_QUERY_ETAG 54u
#define HTTP_QUERY_FLAG_NUMBER 0x20000000u

#define INTERNET_OPTION_PROXY_USERNAME 43u
#define INTERNET_OPTION_PROXY_PASSWORD 44u

#define INTERNET_CONNECTION_LAN 0x02u

// WinINet error codes (GetLastError).
#define INTERNET_ERROR_BASE 12000
#define ERROR_INTERNET_OUT_OF_HANDLES 12001L
#define ERROR_INTERNET_TIMEOUT 12002L
#define ERROR_INTERNET_INTERNAL_ERROR 12004L
#define ERROR_INTERNET_INVALID_URL 12005L
#define ERROR_INTERNET_UNRECOGNIZED_SCHEME 12006L
#define ERROR_INTERNET_NAME_NOT_RESOLVED 12007L
#define ERROR_INTERNET_INVALID_OPTION 12009L
#define ERROR_INTERNET_OPERATION_CANCELLED 12017L
#define ERROR_INTERNET_INCORRECT_HANDLE_TYPE 12018L
#define ERROR_INTERNET_INCORRECT_HANDLE_STATE 12019L
#define ERROR_INTERNET_CANNOT_CONNECT 12029L
#define ERROR_INTERNET_CONNECTION_ABORTED 12030L
#define ERROR_INTERNET_CONNECTION_RESET 12031L
#define ERROR_INTERNET_SEC_CERT_DATE_INVALID 12037L
#define ERROR_INTERNET_SEC_CERT_CN_INVALID 12038L
#define ERROR_INTERNET_SEC_CERT_ERRORS 12055L
#define ERROR_INTERNET_SEC_CERT_NO_REV 12056L
#define ERROR_INTERNET_SEC_CERT_REV_FAILED 12057L
#define ERROR_INTERNET_INVALID_CA 12045L
#define ERROR_INTERNET_SECURITY_CHANNEL_ERROR 12157L
#define ERROR_HTTP_HEADER_NOT_FOUND 12150L
#define ERROR_HTTP_INVALID_SERVER_RESPONSE 12152L
#define ERROR_HTTP_INVALID_HEADER 12153L
#define ERROR_HTTP_INVALID_QUERY_REQUEST 12154L
#define ERROR_HTTP_HEADER_ALREADY_EXISTS 12155L
#define ERROR_HTTP_REDIRECT_FAILED 12156L

// Synchronous sessions only (INTERNET_FLAG_ASYNC is refused). A
// preconfigured session takes its proxy from the environment (http_proxy,
// https_proxy, no_proxy); loopback hosts are always reached directly.
HINTERNET InternetOpenW(LPCWSTR lpszAgent, DWORD dwAccessType, LPCWSTR lpszProxy, LPCWSTR lpszProxyBypass,
                        DWORD dwFlags);
// No network activity. HTTP only; server accounts are refused.
HINTERNET InternetConnectW(HINTERNET hInternet, LPCWSTR lpszServerName, INTERNET_PORT nServerPort, LPCWSTR lpszUserName,
                           LPCWSTR lpszPassword, DWORD dwService, DWORD dwFlags, DWORD_PTR dwContext);
// INTERNET_FLAG_SECURE selects https with certificate checks;
// INTERNET_FLAG_IGNORE_CERT_CN_INVALID skips the host name check only.
// The accept types become one Accept header; without them none is sent.
HINTERNET HttpOpenRequestA(HINTERNET hConnect, LPCSTR lpszVerb, LPCSTR lpszObjectName, LPCSTR lpszVersion,
                           LPCSTR lpszReferrer, LPCSTR* lplpszAcceptTypes, DWORD dwFlags, DWORD_PTR dwContext);
// "Name: value" lines separated by CR LF; a length of -1 or 0 means
// zero-terminated. Exactly these headers, the Host and the agent are sent.
BOOL HttpAddRequestHeadersA(HINTERNET hRequest, LPCSTR lpszHeaders, DWORD dwHeadersLength, DWORD dwModifiers);
// Performs the request up to the final response headers (redirects are
// followed unless INTERNET_FLAG_NO_AUTO_REDIRECT). Any status is an answer;
// only a failed exchange returns FALSE. Request bodies are refused.
BOOL HttpSendRequestW(HINTERNET hRequest, LPCWSTR lpszHeaders, DWORD dwHeadersLength, LPVOID lpOptional,
                      DWORD dwOptionalLength);
// HTTP_QUERY_STATUS_CODE, and the final answer's Content-Length,
// Content-Range, ETag and Last-Modified headers (HTTP_QUERY_CONTENT_LENGTH,
// _CONTENT_RANGE, _ETAG, _LAST_MODIFIED) as Windows gives them: the value
// as received (an ETag with its quotes), as wide text, or with
// HTTP_QUERY_FLAG_NUMBER as a DWORD when it is a decimal number.
// ERROR_HTTP_HEADER_NOT_FOUND when the answer has no such header.
BOOL HttpQueryInfoW(HINTERNET hRequest, DWORD dwInfoLevel, LPVOID lpBuffer, LPDWORD lpdwBufferLength,
                    LPDWORD lpdwIndex);
// Blocks until dwNumberOfBytesToRead bytes or the end of the body; 0 bytes
// read with TRUE means the end. A body cut short fails, and keeps failing.
BOOL InternetReadFile(HINTERNET hFile, LPVOID lpBuffer, DWORD dwNumberOfBytesToRead, LPDWORD lpdwNumberOfBytesRead);
// Also closes the handles opened below it; a call blocked on one of them in
// another thread fails with ERROR_INTERNET_OPERATION_CANCELLED.
BOOL InternetCloseHandle(HINTERNET hInternet);
// INTERNET_OPTION_PROXY_USERNAME and INTERNET_OPTION_PROXY_PASSWORD (lengths
// in characters), for the handle and those below it.
BOOL InternetSetOptionW(HINTERNET hInternet, DWORD dwOption, LPVOID lpBuffer, DWORD dwBufferLength);
// TRUE when a network interface other than loopback is up and has an
// address; the flags are then INTERNET_CONNECTION_LAN.
BOOL InternetGetConnectedState(LPDWORD lpdwFlags, DWORD dwReserved);

HRESULT CoCreateGuid(GUID* pguid);
#endif

// Blocking calls free a thread asked to stop (thread_stop.h).
#include "platform/routed_calls.h"
