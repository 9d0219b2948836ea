#include "net/http/http_encoder.h"

#include "net/http/http_tool.h"
#include "net/http/safe_int.h"
#include "platform/kernel32.h"

#include <cwchar>

namespace Drelk {

namespace {

// One character yields at most this many bytes in any code page.
constexpr int kMaxCharBytes = 6;

bool IsRefusedCodePage(UINT CodePage) {
    return CodePage == CP_UTF8 || CodePage == CP_UTF7;
}

bool StaysAsItIs(unsigned char by) {
    return (by >= '0' && by <= '9') || (by >= 'A' && by <= 'Z') || (by >= 'a' && by <= 'z');
}

// The bytes of one character, zero-terminated.
void CharBytes(wchar_t ch, bool bUtf8, UINT CodePage, char (&szBytes)[kMaxCharBytes + 1]) {
    const int cb =
        ::WideCharToMultiByte(bUtf8 ? CP_UTF8 : CodePage, 0, &ch, 1, szBytes, kMaxCharBytes, nullptr, nullptr);
    if (cb == 0)
        CHttpToolW::ThrowException(600, ::GetLastError());
    szBytes[cb] = '\0';
}

}  // namespace

std::size_t CHttpEncoderW::AnsiEncodeLen(UINT CodePage, const wchar_t* szStr) {
    if (IsRefusedCodePage(CodePage))
        CHttpToolW::ThrowException(
            "CHttpEncoderW::AnsiEncodeLen: CP_UTF8 and CP_UTF7 can not be used for the CodePage parameter.");
    if (!szStr || !*szStr)
        return 0;

    int cchStr = 0;
    try {
        cchStr = SafeCast<int>(SafeAdd(std::wcslen(szStr), std::size_t{1}));
    } catch (const SafeIntException& e) {
        CHttpToolW::ThrowException(ArithmeticErrorCode(e), ArithmeticWin32Error(e));
    }
    const int cbAnsi = ::WideCharToMultiByte(CodePage, 0, szStr, cchStr, nullptr, 0, nullptr, nullptr);
    if (cbAnsi == 0)
        CHttpToolW::ThrowException(600, ::GetLastError());
    return static_cast<std::size_t>(cbAnsi);
}

char* CHttpEncoderW::AnsiEncode(UINT CodePage, const wchar_t* szStr, char* szBuff) {
    if (IsRefusedCodePage(CodePage))
        CHttpToolW::ThrowException(
            "CHttpEncoderW::AnsiEncode: CP_UTF8 and CP_UTF7 can not be used for the CodePage parameter.");
    if (!szBuff)
        CHttpToolW::ThrowException("CHttpEncoderW::AnsiEncode: szBuff can not be NULL.");

    const std::size_t cbAnsi = AnsiEncodeLen(CodePage, szStr);
    if (cbAnsi == 0) {
        szBuff[0] = '\0';
        return szBuff;
    }
    // AnsiEncodeLen proved that the length fits an int.
    if (::WideCharToMultiByte(CodePage, 0, szStr, static_cast<int>(std::wcslen(szStr) + 1), szBuff,
                              static_cast<int>(cbAnsi), nullptr, nullptr) == 0)
        CHttpToolW::ThrowException(600, ::GetLastError());
    return szBuff;
}

wchar_t* CHttpEncoderW::UrlEncodeW(const wchar_t* szStr, wchar_t* szBuff, bool bUtf8, UINT CodePage) {
    if (!szBuff)
        CHttpToolW::ThrowException("CHttpEncoderW::UrlEncodeW: szBuff can not be NULL.");

    static const wchar_t kHexDigits[] = L"0123456789ABCDEF";
    wchar_t* pOut = szBuff;
    for (const wchar_t* p = szStr; p && *p; ++p) {
        char szBytes[kMaxCharBytes + 1];
        CharBytes(*p, bUtf8, CodePage, szBytes);
        for (const char* pb = szBytes; *pb; ++pb) {
            const auto by = static_cast<unsigned char>(*pb);
            if (by == ' ') {
                *pOut++ = L'+';
            } else if (StaysAsItIs(by)) {
                *pOut++ = static_cast<wchar_t>(by);
            } else {
                *pOut++ = L'%';
                *pOut++ = kHexDigits[by >> 4];
                *pOut++ = kHexDigits[by & 0xF];
            }
        }
    }
    *pOut = L'\0';
    return szBuff;
}

std::size_t CHttpEncoderW::UrlEncodeLenW(const wchar_t* szStr, bool bUtf8, UINT CodePage) {
    std::size_t cchEncoded = 0;
    try {
        for (const wchar_t* p = szStr; p && *p; ++p) {
            char szBytes[kMaxCharBytes + 1];
            CharBytes(*p, bUtf8, CodePage, szBytes);
            cchEncoded = SafeAdd(cchEncoded, _UrlEncodeLen(szBytes));
        }
    } catch (const SafeIntException& e) {
        CHttpToolW::ThrowException(ArithmeticErrorCode(e), ArithmeticWin32Error(e));
    }
    return cchEncoded;
}

std::size_t CHttpEncoderW::_UrlEncodeLen(const char* szStr) {
    if (!szStr)
        CHttpToolW::ThrowException("_UrlEncodeLen: szStr can not be NULL.");

    std::size_t cchEncoded = 0;
    try {
        for (const char* p = szStr; *p; ++p) {
            const auto by = static_cast<unsigned char>(*p);
            cchEncoded = SafeAdd(cchEncoded, std::size_t{by == ' ' || StaysAsItIs(by) ? 1u : 3u});
        }
    } catch (const SafeIntException& e) {
        CHttpToolW::ThrowException(ArithmeticErrorCode(e), ArithmeticWin32Error(e));
    }
    return cchEncoded;
}

}  // namespace Drelk
