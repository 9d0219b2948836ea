#include "net/http/http_error_message.h"

#include <iterator>

namespace Drelk {

namespace {

struct MessageText {
    const char* szNarrow;
    const wchar_t* szWide;
};

// Both forms of a text from one literal, so the tables cannot drift apart.
#define DRELK_TEXT(text) \
    { text, L"" text }

// Codes below 100.
const MessageText g_baseMessages[] = {
    DRELK_TEXT("Not specified"),
};

// Codes 100 to 199: errors of the layer itself.
const MessageText g_layerMessages[] = {
    DRELK_TEXT("Unexpected error occurred."),
    DRELK_TEXT("The index is out of range."),
    DRELK_TEXT("Out of memory."),
    DRELK_TEXT("The requested URL is not a valid URL."),
    DRELK_TEXT("The post context is not started yet."),
    DRELK_TEXT("Couldn't read expected bytes from a file."),
    DRELK_TEXT("The post context has not been finished yet."),
    DRELK_TEXT("The port number is not valid."),
    DRELK_TEXT("std::exception occurred."),
    DRELK_TEXT("The encoded URL is not valid."),
    DRELK_TEXT("The UTF8 string contains an invalid character."),
    DRELK_TEXT("An unexpected arithmetic error has been occurred."),
    DRELK_TEXT("An arithmetic overflow error has been occurred."),
    DRELK_TEXT("An interger divide by zero exception has been occurred."),
    DRELK_TEXT("The file (%s) aleady exists."),
};

// Codes 400 to 599: WinINet calls.
const MessageText g_internetMessages[] = {
    DRELK_TEXT("::HttpQueryInfo failed."),     DRELK_TEXT("::InternetReadFile failed."),
    DRELK_TEXT("::InternetOpen failed."),      DRELK_TEXT("::InternetConnect failed."),
    DRELK_TEXT("::HttpOpenRequest failed."),   DRELK_TEXT("::HttpAddRequestHeaders failed."),
    DRELK_TEXT("::HttpSendRequest failed."),   DRELK_TEXT("::HttpSendRequestEx failed."),
    DRELK_TEXT("::InternetWriteFile failed."), DRELK_TEXT("::HttpEndRequest failed."),
    DRELK_TEXT("::InternetSetOption failed."),
};

// Codes 600 to 999: other Win32 calls.
const MessageText g_win32Messages[] = {
    DRELK_TEXT("::WideCharToMultiByte failed."),
    DRELK_TEXT("::MultiByteToWideChar failed."),
    DRELK_TEXT("::ReadFile failed."),
    DRELK_TEXT("OpenFile (::CreateFile) failed (\"%s\")."),
    DRELK_TEXT("::SetFilePointer failed."),
    DRELK_TEXT("::GetFileSize failed (\"%s\")."),
    DRELK_TEXT("::WriteFile failed (\"%s\")."),
};

const MessageText g_userDefined = DRELK_TEXT("user-defined error message");
const MessageText g_empty = DRELK_TEXT("");

#undef DRELK_TEXT

template <std::size_t Count>
const MessageText& Pick(const MessageText (&table)[Count], DWORD dwErrorCode) {
    const DWORD dwIndex = dwErrorCode % 100;
    return dwIndex < Count ? table[dwIndex] : g_empty;
}

const MessageText& MessageOf(DWORD dwErrorCode) {
    if (dwErrorCode >= 1000)
        return g_userDefined;
    if (dwErrorCode < 100)
        return Pick(g_baseMessages, dwErrorCode);
    if (dwErrorCode < 200)
        return Pick(g_layerMessages, dwErrorCode);
    if (dwErrorCode < 400)
        return g_empty;
    if (dwErrorCode < 600)
        return Pick(g_internetMessages, dwErrorCode);
    return Pick(g_win32Messages, dwErrorCode);
}

}  // namespace

template <>
const char* ErrorMessageOf<char>(DWORD dwErrorCode) {
    return MessageOf(dwErrorCode).szNarrow;
}

template <>
const wchar_t* ErrorMessageOf<wchar_t>(DWORD dwErrorCode) {
    return MessageOf(dwErrorCode).szWide;
}

}  // namespace Drelk
