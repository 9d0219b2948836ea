// ShellExecuteW "open" through xdg-open, started with posix_spawnp and never
// waited for by the caller.
#include "platform/shell32.h"
#include "platform/text.h"

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <cwctype>
#include <string>
#include <thread>

extern char** environ;

namespace {

// Success values of ShellExecuteW are anything above 32.
constexpr std::uintptr_t kStarted = 42;

HINSTANCE Result(std::uintptr_t value) {
    return reinterpret_cast<HINSTANCE>(value);
}

bool IsOpen(LPCWSTR operation) {
    if (!operation) {
        return true;
    }
    const std::wstring_view name(operation);
    return name.size() == 4 && std::towlower(name[0]) == L'o' && std::towlower(name[1]) == L'p' &&
           std::towlower(name[2]) == L'e' && std::towlower(name[3]) == L'n';
}

}  // namespace

HINSTANCE ShellExecuteW(HWND, LPCWSTR lpOperation, LPCWSTR lpFile, LPCWSTR lpParameters, LPCWSTR lpDirectory, INT) {
    if (!lpFile || !*lpFile) {
        return Result(ERROR_FILE_NOT_FOUND);
    }
    if (!IsOpen(lpOperation) || (lpParameters && *lpParameters) || (lpDirectory && *lpDirectory)) {
        return Result(SE_ERR_NOASSOC);
    }
    std::string program = "xdg-open";
    std::string target = platform::ToUtf8(lpFile);
    char* argv[] = {program.data(), target.data(), nullptr};

    // The window thread's blocked signals must not carry over to the handler.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t none;
    sigemptyset(&none);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK);
    pid_t pid = 0;
    const int failed = posix_spawnp(&pid, program.c_str(), nullptr, &attributes, argv, environ);
    posix_spawnattr_destroy(&attributes);
    if (failed) {
        return Result(ERROR_FILE_NOT_FOUND);
    }
    // Nobody waits for the handler; this keeps it from lingering as a zombie.
    std::thread([pid] {
        int status = 0;
        waitpid(pid, &status, 0);
    }).detach();
    return Result(kStarted);
}
