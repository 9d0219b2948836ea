// Internal to the stand-in: the registered window classes and the procedures
// of the built-in ones.
#pragma once

#include "platform/winuser.h"

#include <string>

namespace platform {

// The class's registered name and procedure; false when there is no such class.
bool FindWindowClass(LPCWSTR className, std::wstring& registeredName, WNDPROC& proc);

// The dialog class "#32770": WM_CLOSE becomes a posted WM_COMMAND IDCANCEL
// (unless the dialog's IDCANCEL control is disabled); the rest is
// DefWindowProcW's.
LRESULT CALLBACK DialogClassProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

}  // namespace platform
