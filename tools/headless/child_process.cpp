#include "tools/headless/child_process.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>
#include <stdexcept>

extern char** environ;

namespace {

std::vector<std::string> Environment(const std::map<std::string, std::string>& overrides)
{
    std::vector<std::string> entries;
    for (char** entry = environ; *entry; ++entry) {
        const std::string text = *entry;
        if (!overrides.count(text.substr(0, text.find('='))))
            entries.push_back(text);
    }
    for (const auto& [name, value] : overrides)
        entries.push_back(name + "=" + value);
    return entries;
}

std::vector<char*> Pointers(std::vector<std::string>& texts)
{
    std::vector<char*> pointers;
    for (std::string& text : texts)
        pointers.push_back(text.data());
    pointers.push_back(nullptr);
    return pointers;
}

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

std::string ReadWhole(const std::filesystem::path& file)
{
    std::ifstream in(file, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

}  // namespace

ChildProcess::ChildProcess(const ProgramStart& start)
{
    std::vector<std::string> arguments{start.program.string()};
    arguments.insert(arguments.end(), start.arguments.begin(), start.arguments.end());
    std::vector<std::string> environment = Environment(start.environment);
    std::vector<char*> argv = Pointers(arguments);
    std::vector<char*> envp = Pointers(environment);

    SpawnActions actions;
    posix_spawn_file_actions_addopen(actions.Get(), STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(actions.Get(), STDOUT_FILENO, start.outputFile.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(actions.Get(), STDERR_FILENO, start.errorFile.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addchdir_np(actions.Get(), start.folder.c_str());
    const int error = posix_spawn(&m_pid, start.program.c_str(), actions.Get(), nullptr, argv.data(), envp.data());
    if (error != 0)
        throw std::runtime_error("cannot start " + start.program.string() + ": " + std::strerror(error));
}

ChildProcess::~ChildProcess()
{
    if (!m_waited) {
        kill(m_pid, SIGTERM);
        Wait();
    }
}

int ChildProcess::Wait()
{
    if (!m_waited) {
        int status = 0;
        pid_t ended = -1;
        do {
            ended = waitpid(m_pid, &status, 0);
        } while (ended == -1 && errno == EINTR);
        m_waited = true;
        // A child that cannot be waited for counts as one that failed.
        m_exitCode = ended != m_pid ? 127 : WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
    return m_exitCode;
}

ProgramResult RunProgram(const ProgramStart& start)
{
    ProgramResult result;
    result.exitCode = ChildProcess(start).Wait();
    result.output = ReadWhole(start.outputFile);
    result.errors = ReadWhole(start.errorFile);
    return result;
}
