// The page's commands, in one table: each method of the web page's
// window.external object, the private message through which the view hands
// it to the main window (sent on the window thread with wParam 0 and lParam
// pointing to the page's zero-terminated text, valid during the call only),
// and the quillmoor-headless option that plays it. The view's dispatch map,
// the main window's procedure (a handler On<Name> for each) and the headless
// front end all take their commands from here, so a new command is one new
// line.
#pragma once

#include "platform/winuser.h"

// X(Name, MESSAGE, offset from WM_USER, headless option, kind), in the order
// of the external object's dispatch ids (1, 2, ...).
#define QM_PAGE_COMMANDS(X)                                                             \
    X(StartGame, WM_STARTGAME, 1, "--start-game", PageCommandKind::kStart)              \
    X(StartGameData, WM_STARTGAMEDATA, 4, "--start-game-data", PageCommandKind::kStart) \
    X(PCVersion, WM_PCVERSION, 2, "--pc-version", PageCommandKind::kVersion)            \
    X(PCVersionData, WM_PCVERSIONDATA, 3, "--pc-version-data", PageCommandKind::kVersion)

// A version call names the client's version answer; a start call starts the
// game once the client is current.
enum class PageCommandKind { kVersion, kStart };

#define QM_PAGE_MESSAGE(name, message, offset, option, kind) inline constexpr UINT message = WM_USER + offset;
QM_PAGE_COMMANDS(QM_PAGE_MESSAGE)
#undef QM_PAGE_MESSAGE

struct PageCommand {
    const char* name;
    UINT message;
    const char* headlessOption;
    PageCommandKind kind;
};

inline constexpr PageCommand kPageCommands[] = {
#define QM_PAGE_COMMAND(name, message, offset, option, kind) {#name, message, option, kind},
    QM_PAGE_COMMANDS(QM_PAGE_COMMAND)
#undef QM_PAGE_COMMAND
};
