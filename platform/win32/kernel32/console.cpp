#include "platform/console.h"

#include <windows.h>

#include <io.h>
#include <cstdio>

namespace platform {

namespace {

HANDLE g_stopped = nullptr;

BOOL WINAPI OnConsoleEvent(DWORD) {
    SetEvent(g_stopped);
    return TRUE;  // handled: Wait returns and the program ends in order
}

}  // namespace

bool OutputIsTerminal() {
    return _isatty(_fileno(stdout)) != 0;
}

bool ErrorOutputIsTerminal() {
    return _isatty(_fileno(stderr)) != 0;
}

ConsoleStop::ConsoleStop() {
    g_stopped = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
}

ConsoleStop::~ConsoleStop() {
    SetConsoleCtrlHandler(OnConsoleEvent, FALSE);
    CloseHandle(g_stopped);
    g_stopped = nullptr;
}

void ConsoleStop::Wait() {
    WaitForSingleObject(g_stopped, INFINITE);
}

}  // namespace platform
