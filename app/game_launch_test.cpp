#include "app/game_launch.h"

#include "platform/kernel32.h"
#include "platform/text.h"
#include "state/launcher_settings.h"

#include "tests/support/temp_dir.h"
#include "tests/support/wine.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <thread>

namespace fs = std::filesystem;
using testsupport::CurrentDirectory;
using testsupport::ReadBytes;
using testsupport::TempDir;

namespace {

// What the recording program wrote: its command line, folder and arguments.
std::string WaitForRecord(const fs::path& folder) {
    const fs::path record = folder / "echo_args.txt";
    for (int i = 0; i < 1000; ++i) {
        const std::string text = ReadBytes(record);
        // The record is complete once the folder line is there.
        if (text.find("\ncwd=") != std::string::npos && text.back() == '\n')
            return text;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return std::string();
}

void InstallRecorder(const fs::path& file) {
    fs::create_directories(file.parent_path());
    // Removed first: the C++ library of the Windows build reports an
    // existing target as an error even when told to overwrite it.
    fs::remove(file);
    fs::copy_file(QM_ECHO_ARGS_PROGRAM, file);
}

class SettingsGuard {
public:
    SettingsGuard() : m_saved(g_settings.launcherPath), m_start(g_settings.startDirectory) {}
    ~SettingsGuard() {
        g_settings.launcherPath = m_saved;
        g_settings.startDirectory = m_start;
    }

private:
    std::wstring m_saved;
    std::wstring m_start;
};

}  // namespace

TEST(GameDataArgs, QuotedPiecesOf999Characters) {
    EXPECT_EQ(BuildGameDataArgs(L""), L"MODE2 \"\"");
    EXPECT_EQ(BuildGameDataArgs(std::wstring(999, L'a')), L"MODE2 \"" + std::wstring(999, L'a') + L"\"");
    EXPECT_EQ(BuildGameDataArgs(std::wstring(1000, L'a')), L"MODE2 \"" + std::wstring(999, L'a') + L"\" \"a\"");
}

TEST(GameDataArgs, QuotesAreEscapedButCountOnce) {
    EXPECT_EQ(BuildGameDataArgs(L"a\"b\\c"), L"MODE2 \"a\\\"b\\c\"");
    // 998 letters and a quote fill the first piece exactly.
    const std::wstring text = std::wstring(998, L'x') + L"\"" + L"y";
    EXPECT_EQ(BuildGameDataArgs(text), L"MODE2 \"" + std::wstring(998, L'x') + L"\\\"\" \"y\"");
}

TEST(StartGame, RunsTheGameFromTheCurrentFolderWithTheLauncherPath) {
    TempDir client;
    InstallRecorder(client.Path() / "qm.exe");
    SettingsGuard guard;
    g_settings.launcherPath = L"C:\\Games\\Quillmoor\\Launcher.exe";
    {
        CurrentDirectory here(client.Path());
        StartGame(BuildGameDataArgs(L"token=\"42\""));
    }
    const std::string record = WaitForRecord(client.Path());
    EXPECT_NE(record.find("line=MODE2 \"token=\\\"42\\\"\" \"C:\\Games\\Quillmoor\\Launcher.exe\"\n"),
              std::string::npos)
        << record;
    EXPECT_NE(record.find("arg=token=\"42\"\n"), std::string::npos) << record;
    EXPECT_NE(record.find("cwd=" + client.Str() + "\n"), std::string::npos) << record;
}

TEST(StartGame, AfterAnUpdateStartTheLauncherPathIsEmpty) {
    TempDir client;
    InstallRecorder(client.Path() / "qm.exe");
    SettingsGuard guard;
    g_settings.launcherPath = L"";
    {
        CurrentDirectory here(client.Path());
        StartGame(L"-play");
    }
    const std::string record = WaitForRecord(client.Path());
    EXPECT_NE(record.find("line=-play \"\"\n"), std::string::npos) << record;
}

class CopyAndRestartTest : public ::testing::Test {
protected:
    void SetUp() override {
        InstallRecorder(downloaded.Path() / "Launcher.exe");
        downloaded.Write("LauncherStyles/Image/bg.png", "new picture");
        downloaded.Write("ui.dll", "new library");
        installed.Write("Launcher.exe", "old launcher");
        installed.Write("ui.dll", "old library");
        installed.Write("keep.txt", "player data");
        g_settings.startDirectory = downloaded.Path().wstring();
        g_settings.launcherPath = (installed.Path() / "Launcher.exe").wstring();
        SetCopyRetryPolicy(CopyRetryPolicy{2000, 20});
    }
    void TearDown() override { SetCopyRetryPolicy(CopyRetryPolicy{}); }

    // A launcher running from the installed folder, holding its program file
    // until a "release" file appears there.
    void StartHoldingLauncher(PROCESS_INFORMATION& process) {
        InstallRecorder(installed.Path() / "Launcher.exe");
        STARTUPINFOW startup{};
        startup.cb = sizeof(startup);
        std::wstring line = L"Launcher.exe hold";
        CurrentDirectory there(installed.Path());
        if (CreateProcessW(L"Launcher.exe", line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                           &process)) {
            ASSERT_FALSE(WaitForRecord(installed.Path()).empty());
        }
    }

    SettingsGuard guard;
    TempDir downloaded;
    TempDir installed;
    CurrentDirectory here{downloaded.Path()};
};

TEST_F(CopyAndRestartTest, ReplacesTheInstalledFolderAndRestartsWithN) {
    ASSERT_EQ(CopyAndRestart(), L"");
    const std::string record = WaitForRecord(installed.Path());
    EXPECT_NE(record.find("line= \"N:\"\n"), std::string::npos) << record;
    EXPECT_NE(record.find("arg=\narg=N:\n"), std::string::npos) << record;
    EXPECT_NE(record.find("cwd=" + installed.Str() + "\n"), std::string::npos) << record;

    EXPECT_EQ(ReadBytes(installed.Path() / "ui.dll"), "new library");
    EXPECT_TRUE(fs::exists(installed.Path() / "LauncherStyles/Image/bg.png"));
    EXPECT_TRUE(fs::exists(installed.Path() / "keep.txt"));
}

TEST_F(CopyAndRestartTest, EveryNewLauncherProgramTakesThePlaceOfTheInstalledOne) {
    // Twenty self-updates in a row, each with a program of the same size
    // that differs only in its last bytes, each copied while the one the
    // round before started may still be ending.
    for (int round = 0; round < 20; ++round) {
        InstallRecorder(downloaded.Path() / "Launcher.exe");
        const std::string program =
            ReadBytes(downloaded.Path() / "Launcher.exe") + "round " + std::to_string(round % 10);
        testsupport::WriteBytes(downloaded.Path() / "Launcher.exe", program);
        ASSERT_EQ(CopyAndRestart(), L"") << "round " << round;
        ASSERT_EQ(ReadBytes(installed.Path() / "Launcher.exe"), program) << "round " << round;
        ASSERT_FALSE(WaitForRecord(installed.Path()).empty()) << "round " << round;
        fs::remove(installed.Path() / "echo_args.txt");
    }
}

TEST_F(CopyAndRestartTest, WaitsForTheOldLauncherToLetGoOfItsFiles) {
    // The old launcher is still running from the installed folder.
    PROCESS_INFORMATION old{};
    StartHoldingLauncher(old);
    ASSERT_NE(old.hProcess, nullptr);
    std::thread release([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        installed.Write("release", "");
    });
    SetCopyRetryPolicy(CopyRetryPolicy{60000, 20});
    const std::wstring failure = CopyAndRestart();
    release.join();
    WaitForSingleObject(old.hProcess, INFINITE);
    CloseHandle(old.hThread);
    CloseHandle(old.hProcess);
    EXPECT_EQ(failure, L"");
}

TEST_F(CopyAndRestartTest, GivesUpWhenTheFilesStayInUse) {
    if (testsupport::UnderWine())
        GTEST_SKIP() << "Wine lets a running program's file be overwritten, so the files are never in use";
    PROCESS_INFORMATION old{};
    StartHoldingLauncher(old);
    ASSERT_NE(old.hProcess, nullptr);
    SetCopyRetryPolicy(CopyRetryPolicy{200, 20});
    EXPECT_NE(CopyAndRestart(), L"");
    installed.Write("release", "");
    WaitForSingleObject(old.hProcess, INFINITE);
    CloseHandle(old.hThread);
    CloseHandle(old.hProcess);
}

TEST_F(CopyAndRestartTest, LauncherPathWithoutAFolderIsRefused) {
    g_settings.launcherPath = L"Launcher.exe";
    EXPECT_NE(CopyAndRestart(), L"");
    EXPECT_FALSE(fs::exists(downloaded.Path() / "echo_args.txt"));
}

TEST_F(CopyAndRestartTest, StrayArgumentsCopyNothing) {
    const auto expectRefused = [&](const std::wstring& launcherPath) {
        g_settings.launcherPath = launcherPath;
        EXPECT_NE(CopyAndRestart(), L"") << platform::ToUtf8(launcherPath);
        EXPECT_EQ(ReadBytes(installed.Path() / "ui.dll"), "old library");
        EXPECT_FALSE(fs::exists(installed.Path() / "echo_args.txt"));
        EXPECT_FALSE(fs::exists(downloaded.Path() / "echo_args.txt"));
    };
    // A typo, an option, a program of another name, a launcher not there.
    expectRefused((installed.Path() / "x.exe").wstring());
    expectRefused(L"--help");
    installed.Write("Game.exe", "a game");
    expectRefused((installed.Path() / "Game.exe").wstring());
    expectRefused((installed.Path() / "sub" / "Launcher.exe").wstring());
    // The start folder's own launcher: a copy onto itself.
    expectRefused((downloaded.Path() / "Launcher.exe").wstring());
    // A start folder without a launcher has nothing to install.
    fs::remove(downloaded.Path() / "Launcher.exe");
    expectRefused((installed.Path() / "Launcher.exe").wstring());
}

TEST_F(CopyAndRestartTest, LauncherNameMatchesWithoutRegardToCase) {
    fs::rename(installed.Path() / "Launcher.exe", installed.Path() / "LAUNCHER.EXE");
    g_settings.launcherPath = (installed.Path() / "LAUNCHER.EXE").wstring();
    ASSERT_EQ(CopyAndRestart(), L"");
    EXPECT_EQ(ReadBytes(installed.Path() / "ui.dll"), "new library");
}
