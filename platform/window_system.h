// What the framework subset (platform/framework/mfc) needs of the window system
// beyond the user32 functions: attaching its objects to windows as they are
// made, dialog windows from templates, and the display. The framework is
// written once; each system's window side provides these (on Linux the
// user32 stand-in and the GTK display backend).
#pragma once

#include "platform/dialog_template.h"
#include "platform/winuser.h"

#include <functional>

namespace platform {

// The next window the calling thread creates is handed to the hook after it
// exists and before its first message (how the framework attaches its
// object); the hook is then used up. Scoped, so nested creations keep theirs.
class ScopedCreationHook {
public:
    explicit ScopedCreationHook(std::function<void(HWND)> hook);
    ~ScopedCreationHook();
    ScopedCreationHook(const ScopedCreationHook&) = delete;
    ScopedCreationHook& operator=(const ScopedCreationHook&) = delete;

private:
    std::function<void(HWND)> m_previous;
};

// Notes the template a dialog window was made from (WindowInfo::templateId,
// FindDialog); each system keeps it its own way.
void RecordDialogTemplate(HWND dialog, UINT templateId);

// Creates the dialog window (class "#32770", the template's style without
// WS_VISIBLE), then its controls in template order, then sends WM_INITDIALOG;
// shows it when the template has WS_VISIBLE. The window is placed at the
// template's position relative to the owner's client area (the screen without
// an owner), centred in the work area with DS_CENTER. NULL when the dialog
// window could not be made (WM_CREATE returned -1) or did not survive its
// WM_INITDIALOG.
HWND CreateDialogWindow(const DialogTemplate& dialogTemplate, HWND owner);

// Shows windows on the display when one can be opened ($DISPLAY set and GTK
// starts); otherwise they stay headless. Call on the process's first thread
// before its first window. True when a display was taken.
bool InstallDisplayBackend();
// Whether InstallDisplayBackend took a display.
bool DisplayInstalled();
// Where the system can run windows without showing them (Linux: the
// headless backend, by opening no display), InstallDisplayBackend takes no
// display after this call. Windows has no such mode: the windows show.
void KeepWindowsOffScreen();

}  // namespace platform
