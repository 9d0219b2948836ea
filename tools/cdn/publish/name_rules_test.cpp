#include "tools/cdn/publish/name_rules.h"

#include "tools/cdn/publish/publish_error.h"

#include <gtest/gtest.h>

namespace {

TEST(NameRulesTest, AcceptsNamesTheLauncherCarries) {
    for (const char* name : {"Launcher.exe", "qm.md5", "data.pak", "a+b_c-d(1).txt", "\xE5\x9C\xB0\xE5\x9B\xBE.dat",
                             ".hidden", "x.y.z", "old town.map", " leading"}) {
        EXPECT_FALSE(NameProblem(name).has_value()) << name;
    }
}

TEST(NameRulesTest, RefusesWhatBreaksListsUrlsOrWindows) {
    for (const char* name : {"a\nb", "a\rb", "a\tb", "a\\b", "a#b", "a%41", "a?b", "a*b", "a:b", "a|b", "a<b", "a\"b",
                             "trailing.", "trailing ", "..", "."}) {
        EXPECT_TRUE(NameProblem(name).has_value()) << name;
    }
    EXPECT_TRUE(NameProblem("").has_value());
}

TEST(NameRulesTest, RefusesInvalidUtf8) {
    EXPECT_TRUE(NameProblem("caf\xE9").has_value());        // Latin-1
    EXPECT_TRUE(NameProblem("\xED\xA0\x80x").has_value());  // an encoded surrogate
    EXPECT_TRUE(NameProblem("\xC3").has_value());           // cut sequence
    EXPECT_FALSE(NameProblem("caf\xC3\xA9").has_value());
}

TEST(NameRulesTest, Utf16LengthCountsSurrogatePairs) {
    EXPECT_EQ(Utf16Length(L"abc"), 3u);
    EXPECT_EQ(Utf16Length(L"\u5730"), 1u);
    EXPECT_EQ(Utf16Length(L"\U0001F600"), 2u);
}

TEST(NameRulesTest, VersionFolderEndsWithASlash) {
    EXPECT_EQ(VersionFolder("L1", "--launcher-version"), "L1/");
    EXPECT_EQ(VersionFolder("L1/", "--launcher-version"), "L1/");
    EXPECT_EQ(VersionFolder("2024/06", "--client-version"), "2024/06/");
}

TEST(NameRulesTest, VersionFolderRefusesWhatTheAnswerCannotCarry) {
    for (const char* value : {"", "/", "a//b", "../x", "a/./b", "a=b", "a|b", "a#b", "a\\b", "a /b"}) {
        EXPECT_THROW(VersionFolder(value, "--client-version"), PublishError) << value;
    }
    try {
        VersionFolder("", "--client-version");
    } catch (const PublishError& error) {
        EXPECT_NE(std::string(error.what()).find("--client-version"), std::string::npos);
    }
}

TEST(NameRulesTest, PlatformCodes) {
    EXPECT_TRUE(IsPlatformCode("pv"));
    EXPECT_TRUE(IsPlatformCode("qq_2-B"));
    EXPECT_FALSE(IsPlatformCode(""));
    EXPECT_FALSE(IsPlatformCode("../pv"));
    EXPECT_FALSE(IsPlatformCode("p v"));
    EXPECT_FALSE(IsPlatformCode("pv.ini"));
    EXPECT_FALSE(IsPlatformCode(std::string(65, 'p')));
}

}  // namespace
