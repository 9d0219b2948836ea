#include "platform/command_line.h"
#include "platform/kernel32.h"
#include "platform/shell32.h"
#include "platform/text.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <cerrno>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

namespace {

namespace fs = std::filesystem;
using testsupport::CurrentDirectory;
using testsupport::ReadBytes;
using testsupport::TempDir;
using testsupport::WriteBytes;

// What the echo program wrote: its GetCommandLineW, its directory, its argv.
struct Echo {
    std::wstring line;
    fs::path cwd;
    std::vector<std::wstring> args;
};

Echo ReadEcho(const fs::path& folder) {
    Echo echo;
    std::string text = ReadBytes(folder / "echo_args.txt");
    for (std::size_t start = 0; start < text.size();) {
        std::size_t end = text.find('\n', start);
        std::string entry = text.substr(start, end - start);
        start = end + 1;
        if (entry.starts_with("line=")) {
            echo.line = platform::FromUtf8(entry.substr(5));
        } else if (entry.starts_with("cwd=")) {
            echo.cwd = entry.substr(4);
        } else if (entry.starts_with("arg=")) {
            echo.args.push_back(platform::FromUtf8(entry.substr(4)));
        }
    }
    return echo;
}

// Polls for a condition a child brings about; fails the test after a minute.
template <class Condition>
bool EventuallyTrue(Condition condition) {
    for (int i = 0; i < 6000; ++i) {
        if (condition()) {
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

class ProcessTest : public ::testing::Test {
protected:
    ProcessTest() { fs::current_path(m_folder.Path()); }

    // A copy of the echo program, as the launcher would unpack or copy it.
    fs::path InstallProgram(const fs::path& path, fs::perms permissions = fs::perms::owner_all) {
        fs::create_directories(path.parent_path());
        fs::copy_file(QM_ECHO_ARGS_PROGRAM, path, fs::copy_options::overwrite_existing);
        fs::permissions(path, permissions);
        return path;
    }

    // Starts and waits; returns the exit code, or -1 when the start failed.
    long long Run(LPCWSTR application, std::wstring commandLine, LPCWSTR directory = nullptr) {
        PROCESS_INFORMATION info{};
        if (!Start(application, commandLine, directory, info)) {
            return -1;
        }
        EXPECT_EQ(WaitForSingleObject(info.hProcess, 60000), WAIT_OBJECT_0);
        DWORD code = 0;
        EXPECT_TRUE(GetExitCodeProcess(info.hProcess, &code));
        EXPECT_TRUE(CloseHandle(info.hThread));
        EXPECT_TRUE(CloseHandle(info.hProcess));
        return code;
    }

    static BOOL Start(LPCWSTR application, std::wstring& commandLine, LPCWSTR directory, PROCESS_INFORMATION& info) {
        STARTUPINFOW startup{};
        startup.cb = sizeof(startup);
        return CreateProcessW(application, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, directory, &startup,
                              &info);
    }

    CurrentDirectory m_restore;
    TempDir m_folder;
};

TEST_F(ProcessTest, ChildSeesTheExactCommandLine) {
    InstallProgram(m_folder.Path() / "Launcher.exe");
    // The restart line: a blank, then "N:"; the bare name is found in the
    // current directory.
    ASSERT_EQ(Run(L"Launcher.exe", L" \"N:\""), 2);
    Echo echo = ReadEcho(m_folder.Path());
    EXPECT_EQ(echo.line, L" \"N:\"");
    EXPECT_EQ(echo.args, (std::vector<std::wstring>{L"", L"N:"}));
    EXPECT_EQ(echo.cwd, m_folder.Path());

    // The game line, with an escaped quote and a quoted path holding blanks.
    InstallProgram(m_folder.Path() / "qm.exe");
    const std::wstring gameLine = L"MODE2 \"a\\\"b \u4e2d\" \"C:\\path with blank\\Launcher.exe\"";
    ASSERT_EQ(Run(L"qm.exe", gameLine), 3);
    echo = ReadEcho(m_folder.Path());
    EXPECT_EQ(echo.line, gameLine);
    EXPECT_EQ(echo.args, (std::vector<std::wstring>{L"MODE2", L"a\"b \u4e2d", L"C:\\path with blank\\Launcher.exe"}));
}

TEST_F(ProcessTest, GrantsTheExecuteBitAndUsesTheGivenDirectory) {
    const fs::path program =
        InstallProgram(m_folder.Path() / "bin" / "Launcher.exe", fs::perms::owner_read | fs::perms::owner_write);
    fs::create_directories(m_folder.Path() / "work");
    // The program is found relative to this process's directory, the child
    // runs in the one given.
    ASSERT_EQ(Run(L"bin\\Launcher.exe", L" \"/installed/Launcher.exe\"", L"work"), 2);
    EXPECT_TRUE((fs::status(program).permissions() & fs::perms::owner_exec) != fs::perms::none);
    Echo echo = ReadEcho(m_folder.Path() / "work");
    EXPECT_EQ(echo.cwd, m_folder.Path() / "work");
    EXPECT_EQ(echo.args, (std::vector<std::wstring>{L"", L"/installed/Launcher.exe"}));
}

TEST_F(ProcessTest, FailuresToStart) {
    PROCESS_INFORMATION info{};
    std::wstring line = L" \"N:\"";
    EXPECT_FALSE(Start(L"absent.exe", line, nullptr, info));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));

    fs::create_directories(m_folder.Path() / "folder.exe");
    EXPECT_FALSE(Start(L"folder.exe", line, nullptr, info));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));

    WriteBytes(m_folder.Path() / "text.exe", "not a program\n");
    EXPECT_FALSE(Start(L"text.exe", line, nullptr, info));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_BAD_FORMAT));

    InstallProgram(m_folder.Path() / "Launcher.exe");
    EXPECT_FALSE(Start(L"Launcher.exe", line, L"no such folder", info));
    EXPECT_FALSE(fs::exists(m_folder.Path() / "echo_args.txt"));
    EXPECT_FALSE(
        CreateProcessW(L"Launcher.exe", line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, nullptr, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

TEST_F(ProcessTest, RunningProgramIsInUseUntilItEnds) {
    // The copy-and-restart situation: the installed launcher still runs while
    // the new one is copied over it.
    const fs::path installed = m_folder.Path() / "installed";
    InstallProgram(installed / "Launcher.exe");
    WriteBytes(m_folder.Path() / "new" / "Launcher.exe", "the new launcher");

    PROCESS_INFORMATION info{};
    std::wstring line = L"Launcher.exe hold";
    ASSERT_TRUE(Start(L"installed\\Launcher.exe", line, L"installed", info));
    ASSERT_TRUE(EventuallyTrue([&] { return fs::exists(installed / "echo_args.txt"); }));
    DWORD code = 0;
    EXPECT_TRUE(GetExitCodeProcess(info.hProcess, &code));
    EXPECT_EQ(code, STILL_ACTIVE);
    EXPECT_EQ(WaitForSingleObject(info.hProcess, 0), WAIT_TIMEOUT);

    const std::wstring from = platform::FromUtf8((m_folder.Path() / "new").native()) + L"\\*" + L'\0';
    const std::wstring to = platform::FromUtf8(installed.native()) + L'\0';
    SHFILEOPSTRUCTW copy{nullptr, FO_COPY, from.c_str(), to.c_str(), 0x214, FALSE, nullptr, nullptr};
    EXPECT_NE(SHFileOperationW(&copy), 0);
    EXPECT_NE(ReadBytes(installed / "Launcher.exe"), "the new launcher");

    WriteBytes(installed / "release", "");
    EXPECT_EQ(WaitForSingleObject(info.hProcess, 60000), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(info.hThread, 0), WAIT_OBJECT_0);
    EXPECT_TRUE(GetExitCodeProcess(info.hProcess, &code));
    EXPECT_EQ(code, 2u);
    EXPECT_EQ(SHFileOperationW(&copy), 0);
    EXPECT_EQ(ReadBytes(installed / "Launcher.exe"), "the new launcher");

    EXPECT_TRUE(CloseHandle(info.hProcess));
    EXPECT_TRUE(CloseHandle(info.hThread));
    EXPECT_FALSE(GetExitCodeProcess(info.hProcess, &code));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
}

TEST_F(ProcessTest, ClosedHandlesLeaveNoZombie) {
    InstallProgram(m_folder.Path() / "Launcher.exe");
    PROCESS_INFORMATION info{};
    std::wstring line = L"Launcher.exe hold";
    ASSERT_TRUE(Start(L"Launcher.exe", line, nullptr, info));
    EXPECT_TRUE(CloseHandle(info.hProcess));
    EXPECT_TRUE(CloseHandle(info.hThread));
    WriteBytes(m_folder.Path() / "release", "");
    const auto pid = static_cast<pid_t>(info.dwProcessId);
    // Gone entirely, not merely ended: a zombie would still answer kill(0).
    EXPECT_TRUE(EventuallyTrue([pid] { return kill(pid, 0) != 0 && errno == ESRCH; }));
}

// Started by something other than CreateProcessW, the program rebuilds a line
// from argv; a command line variable that does not match argv is ignored.
TEST_F(ProcessTest, ProgramStartedElsewhereRebuildsItsLine) {
    const std::string program = InstallProgram(m_folder.Path() / "echo").native();
    std::vector<std::string> args = {program, "a b", "", "q\"x", "tail\\"};
    std::vector<char*> argv;
    for (auto& arg : args) {
        argv.push_back(arg.data());
    }
    argv.push_back(nullptr);
    std::string stale = "QM_PLATFORM_COMMAND_LINE=stale line";
    char* envp[] = {stale.data(), nullptr};
    pid_t pid = 0;
    ASSERT_EQ(posix_spawn(&pid, program.c_str(), nullptr, nullptr, argv.data(), envp), 0);
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);

    Echo echo = ReadEcho(m_folder.Path());
    const std::wstring wideProgram = platform::FromUtf8(program);
    EXPECT_EQ(echo.line, wideProgram + L" \"a b\" \"\" \"q\\\"x\" tail\\");
    EXPECT_EQ(platform::SplitCommandLine(echo.line), echo.args);
}

}  // namespace
