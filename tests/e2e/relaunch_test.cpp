// The built launcher in its copy-and-restart role: started from a freshly
// downloaded folder with the installed launcher's path, it copies itself over
// the installation and starts the installed copy with "N:". And the starts
// that must stop at once, with a reason, rather than act or hang.
#include "tests/support/environment.h"
#include "tests/support/temp_dir.h"

#include "app/data_folder_lock.h"
#include "app/game_launch.h"
#include "platform/kernel32.h"
#include "platform/text.h"
#include "state/launcher_settings.h"

#include <gtest/gtest.h>

#include <sys/inotify.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <thread>
#include <vector>

namespace fs = std::filesystem;
using testsupport::CurrentDirectory;
using testsupport::ReadBytes;
using testsupport::TempDir;

namespace {

std::vector<std::string> ProcessArguments(const fs::path& procEntry) {
    std::ifstream in(procEntry / "cmdline", std::ios::binary);
    std::vector<std::string> arguments;
    std::string argument;
    while (std::getline(in, argument, '\0'))
        arguments.push_back(argument);
    return arguments;
}

// A running process whose program is the given file, with its arguments.
std::optional<std::pair<pid_t, std::vector<std::string>>> FindProcessOf(const fs::path& program) {
    std::error_code error;
    for (const auto& entry : fs::directory_iterator("/proc", error)) {
        const std::string name = entry.path().filename().string();
        if (name.find_first_not_of("0123456789") != std::string::npos)
            continue;
        std::error_code linkError;
        const fs::path exe = fs::read_symlink(entry.path() / "exe", linkError);
        if (!linkError && exe == program)
            return std::make_pair(static_cast<pid_t>(std::stoi(name)), ProcessArguments(entry.path()));
    }
    return std::nullopt;
}

// The installed copy was started with "N:" in its own folder; it may
// already have ended, so look for it only while it runs.
void ExpectRestartedWithNIn(const fs::path& installed) {
    const fs::path installedLauncher = installed / "Launcher.exe";
    for (int i = 0; i < 100; ++i) {
        if (auto found = FindProcessOf(installedLauncher)) {
            EXPECT_EQ(found->second, (std::vector<std::string>{"", "N:"}));
            std::error_code error;
            EXPECT_EQ(fs::read_symlink("/proc/" + std::to_string(found->first) + "/cwd", error), installed);
            kill(found->first, SIGTERM);
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

// Runs a command through the shell in a folder; its exit status and what it
// wrote to stderr.
std::pair<int, std::string> RunIn(const fs::path& folder, const std::string& command) {
    const fs::path errors = folder / "stderr.txt";
    const std::string line = "cd '" + folder.string() + "' && " + command + " 2>'" + errors.string() + "'";
    const int status = std::system(line.c_str());
    std::string text = ReadBytes(errors);
    fs::remove(errors);
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, text};
}

// A freshly downloaded launcher folder and the installation it replaces.
// The launchers started keep their data in a folder of the test's own.
class Relaunch : public ::testing::Test {
protected:
    Relaunch() {
        fs::copy_file(QM_LAUNCHER_PROGRAM, downloaded.Path() / "Launcher.exe");
        downloaded.Write("ui.dll", "library v2");
        installed.Write("Launcher.exe", "old launcher");
        installed.Write("ui.dll", "library v1");
    }

    // The path the installed launcher was started by, as a player's start
    // hands it to the new launcher.
    void StartNewLauncherFor(const std::string& startedAs) {
        const LauncherSettings saved = g_settings;
        LauncherSettings started;
        started.startDirectory = installed.Path().wstring();
        started.ApplyCommandLine(platform::FromUtf8(startedAs));
        started.AnchorLauncherPath();
        g_settings = started;
        {
            CurrentDirectory there(downloaded.Path());
            StartNewLauncher();
        }
        g_settings = saved;
    }

    TempDir downloaded;
    TempDir installed;
    TempDir data;
    testsupport::ScopedVariable dataHome{"XDG_DATA_HOME", data.Str()};
};

}  // namespace

TEST_F(Relaunch, BuiltLauncherReplacesTheInstalledCopyAndRestartsIt) {
    downloaded.Write("LauncherStyles/Image/ui_main_01.png", "picture v2");

    const fs::path installedLauncher = installed.Path() / "Launcher.exe";
    std::wstring commandLine = L" \"" + installedLauncher.wstring() + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};
    {
        CurrentDirectory there(downloaded.Path());
        ASSERT_TRUE(CreateProcessW(L"Launcher.exe", commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                                   &startup, &process));
    }
    ASSERT_EQ(WaitForSingleObject(process.hProcess, 60000), WAIT_OBJECT_0);
    DWORD exitCode = 1;
    GetExitCodeProcess(process.hProcess, &exitCode);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    EXPECT_EQ(exitCode, 0u);

    EXPECT_EQ(ReadBytes(installed.Path() / "ui.dll"), "library v2");
    EXPECT_EQ(ReadBytes(installed.Path() / "LauncherStyles/Image/ui_main_01.png"), "picture v2");
    EXPECT_EQ(fs::file_size(installedLauncher), fs::file_size(QM_LAUNCHER_PROGRAM));

    ExpectRestartedWithNIn(installed.Path());
}

TEST_F(Relaunch, LauncherStartedByARelativePathIsReplacedThroughTheWholeChain) {
    // The installed launcher as a player starts it from its own folder hands
    // its path to the new launcher in the download folder.
    StartNewLauncherFor("./Launcher.exe");

    for (int i = 0; i < 1500 && ReadBytes(installed.Path() / "ui.dll") != "library v2"; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(ReadBytes(installed.Path() / "ui.dll"), "library v2");
    ExpectRestartedWithNIn(installed.Path());
    EXPECT_EQ(fs::file_size(installed.Path() / "Launcher.exe"), fs::file_size(QM_LAUNCHER_PROGRAM));
}

TEST_F(Relaunch, StrayArgumentIsRefusedWithAReasonAndCopiesNothing) {
    const TempDir& start = downloaded;
    TempDir elsewhere;
    for (const std::string& argument : {(elsewhere.Path() / "x.exe").string(), std::string("--help")}) {
        const auto [status, errors] = RunIn(start.Path(), "env -u DISPLAY ./Launcher.exe '" + argument + "'");
        EXPECT_NE(status, 0) << argument;
        EXPECT_NE(errors.find("nothing was copied"), std::string::npos) << errors;
        EXPECT_TRUE(fs::is_empty(elsewhere.Path())) << argument;
    }
}

TEST_F(Relaunch, WithoutADisplayTheLauncherSaysSoAndEnds) {
    const TempDir& start = installed;
    fs::copy_file(QM_LAUNCHER_PROGRAM, start.Path() / "Launcher.exe", fs::copy_options::overwrite_existing);
    // No display named, and one named that nothing serves.
    const std::string unserved = ":987654";
    ASSERT_FALSE(fs::exists("/tmp/.X11-unix/X987654"));
    for (const std::string& environment : {std::string("env -u DISPLAY"), "env DISPLAY=" + unserved}) {
        for (const std::string arguments : {"", " N:"}) {
            // The guard only ends a launcher that would otherwise wait forever.
            const auto [status, errors] = RunIn(start.Path(), environment + " timeout 60 ./Launcher.exe" + arguments);
            EXPECT_NE(status, 0) << environment << arguments;
            EXPECT_NE(status, 124) << environment << arguments;
            EXPECT_NE(errors.find("needs a display"), std::string::npos) << errors;
            EXPECT_NE(errors.find("quillmoor-headless"), std::string::npos) << errors;
        }
    }
}

TEST_F(Relaunch, TheInstalledCopyWaitsForTheLauncherItReplacesToLeaveTheDataFolder) {
    // This test is the launcher being replaced: it holds the data folder
    // while the new launcher copies itself and starts the installed copy.
    const fs::path dataFolder = data.Path() / "Quillmoor";
    DataFolderLock replaced;
    ASSERT_EQ(replaced.Take(dataFolder.wstring(), 0), DataFolderLock::Outcome::Taken);
    // Each attempt of another process at the lock opens and closes its file.
    const fs::path lockFile = dataFolder / "launcher.lock";
    const int attempts = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    ASSERT_GE(attempts, 0);
    ASSERT_GE(inotify_add_watch(attempts, lockFile.c_str(), IN_CLOSE_WRITE | IN_CLOSE_NOWRITE), 0);
    StartNewLauncherFor((installed.Path() / "Launcher.exe").string());

    const fs::path installedLauncher = installed.Path() / "Launcher.exe";
    std::optional<std::pair<pid_t, std::vector<std::string>>> restarted;
    for (int i = 0; i < 3000 && !(restarted = FindProcessOf(installedLauncher)); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    ASSERT_TRUE(restarted) << "the installed copy was not started";
    EXPECT_EQ(restarted->second, (std::vector<std::string>{"", "N:"}));
    EXPECT_EQ(ReadBytes(installed.Path() / "ui.dll"), "library v2");

    // It waits, and starts its run only once the folder is free. Under load
    // the copy may take long to reach the lock: the folder stays held until
    // it has tried it once, and a moment longer.
    const fs::path diag = dataFolder / "launcher-diag.log";
    const std::string startLine = "] start: start after a self-update (N:) in " + installed.Path().string();
    bool tried = false;
    for (int i = 0; i < 3000 && !tried; ++i) {
        alignas(inotify_event) char events[4096];
        tried = read(attempts, events, sizeof events) > 0;
        if (!tried)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    close(attempts);
    ASSERT_TRUE(tried) << "the installed copy never tried the data folder's lock";
    std::this_thread::sleep_for(std::chrono::milliseconds(700));
    EXPECT_EQ(ReadBytes(diag).find(startLine), std::string::npos) << ReadBytes(diag);
    EXPECT_EQ(kill(restarted->first, 0), 0) << "the installed copy did not wait";
    replaced.Release();
    std::string log;
    for (int i = 0;
         i < 1500 && (log = ReadBytes(diag)).find("] start: the data folder was free after ") == std::string::npos; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_NE(log.find(startLine), std::string::npos) << log;
    const std::size_t waited = log.find("] start: the data folder was free after ");
    ASSERT_NE(waited, std::string::npos) << log;
    // It found the folder held at least once (its own start, before the
    // wait, takes a moment of the time this test held it).
    EXPECT_GT(std::stoi(log.substr(waited + std::string("] start: the data folder was free after ").size())), 0) << log;
    kill(restarted->first, SIGTERM);
}
