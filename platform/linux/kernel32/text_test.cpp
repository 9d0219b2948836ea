#include "platform/text.h"
#include "platform/kernel32.h"

#include <gtest/gtest.h>

#include <string>

using namespace std::string_literals;

namespace {

TEST(Utf8, RoundTripsAllPlanesAndEmbeddedNul) {
    const std::wstring text = L"a\u00e9\u4e2d\U0001F600"s + L'\0' + L"z";
    const std::string bytes = platform::ToUtf8(text);
    EXPECT_EQ(bytes, "a\xC3\xA9\xE4\xB8\xAD\xF0\x9F\x98\x80"s + '\0' + "z");
    EXPECT_EQ(platform::FromUtf8(bytes), text);
}

TEST(Utf8, InvalidInputBecomesReplacementCharacters) {
    EXPECT_EQ(platform::FromUtf8("a\xFF"
                                 "b"),
              L"a\uFFFDb");
    EXPECT_EQ(platform::FromUtf8("\xE4\xB8"), L"\uFFFD\uFFFD");            // cut-off sequence
    EXPECT_EQ(platform::FromUtf8("\xED\xA0\x80"), L"\uFFFD\uFFFD\uFFFD");  // encoded surrogate
    // Wide values that are no characters are written as U+FFFD.
    EXPECT_EQ(platform::ToUtf8(std::wstring(1, static_cast<wchar_t>(0xD800))), "\xEF\xBF\xBD");
    EXPECT_EQ(platform::ToUtf8(std::wstring(1, static_cast<wchar_t>(0x110000))), "\xEF\xBF\xBD");
}

TEST(Utf16Le, SurrogatePairsAndOddBytes) {
    const std::wstring text = L"A\u4e2d\U0001F600";
    const std::string bytes = platform::ToUtf16Le(text);
    EXPECT_EQ(bytes, "A\0\x2D\x4E\x3D\xD8\x00\xDE"s);
    EXPECT_EQ(platform::FromUtf16Le(bytes), text);
    EXPECT_EQ(platform::FromUtf16Le(bytes + "X"), text);  // odd trailing byte dropped
    // Unpaired halves: a low one alone, a high one at the end, a high one
    // followed by an ordinary character.
    EXPECT_EQ(platform::FromUtf16Le("\x00\xDC"
                                    "A\0"s),
              L"\uFFFDA");
    EXPECT_EQ(platform::FromUtf16Le("A\0\x00\xD8"s), L"A\uFFFD");
    EXPECT_EQ(platform::FromUtf16Le("\x00\xD8"
                                    "B\0"s),
              L"\uFFFDB");
}

TEST(NativePath, MapsBackslashes) {
    EXPECT_EQ(platform::NativePath(L"C:\\dir/sub\\\u4e2d.txt"), "C:/dir/sub/\xE4\xB8\xAD.txt");
}

TEST(MultiByteToWideChar, LengthRules) {
    // -1 counts and converts the terminator.
    EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, "h\xC3\xA9", -1, nullptr, 0), 3);
    wchar_t buffer[8] = {L'x', L'x', L'x', L'x'};
    EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, "h\xC3\xA9", -1, buffer, 8), 3);
    EXPECT_EQ(std::wstring(buffer), L"h\u00e9");
    // An explicit length converts exactly that much, without a terminator.
    wchar_t counted[4] = {L'x', L'x', L'x', L'x'};
    EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, "abc", 2, counted, 4), 2);
    EXPECT_EQ(counted[2], L'x');
    // Too small a buffer fails.
    SetLastError(0);
    EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, "abc", -1, buffer, 3), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
}

TEST(MultiByteToWideChar, InvalidInput) {
    wchar_t buffer[8];
    EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, "a\xFF", 2, buffer, 8), 2);
    EXPECT_EQ(buffer[1], L'\uFFFD');
    EXPECT_EQ(MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, "a\xFF", 2, buffer, 8), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_UNICODE_TRANSLATION));
    // A terminator is not an invalid character.
    EXPECT_EQ(MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, "ok", -1, buffer, 8), 3);
    EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, "abc", 0, buffer, 8), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(MultiByteToWideChar(1252, 0, "abc", -1, buffer, 8), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

TEST(WideCharToMultiByte, LengthRules) {
    EXPECT_EQ(WideCharToMultiByte(CP_UTF8, 0, L"\u4e2d", -1, nullptr, 0, nullptr, nullptr), 4);
    char buffer[8] = {'x', 'x', 'x', 'x', 'x'};
    EXPECT_EQ(WideCharToMultiByte(CP_UTF8, 0, L"\u4e2d", 1, buffer, 8, nullptr, nullptr), 3);
    EXPECT_EQ(std::string(buffer, 4), "\xE4\xB8\xADx");
    EXPECT_EQ(WideCharToMultiByte(CP_UTF8, 0, L"\u4e2d", -1, buffer, 3, nullptr, nullptr), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    // The ANSI code page takes a default character argument, UTF-8 refuses it.
    BOOL usedDefault = TRUE;
    EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, L"ab", -1, buffer, 8, "?", &usedDefault), 3);
    EXPECT_EQ(usedDefault, FALSE);
    EXPECT_EQ(WideCharToMultiByte(CP_UTF8, 0, L"ab", -1, buffer, 8, "?", nullptr), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

}  // namespace
