// Programs started with fork and exec, waited for with waitpid and stopped
// with signals.
#include "tests/support/test_process.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <thread>

extern char** environ;

namespace testsupport {

namespace {

constexpr auto kPollPeriod = std::chrono::milliseconds(10);
constexpr auto kStopGrace = std::chrono::seconds(5);
// Empty input, and where output that nobody keeps goes.
constexpr const char* kNowhere = "/dev/null";

std::vector<std::string> ChildEnvironment(const std::map<std::string, std::string>& changes) {
    std::vector<std::string> entries;
    for (char** entry = environ; *entry; ++entry) {
        const std::string text = *entry;
        if (!changes.count(text.substr(0, text.find('='))))
            entries.push_back(text);
    }
    for (const auto& [name, value] : changes)
        if (!value.empty())
            entries.push_back(name + "=" + value);
    return entries;
}

std::vector<char*> Pointers(std::vector<std::string>& texts) {
    std::vector<char*> pointers;
    for (std::string& text : texts)
        pointers.push_back(text.data());
    pointers.push_back(nullptr);
    return pointers;
}

int ExitCodeOf(int status) {
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

// Everything the child does between fork and exec is async-signal-safe:
// the names, arguments and environment are all prepared before the fork.
[[noreturn]] void BecomeChild(const char* program, char** argv, char** envp, const char* folder, const char* output,
                              const char* errors, int keepFd, bool ownGroup) {
    if (ownGroup && setpgid(0, 0) != 0)
        _exit(126);
    if (folder[0] != '\0' && chdir(folder) != 0)
        _exit(126);
    const int input = open(kNowhere, O_RDONLY);
    const int out = open(output, O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int err = open(errors, O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (input < 0 || out < 0 || err < 0)
        _exit(126);
    // Out of the way of the three standard numbers before they are replaced.
    const int safeIn = fcntl(input, F_DUPFD, 10);
    const int safeOut = fcntl(out, F_DUPFD, 10);
    const int safeErr = fcntl(err, F_DUPFD, 10);
    if (safeIn < 0 || safeOut < 0 || safeErr < 0 || dup2(safeIn, 0) < 0 || dup2(safeOut, 1) < 0 || dup2(safeErr, 2) < 0)
        _exit(126);
    const long limit = sysconf(_SC_OPEN_MAX);
    const int last = limit > 0 && limit < 65536 ? static_cast<int>(limit) : 65536;
    for (int fd = 3; fd < last; ++fd)
        if (fd != keepFd)
            close(fd);
    execve(program, argv, envp);
    _exit(127);
}

}  // namespace

std::optional<std::filesystem::path> FindProgram(const std::string& name) {
    if (name.find('/') != std::string::npos)
        return access(name.c_str(), X_OK) == 0 ? std::optional<std::filesystem::path>(name) : std::nullopt;
    const char* path = std::getenv("PATH");
    std::string folders = path ? path : "/usr/local/bin:/usr/bin:/bin";
    std::size_t begin = 0;
    while (begin <= folders.size()) {
        std::size_t end = folders.find(':', begin);
        if (end == std::string::npos)
            end = folders.size();
        const std::filesystem::path candidate =
            std::filesystem::path(end > begin ? folders.substr(begin, end - begin) : ".") / name;
        if (access(candidate.c_str(), X_OK) == 0)
            return candidate;
        begin = end + 1;
    }
    return std::nullopt;
}

TestProcess::TestProcess(const ProcessStart& start) {
    if (start.argv.empty())
        throw std::runtime_error("no program to start");
    const std::optional<std::filesystem::path> program = FindProgram(start.argv[0]);
    if (!program)
        throw std::runtime_error("cannot find the program " + start.argv[0]);
    const std::string programName = program->string();
    std::vector<std::string> arguments = start.argv;
    std::vector<std::string> environment = ChildEnvironment(start.environment);
    std::vector<char*> argv = Pointers(arguments);
    std::vector<char*> envp = Pointers(environment);
    const std::string folder = start.folder.string();
    const std::string output = start.outputFile.empty() ? kNowhere : start.outputFile.string();
    const std::string errors = start.errorFile.empty() ? kNowhere : start.errorFile.string();

    m_pid = fork();
    if (m_pid == 0)
        BecomeChild(programName.c_str(), argv.data(), envp.data(), folder.c_str(), output.c_str(), errors.c_str(),
                    start.keepFd, start.ownProcessGroup);
    if (m_pid < 0)
        throw std::runtime_error("cannot start " + programName + ": " + std::strerror(errno));
    // Both sides set the group, so it exists whichever runs first.
    if (start.ownProcessGroup)
        setpgid(m_pid, m_pid);
}

TestProcess::~TestProcess() {
    if (m_pid > 0 && !m_exitCode)
        Stop();
}

bool TestProcess::Reap(bool block) {
    if (m_exitCode)
        return true;
    int status = 0;
    ProcessId ended = -1;
    do {
        ended = waitpid(m_pid, &status, block ? 0 : WNOHANG);
    } while (ended == -1 && errno == EINTR);
    if (ended == 0)
        return false;
    // A child that cannot be waited for counts as one that failed.
    m_exitCode = ended == m_pid ? ExitCodeOf(status) : 127;
    return true;
}

int TestProcess::Stop() {
    if (!Reap(false)) {
        kill(m_pid, SIGTERM);
        if (!WaitFor(std::chrono::duration_cast<std::chrono::milliseconds>(kStopGrace))) {
            kill(m_pid, SIGKILL);
            Reap(true);
        }
    }
    return *m_exitCode;
}

std::optional<int> WaitForAdopted(ProcessId pid, std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    for (;;) {
        int status = 0;
        const ProcessId ended = waitpid(pid, &status, WNOHANG);
        if (ended == pid)
            return ExitCodeOf(status);
        // Not a child yet: its parent still runs. Gone altogether: nothing
        // to wait for.
        if (ended == -1 && errno == ECHILD && kill(pid, 0) != 0)
            return std::nullopt;
        if (std::chrono::steady_clock::now() >= deadline) {
            // Only a child of this process is killed: anything else was
            // never this test's to end.
            if (ended == 0) {
                kill(pid, SIGKILL);
                waitpid(pid, &status, 0);
            }
            return std::nullopt;
        }
        std::this_thread::sleep_for(kPollPeriod);
    }
}

}  // namespace testsupport
