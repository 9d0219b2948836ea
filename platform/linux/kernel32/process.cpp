// CreateProcessW over posix_spawn, and process handles.
#include "platform/kernel32.h"

#include "platform/command_line.h"
#include "platform/linux/kernel32/command_line_variable.h"
#include "platform/linux/kernel32/errno_error.h"
#include "platform/linux/kernel32/kernel_object.h"
#include "platform/text.h"

#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <future>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

extern char** environ;

namespace {

// Signalled once the process has ended; stays signalled.
class ProcessObject : public platform::KernelObject {
public:
    bool IsWaitable() const override { return true; }

    void OnExit(DWORD exitCode) {
        std::lock_guard<std::mutex> lock(platform::KernelLock());
        m_exited = true;
        m_exitCode = exitCode;
        WakeWaitersLocked();
    }

    DWORD ExitCode() const {
        std::lock_guard<std::mutex> lock(platform::KernelLock());
        return m_exitCode;
    }

protected:
    bool TryAcquireLocked() override { return m_exited; }

private:
    bool m_exited = false;            // guarded by KernelLock()
    DWORD m_exitCode = STILL_ACTIVE;  // guarded by KernelLock()
};

// A program ended by a signal reports 128 + the signal, as shells do.
DWORD ExitCodeOf(int status) {
    if (WIFEXITED(status)) {
        return static_cast<DWORD>(WEXITSTATUS(status));
    }
    return 128u + static_cast<DWORD>(WTERMSIG(status));
}

// Runs on a thread of its own for each started program, so the program is
// reaped (never left a zombie) whether or not anyone holds its handle, and
// waits on the handle end when it does. A pid of -1 means the start failed.
void WaitForExit(std::shared_ptr<ProcessObject> process, std::future<pid_t> started) {
    const pid_t pid = started.get();
    if (pid < 0) {
        return;
    }
    int status = 0;
    pid_t result;
    do {
        result = waitpid(pid, &status, 0);
    } while (result < 0 && errno == EINTR);
    process->OnExit(result == pid ? ExitCodeOf(status) : 1u);
}

class SpawnAttributes {
public:
    SpawnAttributes() {
        posix_spawnattr_init(&m_attributes);
        // The program starts with no signal blocked and every disposition
        // at its default, whatever this thread has changed.
        sigset_t signals;
        sigemptyset(&signals);
        posix_spawnattr_setsigmask(&m_attributes, &signals);
        sigfillset(&signals);
        posix_spawnattr_setsigdefault(&m_attributes, &signals);
        posix_spawnattr_setflags(&m_attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    }
    ~SpawnAttributes() { posix_spawnattr_destroy(&m_attributes); }
    SpawnAttributes(const SpawnAttributes&) = delete;
    SpawnAttributes& operator=(const SpawnAttributes&) = delete;
    const posix_spawnattr_t* Get() const { return &m_attributes; }

private:
    posix_spawnattr_t m_attributes;
};

class SpawnActions {
public:
    SpawnActions() { posix_spawn_file_actions_init(&m_actions); }
    ~SpawnActions() { posix_spawn_file_actions_destroy(&m_actions); }
    SpawnActions(const SpawnActions&) = delete;
    SpawnActions& operator=(const SpawnActions&) = delete;
    posix_spawn_file_actions_t* Get() { return &m_actions; }

private:
    posix_spawn_file_actions_t m_actions;
};

// Pointers to the strings, ended by a null pointer, for posix_spawn.
std::vector<char*> PointerArray(std::vector<std::string>& strings) {
    std::vector<char*> pointers;
    pointers.reserve(strings.size() + 1);
    for (auto& text : strings) {
        pointers.push_back(text.data());
    }
    pointers.push_back(nullptr);
    return pointers;
}

// This process's environment with the command line handed to the program.
std::vector<std::string> ChildEnvironment(const std::wstring& commandLine) {
    const std::string prefix = std::string(platform::kCommandLineVariable) + "=";
    std::vector<std::string> variables;
    for (char** entry = environ; entry && *entry; ++entry) {
        if (std::strncmp(*entry, prefix.c_str(), prefix.size()) != 0) {
            variables.emplace_back(*entry);
        }
    }
    variables.push_back(prefix + platform::ToUtf8(commandLine));
    return variables;
}

// The program file, resolved against the current directory, carrying the
// owner's execute bit: files have none on Windows, so a program the launcher
// unpacked or copied arrives without it.
DWORD PrepareProgram(const std::wstring& name, std::string& path) {
    if (name.empty()) {
        return ERROR_FILE_NOT_FOUND;
    }
    std::error_code error;
    path = std::filesystem::absolute(platform::NativePath(name), error).native();
    if (error) {
        return platform::ErrorFromErrno(error.value());
    }
    struct stat status {};
    if (stat(path.c_str(), &status) != 0) {
        return platform::ErrorFromErrno(errno);
    }
    if (!S_ISREG(status.st_mode)) {
        return ERROR_ACCESS_DENIED;
    }
    if (!(status.st_mode & S_IXUSR)) {
        // When this fails the start itself reports the refusal.
        chmod(path.c_str(), (status.st_mode & 07777) | S_IXUSR);
    }
    return ERROR_SUCCESS;
}

}  // namespace

BOOL CreateProcessW(LPCWSTR lpApplicationName, LPWSTR lpCommandLine, LPSECURITY_ATTRIBUTES /*lpProcessAttributes*/,
                    LPSECURITY_ATTRIBUTES /*lpThreadAttributes*/, BOOL bInheritHandles, DWORD /*dwCreationFlags*/,
                    LPVOID lpEnvironment, LPCWSTR lpCurrentDirectory, LPSTARTUPINFOW /*lpStartupInfo*/,
                    LPPROCESS_INFORMATION lpProcessInformation) {
    // Only the inherited environment is offered.
    if (!lpProcessInformation || lpEnvironment || (!lpApplicationName && !lpCommandLine)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    const std::wstring commandLine = lpCommandLine ? lpCommandLine : lpApplicationName;
    std::vector<std::string> arguments;
    for (const auto& argument : platform::SplitCommandLine(commandLine)) {
        arguments.push_back(platform::ToUtf8(argument));
    }
    std::string program;
    if (DWORD error = PrepareProgram(lpApplicationName ? lpApplicationName : platform::FromUtf8(arguments[0]), program);
        error != ERROR_SUCCESS) {
        SetLastError(error);
        return FALSE;
    }

    SpawnActions actions;
    if (lpCurrentDirectory) {
        std::string directory = platform::NativePath(lpCurrentDirectory);
        std::error_code error;
        if (!std::filesystem::is_directory(directory, error)) {
            SetLastError(ERROR_PATH_NOT_FOUND);
            return FALSE;
        }
        posix_spawn_file_actions_addchdir_np(actions.Get(), directory.c_str());
    }
    // Like Windows handles not marked inheritable, descriptors beyond the
    // standard three stay with this process.
    if (!bInheritHandles) {
        posix_spawn_file_actions_addclosefrom_np(actions.Get(), STDERR_FILENO + 1);
    }
    SpawnAttributes attributes;
    std::vector<std::string> environment = ChildEnvironment(commandLine);
    std::vector<char*> argv = PointerArray(arguments);
    std::vector<char*> envp = PointerArray(environment);

    // The reaping thread exists before the program does, so a program is
    // never started without one.
    auto process = std::make_shared<ProcessObject>();
    std::promise<pid_t> started;
    std::thread waiter;
    try {
        waiter = std::thread(WaitForExit, process, started.get_future());
    } catch (const std::system_error&) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return FALSE;
    }
    pid_t pid = -1;
    const int result = posix_spawn(&pid, program.c_str(), actions.Get(), attributes.Get(), argv.data(), envp.data());
    started.set_value(result == 0 ? pid : -1);
    waiter.detach();
    if (result != 0) {
        platform::SetLastErrorFromErrno(result);
        return FALSE;
    }

    // The thread handle stands for the program's main thread, which ends with it.
    lpProcessInformation->hProcess = platform::InsertHandle(process);
    lpProcessInformation->hThread = platform::InsertHandle(process);
    lpProcessInformation->dwProcessId = static_cast<DWORD>(pid);
    lpProcessInformation->dwThreadId = static_cast<DWORD>(pid);
    return TRUE;
}

BOOL GetExitCodeProcess(HANDLE hProcess, LPDWORD lpExitCode) {
    auto process = platform::LookupHandle<ProcessObject>(hProcess);
    if (!process || !lpExitCode) {
        SetLastError(process ? ERROR_INVALID_PARAMETER : ERROR_INVALID_HANDLE);
        return FALSE;
    }
    *lpExitCode = process->ExitCode();
    return TRUE;
}

DWORD GetCurrentProcessId() {
    return static_cast<DWORD>(getpid());
}
