// Conversion of wide strings to the ANSI code page and URL encoding.
#pragma once

#include "platform/win_types.h"

#include <cstddef>

namespace Drelk {

class CHttpEncoderW {
public:
    // Bytes of szStr in the code page, terminator included; 0 for a null or
    // empty string. CP_UTF8 and CP_UTF7 are refused.
    static std::size_t AnsiEncodeLen(UINT CodePage, const wchar_t* szStr);
    // szStr in the code page into szBuff, which holds AnsiEncodeLen bytes (at
    // least one); a null or empty string gives an empty result.
    static char* AnsiEncode(UINT CodePage, const wchar_t* szStr, char* szBuff);

    // Each character's bytes (UTF-8 with bUtf8, else the code page): a blank
    // becomes '+', digits and ASCII letters stay, every other byte becomes
    // '%' and two upper-case hexadecimal digits. szBuff holds
    // UrlEncodeLenW + 1 characters.
    static wchar_t* UrlEncodeW(const wchar_t* szStr, wchar_t* szBuff, bool bUtf8, UINT CodePage);
    // Characters UrlEncodeW writes for szStr, without the terminator.
    static std::size_t UrlEncodeLenW(const wchar_t* szStr, bool bUtf8, UINT CodePage);
    // Characters of the URL encoding of the bytes of szStr.
    static std::size_t _UrlEncodeLen(const char* szStr);
};

}  // namespace Drelk
