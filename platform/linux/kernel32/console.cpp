// SIGINT and SIGTERM end a command-line tool.
#include "platform/console.h"

#include <pthread.h>
#include <unistd.h>
#include <csignal>

namespace platform {

namespace {

sigset_t StopSignals() {
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    return signals;
}

}  // namespace

bool OutputIsTerminal() {
    return isatty(STDOUT_FILENO) != 0;
}

bool ErrorOutputIsTerminal() {
    return isatty(STDERR_FILENO) != 0;
}

// Blocked before the program's threads exist, so they inherit the mask and
// only the sigwait of Wait ever sees the signal.
ConsoleStop::ConsoleStop() {
    const sigset_t signals = StopSignals();
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);
}

ConsoleStop::~ConsoleStop() = default;

void ConsoleStop::Wait() {
    const sigset_t signals = StopSignals();
    int received = 0;
    sigwait(&signals, &received);
}

}  // namespace platform
