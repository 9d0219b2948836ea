// Programs started by the end-to-end test as a user would start them: in a
// folder of their own, with extra environment variables, their output kept
// in files.
#pragma once

#include <sys/types.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

struct ProgramStart {
    std::filesystem::path program;
    std::vector<std::string> arguments;
    std::filesystem::path folder;
    std::map<std::string, std::string> environment;  // added to this process's
    std::filesystem::path outputFile;
    std::filesystem::path errorFile;
};

class ChildProcess {
public:
    // Throws std::runtime_error when the program cannot be started.
    explicit ChildProcess(const ProgramStart& start);
    // A program still running is asked to stop (SIGTERM) and waited for.
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // The exit code; 128 + the signal for a program ended by one.
    int Wait();

private:
    pid_t m_pid = -1;
    bool m_waited = false;
    int m_exitCode = -1;
};

struct ProgramResult {
    int exitCode = -1;
    std::string output;
    std::string errors;
};

// Starts the program, waits for it and reads what it wrote.
ProgramResult RunProgram(const ProgramStart& start);
