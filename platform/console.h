// The console of a command-line tool: whether its output and error output
// are terminals, and the request to end it (Ctrl+C, or the system ending it).
#pragma once

namespace platform {

bool OutputIsTerminal();
bool ErrorOutputIsTerminal();

// Create it before any thread starts: from then on a request to end the
// program only ends Wait, on the thread that waits.
class ConsoleStop {
public:
    ConsoleStop();
    ~ConsoleStop();
    ConsoleStop(const ConsoleStop&) = delete;
    ConsoleStop& operator=(const ConsoleStop&) = delete;

    void Wait();
};

}  // namespace platform
