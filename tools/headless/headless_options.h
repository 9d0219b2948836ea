// The command line of quillmoor-headless: how the launcher is started and
// what the web page would do once the main window shows.
#pragma once

#include "platform/win_types.h"

#include <chrono>
#include <optional>
#include <stdexcept>
#include <string>
#include <variant>
#include <vector>

// One call of the page's window.external object: the window message it
// sends to the main dialog and its text.
struct PageCall {
    UINT message = 0;  // WM_PCVERSION, WM_STARTGAME, ...

    std::string method;  // as the page names it, for the log
    std::wstring text;
};

struct HeadlessOptions {
    // A start with "N:": the launcher's own check is skipped.
    bool afterUpdate = false;
    // PCVersion or PCVersionData, sent first; none: the game start waits.
    std::optional<PageCall> version;
    // StartGame or StartGameData, sent right after the version call.
    PageCall start;
    // Zero: no limit.
    std::chrono::milliseconds timeout{0};
    // Where the windows' pictures are saved; empty: nowhere.
    std::string snapshotFolder;
    // The diagnostic log's lines also go to stderr as they are written.
    bool verbose = false;
};

struct HeadlessHelp {
    std::string text;
};

using HeadlessCommand = std::variant<HeadlessHelp, HeadlessOptions>;

class HeadlessUsageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// args: the arguments after the program name (UTF-8).
HeadlessCommand ParseHeadlessCommand(const std::vector<std::string>& args);

// What each exit code of the program means.
enum HeadlessExitCode : int {
    kExitGameStarted = 0,
    kExitUpdateFailed = 1,
    kExitUsage = 2,
    kExitLauncherReplaced = 3,
    kExitTimedOut = 4,
    kExitEnded = 5,
    kExitAnotherLauncher = 6,
};
