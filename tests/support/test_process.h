// Programs a test starts and owns: the X server and compositor, the CDN
// server, the launcher. Each is started in a folder of its own with extra
// environment variables and its output in files, and is stopped and reaped
// with its object, so a failing test leaves nothing running behind it.
// The interface is the same everywhere; how a program is started, waited for
// and stopped is the system's own (test_process_posix.cpp).
#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace testsupport {

// A process as the system numbers it.
using ProcessId = std::int64_t;

struct ProcessStart {
    // argv[0] is the program; a name without a '/' is looked up on PATH.
    std::vector<std::string> argv;
    // The child's current directory; empty keeps this process's.
    std::filesystem::path folder;
    // Added to (or replacing entries of) this process's environment; an
    // empty value removes the variable.
    std::map<std::string, std::string> environment;
    // Where standard output and error go; empty means nowhere.
    std::filesystem::path outputFile;
    std::filesystem::path errorFile;
    // A descriptor the child keeps open under the same number; -1 for none.
    // Every other descriptor above 2 is closed in the child.
    int keepFd = -1;
    // Starts the child in a process group of its own (its id is the
    // child's), so that everything it starts in turn can be stopped at once.
    bool ownProcessGroup = false;
};

// The full path of a program found on PATH, or nothing.
std::optional<std::filesystem::path> FindProgram(const std::string& name);

class TestProcess {
public:
    // Throws std::runtime_error when the program cannot be found or started.
    explicit TestProcess(const ProcessStart& start);
    // A program still running is asked to stop (SIGTERM), then killed when
    // it does not within a few seconds, and reaped.
    ~TestProcess();
    TestProcess(const TestProcess&) = delete;
    TestProcess& operator=(const TestProcess&) = delete;

    ProcessId Pid() const { return m_pid; }
    // True while the program has not ended.
    bool Running();
    // The exit code (128 + the signal for a program ended by one), or
    // nothing when it is still running after `limit`.
    std::optional<int> WaitFor(std::chrono::milliseconds limit);
    // Asks the program to stop and waits for it; its exit code.
    int Stop();

private:
    bool Reap(bool block);

    ProcessId m_pid = -1;
    std::optional<int> m_exitCode;
};

// Runs a program to its end; its exit code, or nothing when it had to be
// stopped after `limit`.
std::optional<int> RunProcess(const ProcessStart& start, std::chrono::milliseconds limit);

// How a program run to its end ended and what it wrote to the output and
// error files of its start.
struct ProgramResult {
    int exitCode = -1;  // -1 also when it had to be stopped after the limit
    std::string output;
    std::string errors;
};
ProgramResult RunToEnd(const ProcessStart& start, std::chrono::milliseconds limit);

// Waits for a process this one did not start itself (a grandchild that it
// adopts as a subreaper once the grandchild's parent has ended) and reaps
// it; its exit code, or nothing when it cannot be waited for or still ran
// after `limit`; a child of this process still running then is killed.
std::optional<int> WaitForAdopted(ProcessId pid, std::chrono::milliseconds limit);

}  // namespace testsupport
