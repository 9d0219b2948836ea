#include "net/http/http_tool.h"

#include "net/http/safe_int.h"
#include "platform/kernel32.h"

#include <cstring>
#include <cwchar>
#include <cwctype>
#include <new>

namespace Drelk {

namespace {

bool IsRefusedCodePage(UINT CodePage) {
    return CodePage == CP_UTF8 || CodePage == CP_UTF7;
}

// A heap block of cch characters; an allocation failure is the layer's code 102.
template <typename Tool, typename CharType>
std::unique_ptr<CharType[]> AllocateString(std::size_t cch) {
    try {
        return std::unique_ptr<CharType[]>(new CharType[cch]);
    } catch (const std::bad_alloc&) {
        Tool::ThrowException(102);
    }
}

}  // namespace

// ---- CHttpToolA

void CHttpToolA::ThrowException(const char* szErrMsg, DWORD dwErrorCode, DWORD dwWin32Error) {
    throw httpclientexceptionA(szErrMsg, dwErrorCode, dwWin32Error);
}

void CHttpToolA::ThrowException(DWORD dwErrorCode, DWORD dwWin32Error) {
    throw httpclientexceptionA(dwErrorCode, dwWin32Error);
}

HINTERNET CHttpToolA::OpenRequest(HINTERNET hConnection, const char* szVerb, const char* szObjectName, DWORD dwFlags) {
    if (!hConnection)
        ThrowException("CHttpToolA::OpenRequest: hConnection can not be NULL.");
    if (!szObjectName)
        ThrowException("CHttpToolA::OpenRequest: szObjectName can not be NULL.");
    if (!*szObjectName)
        ThrowException("CHttpToolA::OpenRequest: szObjectName can not be an empty string.");

    LPCSTR rgszAcceptTypes[] = {"*/*", nullptr};
    HINTERNET hRequest =
        ::HttpOpenRequestA(hConnection, szVerb, szObjectName, "HTTP/1.1", nullptr, rgszAcceptTypes, dwFlags, 0);
    if (!hRequest)
        ThrowException(404, ::GetLastError());
    return hRequest;
}

void CHttpToolA::AddHeader(HINTERNET hRequest, const char* szName, const char* szValue) {
    if (!hRequest)
        ThrowException("CHttpToolA::AddHeader: hRequest can not be NULL.");
    if (!szName)
        ThrowException("CHttpToolA::AddHeader: szName can not be NULL.");
    if (!szValue)
        szValue = "";

    const std::size_t cchName = std::strlen(szName);
    const std::size_t cchValue = std::strlen(szValue);
    std::size_t cchLine = 0;
    DWORD dwLineLength = 0;
    try {
        // name ": " value "\r\n" and the terminator.
        cchLine = SafeAdd(SafeAdd(cchName, cchValue), std::size_t{5});
        dwLineLength = SafeCast<DWORD>(cchLine - 1);
    } catch (const SafeIntException& e) {
        ThrowException(ArithmeticErrorCode(e), ArithmeticWin32Error(e));
    }

    std::unique_ptr<char[]> szLine = AllocateString<CHttpToolA, char>(cchLine);
    char* p = szLine.get();
    std::memcpy(p, szName, cchName);
    p += cchName;
    std::memcpy(p, ": ", 2);
    p += 2;
    std::memcpy(p, szValue, cchValue);
    p += cchValue;
    std::memcpy(p, "\r\n", 3);

    if (!::HttpAddRequestHeadersA(hRequest, szLine.get(), dwLineLength, HTTP_ADDREQ_FLAG_ADD))
        ThrowException(405, ::GetLastError());
}

// ---- CHttpToolW

void CHttpToolW::ThrowException(const char* szErrMsg, DWORD dwErrorCode, DWORD dwWin32Error) {
    std::unique_ptr<wchar_t[]> szWide;
    if (szErrMsg) {
        const int cchWide = ::MultiByteToWideChar(CP_ACP, 0, szErrMsg, -1, nullptr, 0);
        if (cchWide > 0) {
            szWide = AllocateString<CHttpToolW, wchar_t>(static_cast<std::size_t>(cchWide));
            if (::MultiByteToWideChar(CP_ACP, 0, szErrMsg, -1, szWide.get(), cchWide) == 0)
                szWide.reset();
        }
    }
    throw httpclientexceptionW(szWide.get(), dwErrorCode, dwWin32Error);
}

void CHttpToolW::ThrowException(DWORD dwErrorCode, DWORD dwWin32Error) {
    throw httpclientexceptionW(dwErrorCode, dwWin32Error);
}

void CHttpToolW::ThrowException(const httpclientexceptionA& e) {
    ThrowException(e.GetMessageText(), e.GetErrorCode(), e.GetWin32Error());
}

std::size_t CHttpToolW::StringLength(const wchar_t* szStr) {
    return szStr ? std::wcslen(szStr) : 0;
}

int CHttpToolW::StringICompare(const wchar_t* szLeft, const wchar_t* szRight) {
    for (;; ++szLeft, ++szRight) {
        const std::wint_t left = std::towlower(static_cast<std::wint_t>(*szLeft));
        const std::wint_t right = std::towlower(static_cast<std::wint_t>(*szRight));
        if (left != right)
            return left < right ? -1 : 1;
        if (left == 0)
            return 0;
    }
}

std::unique_ptr<wchar_t[]> CHttpToolW::StringCopy(const wchar_t* szStr) {
    return szStr ? StringCopy(szStr, std::wcslen(szStr)) : nullptr;
}

std::unique_ptr<wchar_t[]> CHttpToolW::StringCopy(const wchar_t* szStr, std::size_t cchStr) {
    std::size_t cchBlock = 0;
    try {
        cchBlock = SafeAdd(cchStr, std::size_t{1});
    } catch (const SafeIntException& e) {
        ThrowException(ArithmeticErrorCode(e), ArithmeticWin32Error(e));
    }
    std::unique_ptr<wchar_t[]> szCopy = AllocateString<CHttpToolW, wchar_t>(cchBlock);
    std::wmemcpy(szCopy.get(), szStr, cchStr);
    szCopy[cchStr] = L'\0';
    return szCopy;
}

std::unique_ptr<char[]> CHttpToolW::Unicode2Ansi(const wchar_t* szStr, UINT CodePage) {
    if (IsRefusedCodePage(CodePage))
        ThrowException("CHttpToolW::Unicode2Ansi: CP_UTF8 and CP_UTF7 can not be used for the CodePage parameter.");
    if (!szStr)
        return nullptr;

    int cchStr = 0;
    try {
        // With the terminator, which the conversion then writes too.
        cchStr = SafeCast<int>(SafeAdd(std::wcslen(szStr), std::size_t{1}));
    } catch (const SafeIntException& e) {
        ThrowException(ArithmeticErrorCode(e), ArithmeticWin32Error(e));
    }
    const int cbAnsi = ::WideCharToMultiByte(CodePage, 0, szStr, cchStr, nullptr, 0, nullptr, nullptr);
    if (cbAnsi == 0)
        ThrowException(600, ::GetLastError());
    std::unique_ptr<char[]> szAnsi = AllocateString<CHttpToolW, char>(static_cast<std::size_t>(cbAnsi));
    if (::WideCharToMultiByte(CodePage, 0, szStr, cchStr, szAnsi.get(), cbAnsi, nullptr, nullptr) == 0)
        ThrowException(600, ::GetLastError());
    return szAnsi;
}

HINTERNET CHttpToolW::OpenConnection(HINTERNET hInternet, const wchar_t* szServerAddr, INTERNET_PORT nServerPort) {
    if (!hInternet)
        ThrowException("CHttpToolW::OpenConnection: hInternet can not be NULL.");
    if (!szServerAddr)
        ThrowException("CHttpToolW::OpenConnection: szServerAddr can not be NULL.");
    if (!*szServerAddr)
        ThrowException("CHttpToolW::OpenConnection: szServerAddr can not be an empty string.");

    HINTERNET hConnection =
        ::InternetConnectW(hInternet, szServerAddr, nServerPort, nullptr, nullptr, INTERNET_SERVICE_HTTP, 0, 0);
    if (!hConnection)
        ThrowException(403, ::GetLastError());
    return hConnection;
}

HINTERNET CHttpToolW::OpenRequest(HINTERNET hConnection, const wchar_t* szObjectName, DWORD dwFlags, UINT CodePage) {
    if (!hConnection)
        ThrowException("CHttpToolW::OpenRequest: hConnection can not be NULL.");
    if (!szObjectName)
        ThrowException("CHttpToolW::OpenRequest: szObjectName can not be NULL.");
    if (!*szObjectName)
        ThrowException("CHttpToolW::OpenRequest: szObjectName can not be an empty string.");
    if (IsRefusedCodePage(CodePage))
        ThrowException("CHttpToolW::OpenRequest: CP_UTF8 and CP_UTF7 can not be used for the CodePage parameter.");

    const std::unique_ptr<char[]> szVerbA = Unicode2Ansi(L"GET", CodePage);
    const std::unique_ptr<char[]> szObjectNameA = Unicode2Ansi(szObjectName, CodePage);
    try {
        return CHttpToolA::OpenRequest(hConnection, szVerbA.get(), szObjectNameA.get(), dwFlags);
    } catch (const httpclientexceptionA& e) {
        ThrowException(e);
    }
}

void CHttpToolW::AddHeader(HINTERNET hRequest, const wchar_t* szName, const wchar_t* szValue, UINT CodePage) {
    if (!hRequest)
        ThrowException("CHttpToolW::AddHeader: hRequest can not be NULL.");
    if (!szName)
        ThrowException("CHttpToolW::AddHeader: szName can not be NULL.");
    if (IsRefusedCodePage(CodePage))
        ThrowException("CHttpToolW::AddHeader: CP_UTF8 and CP_UTF7 can not be used for the CodePage parameter.");

    const std::unique_ptr<char[]> szNameA = Unicode2Ansi(szName, CodePage);
    const std::unique_ptr<char[]> szValueA = Unicode2Ansi(szValue, CodePage);
    try {
        CHttpToolA::AddHeader(hRequest, szNameA.get(), szValueA.get());
    } catch (const httpclientexceptionA& e) {
        ThrowException(e);
    }
}

void CHttpToolW::SendRequest(HINTERNET hRequest, UINT CodePage) {
    if (!hRequest)
        ThrowException("CHttpToolW::SendRequest: hRequest can not be NULL.");
    if (IsRefusedCodePage(CodePage))
        ThrowException("CHttpToolW::SendRequest: CP_UTF8 and CP_UTF7 can not be used for the CodePage parameter.");

    if (!::HttpSendRequestW(hRequest, nullptr, 0, nullptr, 0))
        ThrowException(406, ::GetLastError());
}

}  // namespace Drelk
