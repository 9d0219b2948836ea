// The WinINet front ends: CHttpToolW takes wide strings and converts them to
// the ANSI code page; CHttpToolA makes the narrow calls it relies on. The
// class templates of the layer take the wide tool for their character type,
// their exception and their string helpers.
#pragma once

#include "net/http/http_exception.h"
#include "platform/wininet.h"

#include <cstddef>
#include <memory>

namespace Drelk {

class CHttpToolA {
public:
    [[noreturn]] static void ThrowException(const char* szErrMsg, DWORD dwErrorCode = 0, DWORD dwWin32Error = 0);
    [[noreturn]] static void ThrowException(DWORD dwErrorCode, DWORD dwWin32Error = 0);

    // HttpOpenRequestA for HTTP/1.1, no referrer, accepting "*/*".
    static HINTERNET OpenRequest(HINTERNET hConnection, const char* szVerb, const char* szObjectName, DWORD dwFlags);
    // Adds the line szName ": " szValue "\r\n"; a null value counts as empty.
    static void AddHeader(HINTERNET hRequest, const char* szName, const char* szValue);
};

class CHttpToolW {
public:
    using CharType = wchar_t;
    using Exception = httpclientexceptionW;

    // Messages are written as narrow text and widened in the ANSI code page;
    // when that fails the exception carries no message.
    [[noreturn]] static void ThrowException(const char* szErrMsg, DWORD dwErrorCode = 0, DWORD dwWin32Error = 0);
    [[noreturn]] static void ThrowException(DWORD dwErrorCode, DWORD dwWin32Error = 0);
    // A narrow exception of CHttpToolA raised again as a wide one.
    [[noreturn]] static void ThrowException(const httpclientexceptionA& e);

    static std::size_t StringLength(const wchar_t* szStr);
    // Case-insensitive comparison, as wcsicmp.
    static int StringICompare(const wchar_t* szLeft, const wchar_t* szRight);
    // A heap copy; null for null.
    static std::unique_ptr<wchar_t[]> StringCopy(const wchar_t* szStr);
    static std::unique_ptr<wchar_t[]> StringCopy(const wchar_t* szStr, std::size_t cchStr);

    // The string in the code page; null for null. CP_UTF8 and CP_UTF7 are refused.
    static std::unique_ptr<char[]> Unicode2Ansi(const wchar_t* szStr, UINT CodePage);
    static HINTERNET OpenConnection(HINTERNET hInternet, const wchar_t* szServerAddr, INTERNET_PORT nServerPort);
    // A GET request for szObjectName.
    static HINTERNET OpenRequest(HINTERNET hConnection, const wchar_t* szObjectName, DWORD dwFlags, UINT CodePage);
    static void AddHeader(HINTERNET hRequest, const wchar_t* szName, const wchar_t* szValue, UINT CodePage);
    // Sends the request without extra headers and without a body.
    static void SendRequest(HINTERNET hRequest, UINT CodePage);
};

}  // namespace Drelk
