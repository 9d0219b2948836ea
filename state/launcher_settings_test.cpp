#include "state/launcher_settings.h"
#include "state/message_table.h"

#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

using testsupport::CurrentDirectory;
using testsupport::TempDir;

namespace {

LauncherSettings FromCommandLine(const std::wstring& commandLine) {
    LauncherSettings settings;
    settings.ApplyCommandLine(commandLine);
    return settings;
}

}  // namespace

TEST(CommandLine, RelaunchLineStartsAfterUpdateWithEmptyLauncherPath) {
    // What a launcher writes when it restarts the installed copy.
    const LauncherSettings settings = FromCommandLine(L" \"N:\"");
    EXPECT_EQ(settings.startedPlain, 0);
    EXPECT_EQ(settings.startedAfterUpdate, 1);
    EXPECT_EQ(settings.launcherPath, L"");
    EXPECT_EQ(DecideStartRole(settings), StartRole::MainWindowAfterUpdate);
}

TEST(CommandLine, OtherSecondArgumentsAskForCopyAndRestart) {
    LauncherSettings lower = FromCommandLine(L"Launcher.exe n:");
    EXPECT_EQ(lower.startedPlain, 0);
    EXPECT_EQ(lower.startedAfterUpdate, 0);
    EXPECT_EQ(lower.launcherPath, L"n:");
    EXPECT_EQ(DecideStartRole(lower), StartRole::CopyAndRestart);

    // The new launcher is started with the installed one's quoted path.
    LauncherSettings installed = FromCommandLine(L" \"C:\\Program Files\\Quillmoor\\Launcher.exe\"");
    EXPECT_EQ(installed.launcherPath, L"C:\\Program Files\\Quillmoor\\Launcher.exe");
    EXPECT_EQ(DecideStartRole(installed), StartRole::CopyAndRestart);
}

TEST(CommandLine, PlainStartKeepsArgumentZeroAsWritten) {
    EXPECT_EQ(FromCommandLine(L"Launcher.exe").launcherPath, L"Launcher.exe");
    const LauncherSettings quoted = FromCommandLine(L"\"D:\\My Games\\Launcher.exe\"");
    EXPECT_EQ(quoted.launcherPath, L"D:\\My Games\\Launcher.exe");
    EXPECT_EQ(quoted.startedPlain, 1);
    EXPECT_EQ(DecideStartRole(quoted), StartRole::MainWindow);
}

TEST(CommandLine, RelativeLauncherPathIsAnchoredAtTheStartDirectory) {
    const auto anchored = [](const std::wstring& commandLine) {
        LauncherSettings settings;
        settings.startDirectory = L"/home/player/Quillmoor";
        settings.ApplyCommandLine(commandLine);
        settings.AnchorLauncherPath();
        return settings.launcherPath;
    };
    // Started from its own folder, by either spelling.
    EXPECT_EQ(anchored(L"./Launcher.exe"), L"/home/player/Quillmoor\\Launcher.exe");
    EXPECT_EQ(anchored(L"Launcher.exe"), L"/home/player/Quillmoor\\Launcher.exe");
    EXPECT_EQ(anchored(L".\\bin\\Launcher.exe"), L"/home/player/Quillmoor\\bin\\Launcher.exe");
    // Paths that already name their root stay as written.
    EXPECT_EQ(anchored(L"/opt/qm/Launcher.exe"), L"/opt/qm/Launcher.exe");
    EXPECT_EQ(anchored(L"\"C:\\Games\\Launcher.exe\""), L"C:\\Games\\Launcher.exe");
    // The restarted launcher has no path of its own to anchor.
    EXPECT_EQ(anchored(L" \"N:\""), L"");
}

class Configuration : public ::testing::Test {
protected:
    TempDir folder;
    CurrentDirectory here{folder.Path()};
    LauncherSettings settings;
};

TEST_F(Configuration, MissingFilesGiveTheDefaults) {
    settings.ReadConfiguration();
    EXPECT_EQ(settings.platform, L"pv");
    EXPECT_EQ(settings.webUrl, kDefaultWebUrl);
    EXPECT_EQ(settings.versionUrl, kDefaultVersionUrl);
    EXPECT_EQ(settings.language, L"chs");
}

TEST_F(Configuration, PlatformNamesTheSettingsFile) {
    folder.Write("Platform.ini", "[config]\nplatform=qa\n");
    folder.Write("qa.ini",
                 "[Config]\nWeb=http://127.0.0.1/page.html\nVersion=http://127.0.0.1/api/launcherversionnew\n"
                 "Language=cht\n");
    folder.Write("pv.ini", "[Config]\nWeb=http://wrong/\n");
    settings.ReadConfiguration();
    EXPECT_EQ(settings.platform, L"qa");
    EXPECT_EQ(settings.webUrl, L"http://127.0.0.1/page.html");
    EXPECT_EQ(settings.versionUrl, L"http://127.0.0.1/api/launcherversionnew");
    EXPECT_EQ(settings.language, L"cht");
}

TEST_F(Configuration, VersionWithoutWebKeepsTheBuiltInPage) {
    folder.Write("pv.ini", "[Config]\nVersion=http://127.0.0.1:1/v\n");
    settings.ReadConfiguration();
    EXPECT_EQ(settings.webUrl, kDefaultWebUrl);
    EXPECT_EQ(settings.versionUrl, L"http://127.0.0.1:1/v");
}

TEST_F(Configuration, LongLanguageIsCutToEightCharactersAndMatchesNothing) {
    folder.Write("pv.ini", "[Config]\nLanguage=chsxxxxxx\n");
    settings.ReadConfiguration();
    EXPECT_EQ(settings.language, L"chsxxxxx");

    MessageTable table;
    table.Fill(settings.language);
    for (const std::wstring& entry : table.entries)
        EXPECT_TRUE(entry.empty());
}

TEST_F(Configuration, PlatformTooLongForAFileNameFallsBackToTheDefault) {
    folder.Write("Platform.ini", "[Config]\nPlatform=" + std::string(254, 'p') + "\n");
    folder.Write("pv.ini", "[Config]\nLanguage=cht\n");
    settings.ReadConfiguration();
    EXPECT_EQ(settings.platform, L"pv");
    EXPECT_EQ(settings.language, L"cht");

    // The longest code that still fits is taken.
    folder.Write("Platform.ini", "[Config]\nPlatform=" + std::string(253, 'p') + "\n");
    settings.ReadConfiguration();
    EXPECT_EQ(settings.platform.size(), 253u);
    EXPECT_EQ(settings.SettingsFileName().size(), 259u);
}

TEST_F(Configuration, MirrorsAreReadWholePastAPathBuffer) {
    // Eight addresses take far more than the 259 characters of the other keys.
    std::string mirrors;
    for (int i = 0; i < 8; ++i)
        mirrors += "https://mirror-" + std::to_string(i) + ".cdn.example.com/quillmoor/releases/cdn/ ";
    mirrors.pop_back();
    ASSERT_GT(mirrors.size(), 259u);
    folder.Write("pv.ini", "[Config]\nLanguage=cht\nMirrors=" + mirrors + "\n");
    settings.ReadConfiguration();
    EXPECT_EQ(settings.mirrors, std::wstring(mirrors.begin(), mirrors.end()));
    EXPECT_EQ(settings.language, L"cht");
}
