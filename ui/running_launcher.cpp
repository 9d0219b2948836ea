#include "ui/running_launcher.h"

#include "platform/winuser.h"
#include "ui/dialog_templates.h"

bool BringRunningLauncherToFront() {
    // The main window is a dialog of its own template's caption.
    const HWND window = FindWindowW(L"#32770", kMainWindowCaption);
    if (!window)
        return false;
    if (IsIconic(window))
        ShowWindow(window, SW_RESTORE);
    return SetForegroundWindow(window) != FALSE;
}
