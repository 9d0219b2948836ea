// What the update threads need of the windows. The user interface's main
// window, page window and progress dialog implement these; the threads never
// see more of them. Every call may come from any thread.
#pragma once

#include "platform/win_types.h"

#include <string>

// The launcher's main window.
class ILauncherWindow {
public:
    virtual HWND GetWindowHandle() = 0;
    // The argument text the page handed over for the game.
    virtual std::wstring GetGameArgs() = 0;

protected:
    ~ILauncherWindow() = default;
};

// The window that shows the publisher's page.
class IWebPageWindow {
public:
    virtual HWND GetWindowHandle() = 0;
    // Shows the configured web page again; carried out on the window thread.
    virtual void ShowStartPage() = 0;

protected:
    ~IWebPageWindow() = default;
};

// The progress dialog while it is open.
class IProgressWindow {
public:
    virtual HWND GetWindowHandle() = 0;
    // Its close was asked for by the launcher, not by the player.
    virtual void MarkClosedByLauncher() = 0;

protected:
    ~IProgressWindow() = default;
};
