#include "net/http/http_encoder.h"

#include "net/http/http_exception.h"
#include "platform/kernel32.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

namespace Drelk {
namespace {

std::wstring UrlEncode(const wchar_t* szStr, bool bUtf8 = false) {
    std::wstring buffer(CHttpEncoderW::UrlEncodeLenW(szStr, bUtf8, CP_ACP) + 1, L'?');
    CHttpEncoderW::UrlEncodeW(szStr, buffer.data(), bUtf8, CP_ACP);
    EXPECT_EQ(buffer.back(), L'\0') << "the length and the encoding disagree";
    buffer.resize(std::wcslen(buffer.c_str()));
    return buffer;
}

// The message of the check that refuses the call.
std::wstring CheckMessage(const std::function<void()>& call) {
    try {
        call();
    } catch (const httpclientexceptionW& e) {
        EXPECT_EQ(e.GetErrorCode(), 0u);
        return e.GetMessageText();
    }
    return L"(accepted)";
}

TEST(HttpEncoder, UrlEncodeKeepsDigitsAndLettersTurnsBlanksIntoPlusAndEscapesTheRest) {
    EXPECT_EQ(UrlEncode(L"Az09"), L"Az09");
    EXPECT_EQ(UrlEncode(L"a b"), L"a+b");
    EXPECT_EQ(UrlEncode(L"-_.~/?=&%+"), L"%2D%5F%2E%7E%2F%3F%3D%26%25%2B");
    // Multi-byte characters: every byte escaped, upper-case digits.
    EXPECT_EQ(UrlEncode(L"下载"), L"%E4%B8%8B%E8%BD%BD");
    EXPECT_EQ(UrlEncode(L"é", true), L"%C3%A9");
}

TEST(HttpEncoder, UrlEncodeOfNullOrEmptyIsEmpty) {
    EXPECT_EQ(UrlEncode(nullptr), L"");
    EXPECT_EQ(UrlEncode(L""), L"");
    EXPECT_EQ(CHttpEncoderW::UrlEncodeLenW(nullptr, false, CP_ACP), 0u);
}

TEST(HttpEncoder, UrlEncodeLenCountsOneOrThreePerByte) {
    EXPECT_EQ(CHttpEncoderW::_UrlEncodeLen(""), 0u);
    EXPECT_EQ(CHttpEncoderW::_UrlEncodeLen("a Z9"), 4u);
    EXPECT_EQ(CHttpEncoderW::_UrlEncodeLen("a/\xE4"), 7u);
}

TEST(HttpEncoder, AnsiEncodeConvertsToTheCodePage) {
    EXPECT_EQ(CHttpEncoderW::AnsiEncodeLen(CP_ACP, L"abc"), 4u);
    // The ANSI code page is UTF-8 here: three bytes a character.
    EXPECT_EQ(CHttpEncoderW::AnsiEncodeLen(CP_ACP, L"下载"), 7u);
    char buffer[8];
    EXPECT_STREQ(CHttpEncoderW::AnsiEncode(CP_ACP, L"下载", buffer), "\xE4\xB8\x8B\xE8\xBD\xBD");

    EXPECT_EQ(CHttpEncoderW::AnsiEncodeLen(CP_ACP, nullptr), 0u);
    EXPECT_EQ(CHttpEncoderW::AnsiEncodeLen(CP_ACP, L""), 0u);
    buffer[0] = 'x';
    EXPECT_STREQ(CHttpEncoderW::AnsiEncode(CP_ACP, L"", buffer), "");
}

TEST(HttpEncoder, ArgumentChecks) {
    char buffer[4];
    EXPECT_EQ(CheckMessage([] { CHttpEncoderW::AnsiEncodeLen(CP_UTF8, L"a"); }),
              L"CHttpEncoderW::AnsiEncodeLen: CP_UTF8 and CP_UTF7 can not be used for the CodePage parameter.");
    EXPECT_EQ(CheckMessage([&] { CHttpEncoderW::AnsiEncode(CP_UTF7, L"a", buffer); }),
              L"CHttpEncoderW::AnsiEncode: CP_UTF8 and CP_UTF7 can not be used for the CodePage parameter.");
    EXPECT_EQ(CheckMessage([] { CHttpEncoderW::AnsiEncode(CP_ACP, L"a", nullptr); }),
              L"CHttpEncoderW::AnsiEncode: szBuff can not be NULL.");
    EXPECT_EQ(CheckMessage([] { CHttpEncoderW::UrlEncodeW(L"a", nullptr, false, CP_ACP); }),
              L"CHttpEncoderW::UrlEncodeW: szBuff can not be NULL.");
    EXPECT_EQ(CheckMessage([] { CHttpEncoderW::_UrlEncodeLen(nullptr); }), L"_UrlEncodeLen: szStr can not be NULL.");
}

}  // namespace
}  // namespace Drelk
