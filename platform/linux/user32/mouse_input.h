// Internal to the stand-in: the mouse as the window threads see it: cursor
// position, capture, hover and leave tracking, and the system's move of a
// window by the mouse when the backend leaves that to the stand-in.
#pragma once

#include "platform/winuser.h"

namespace platform {

POINT CursorPosition();
// Delivers a mouse message at a screen point to the window under it (or the
// capture), through that window's queue. From any thread.
void InjectMouseMessage(POINT screenPoint, UINT message);
// WM_SYSCOMMAND SC_MOVE: the backend moves the window, or the stand-in does
// with the mouse input it gets until the left button goes up.
void BeginWindowMove(HWND hwnd);
// The window is gone: its capture, tracking and move end.
void ForgetMouseWindow(HWND hwnd);

}  // namespace platform
