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

}  // namespace
