#include "platform/kernel32.h"
#include "platform/text.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using testsupport::CurrentDirectory;
using testsupport::TempDir;
using testsupport::WriteBytes;

class ProfileTest : public ::testing::Test {
protected:
    ProfileTest() { std::filesystem::current_path(m_folder.Path()); }

    // The value and the returned count, with a buffer of `size` characters.
    std::pair<std::wstring, DWORD> Read(LPCWSTR section, LPCWSTR key, LPCWSTR fallback, DWORD size = 260,
                                        LPCWSTR file = L".\\Platform.ini") {
        std::wstring buffer(size + 1, L'#');
        DWORD count = GetPrivateProfileStringW(section, key, fallback, buffer.data(), size, file);
        EXPECT_EQ(buffer[size], L'#') << "wrote past the buffer";
        return {std::wstring(buffer.c_str()), count};
    }

    std::wstring Value(LPCWSTR section, LPCWSTR key, LPCWSTR fallback = L"default") {
        return Read(section, key, fallback).first;
    }

    CurrentDirectory m_restore;
    TempDir m_folder;
};

TEST_F(ProfileTest, Utf8WithAndWithoutBom) {
    WriteBytes("Platform.ini", "[Config]\r\nPlatform=pv2\r\nName=\xE4\xB8\xAD\r\n");
    EXPECT_EQ(Value(L"Config", L"Platform"), L"pv2");
    EXPECT_EQ(Value(L"Config", L"Name"), L"\u4e2d");
    WriteBytes("Platform.ini", "\xEF\xBB\xBF[Config]\nPlatform=bom\n");
    EXPECT_EQ(Value(L"Config", L"Platform"), L"bom");
}

TEST_F(ProfileTest, Utf16WithBom) {
    WriteBytes("Platform.ini", "\xFF\xFE" + platform::ToUtf16Le(L"[Config]\r\nLanguage=cht\r\nWeb=\u4e2d\u6587\r\n"));
    EXPECT_EQ(Value(L"Config", L"Language"), L"cht");
    EXPECT_EQ(Value(L"Config", L"Web"), L"\u4e2d\u6587");
}

TEST_F(ProfileTest, NamesIgnoreCaseAndValuesAreTrimmed) {
    WriteBytes("Platform.ini",
               "; a comment\n"
               "[Other]\nPlatform=wrong\n"
               "  [ CONFIG ]  \n"
               "  platform  =  spaced value ; not a comment  \n"
               "Quoted = \"  kept inside  \"\n"
               "Half = \"one side\n"
               "Inner = a \"b\" c\n"
               "Empty =\n"
               "Platform=second\n"
               "[config]\nLate=not seen\n");
    EXPECT_EQ(Value(L"config", L"PLATFORM"), L"spaced value ; not a comment");
    EXPECT_EQ(Value(L"Config", L"Quoted"), L"  kept inside  ");
    EXPECT_EQ(Value(L"Config", L"Half"), L"\"one side");
    EXPECT_EQ(Value(L"Config", L"Inner"), L"a \"b\" c");
    EXPECT_EQ(Value(L"Config", L"Empty"), L"");
    EXPECT_EQ(Value(L"Other", L"platform"), L"wrong");
    // Only the first section of a name is read.
    EXPECT_EQ(Value(L"Config", L"Late"), L"default");
}

TEST_F(ProfileTest, DefaultsWhenAbsent) {
    WriteBytes("Platform.ini", "Platform=outside any section\n[Config]\nWeb=x\n");
    EXPECT_EQ(Value(L"Config", L"Platform"), L"default");
    EXPECT_EQ(Value(L"Missing", L"Web"), L"default");
    EXPECT_EQ(Value(L"Config", L"Web", nullptr), L"x");
    EXPECT_EQ(Read(L"Config", L"Nothing", nullptr), (std::pair<std::wstring, DWORD>(L"", 0)));
    EXPECT_EQ(Read(L"Config", L"Web", L"d", 260, L"./absent.ini"), (std::pair<std::wstring, DWORD>(L"d", 1)));
    // Trailing blanks of a default are not returned.
    EXPECT_EQ(Read(L"Config", L"Nothing", L"chs  "), (std::pair<std::wstring, DWORD>(L"chs", 3)));
}

TEST_F(ProfileTest, TruncatesToTheBuffer) {
    WriteBytes("Platform.ini", "[Config]\nLanguage=123456789abc\nShort=12345678\n");
    EXPECT_EQ(Read(L"Config", L"Language", L"chs", 9), (std::pair<std::wstring, DWORD>(L"12345678", 8)));
    EXPECT_EQ(Read(L"Config", L"Short", L"chs", 9), (std::pair<std::wstring, DWORD>(L"12345678", 8)));
    EXPECT_EQ(Read(L"Config", L"Nothing", L"a default too long", 9), (std::pair<std::wstring, DWORD>(L"a defaul", 8)));
    EXPECT_EQ(Read(L"Config", L"Language", L"chs", 1), (std::pair<std::wstring, DWORD>(L"", 0)));
    wchar_t untouched = L'#';
    EXPECT_EQ(GetPrivateProfileStringW(L"Config", L"Language", L"chs", &untouched, 0, L"./Platform.ini"), 0u);
    EXPECT_EQ(untouched, L'#');
}

}  // namespace
