#include "tools/cdn/publish/settings_file.h"

#include "platform/text.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

namespace {

TEST(SettingsFileTest, AWebKeyInConfigIsEnough) {
    testsupport::TempDir dir;
    EXPECT_TRUE(SettingsFileWarnings(dir.Write("a.ini", "[Config]\r\nWeb=http://h/\r\n")).empty());
    EXPECT_TRUE(SettingsFileWarnings(dir.Write("b.ini", "[other]\nx=1\n [CONFIG] \n  web = http://h/\n")).empty());
    const std::string utf16 = "\xFF\xFE" + platform::ToUtf16Le(L"[Config]\r\nWeb=http://h/\r\n");
    EXPECT_TRUE(SettingsFileWarnings(dir.Write("c.ini", utf16)).empty());
}

TEST(SettingsFileTest, WarnsWhenThePageAddressWouldBeLost) {
    testsupport::TempDir dir;
    EXPECT_EQ(SettingsFileWarnings(dir.Write("a.ini", "[Config]\nVersion=http://h/v\n")).size(), 1u);
    EXPECT_EQ(SettingsFileWarnings(dir.Write("b.ini", "[Other]\nWeb=http://h/\n")).size(), 1u);
    EXPECT_EQ(SettingsFileWarnings(dir.Write("c.ini", "[Config]\nWebsite=http://h/\n")).size(), 1u);
    EXPECT_EQ(SettingsFileWarnings(dir.Write("d.ini", "")).size(), 1u);
}

TEST(SettingsFileTest, MirrorsKeepTheFilesEncodingAndMakeAConfigSectionWhenThereIsNone) {
    const std::vector<std::string> mirrors{"http://m1/cdn/", "http://m2/cdn/"};
    const std::string utf16 = "\xFF\xFE" + platform::ToUtf16Le(L"[Other]\nName=\u5730\u56FE");
    EXPECT_EQ(SettingsWithMirrors(utf16, mirrors),
              "\xFF\xFE" + platform::ToUtf16Le(L"[Other]\nName=\u5730\u56FE\n[Config]\nMirrors=http://m1/cdn/ "
                                               L"http://m2/cdn/\n"));
    // A header on the last line, behind a UTF-8 mark.
    EXPECT_EQ(SettingsWithMirrors("\xEF\xBB\xBFx=1\r\n [config] ", {"http://m/"}),
              "\xEF\xBB\xBFx=1\r\n [config] \r\nMirrors=http://m/\r\n");
}

}  // namespace
