#include "platform/text.h"

#include <gtest/gtest.h>

#include <string>

using namespace std::string_literals;

namespace {

// The same bytes as on Linux, though wide strings are UTF-16 here.
TEST(Win32Text, ConversionsMatchLinuxAndReplaceUnpairedSurrogates) {
    const std::wstring text = L"a\u00e9\u4e2d\U0001F600"s + L'\0' + L"z";
    EXPECT_EQ(platform::ToUtf8(text), "a\xC3\xA9\xE4\xB8\xAD\xF0\x9F\x98\x80"s + '\0' + "z");
    EXPECT_EQ(platform::FromUtf8(platform::ToUtf8(text)), text);
    EXPECT_EQ(platform::FromUtf8("a\xFF"
                                 "b"),
              L"a\uFFFDb");
    EXPECT_EQ(platform::ToUtf16Le(L"A\u4e2d\U0001F600"), "A\0\x2D\x4E\x3D\xD8\x00\xDE"s);
    EXPECT_EQ(platform::FromUtf16Le("A\0\x2D\x4E\x3D\xD8\x00\xDE"
                                    "X"s),
              L"A\u4e2d\U0001F600");
    const std::wstring lone = L"x"s + static_cast<wchar_t>(0xD800) + L"y" + static_cast<wchar_t>(0xDC00);
    EXPECT_EQ(platform::ToUtf8(lone), "x\xEF\xBF\xBDy\xEF\xBF\xBD");
    EXPECT_EQ(platform::FromUtf16Le("\x00\xDC"
                                    "A\0"s),
              L"\uFFFDA");
    EXPECT_EQ(platform::NativePath(L"C:\\dir/\u4e2d.txt").wstring(), L"C:\\dir/\u4e2d.txt");
}

}  // namespace
