// The private messages through which the web page's external object hands
// its commands to the main window. Sent on the window thread with wParam 0
// and lParam pointing to the page's zero-terminated text, valid during the
// call only.
#pragma once

#include "platform/winuser.h"

inline constexpr UINT WM_STARTGAME = WM_USER + 1;
inline constexpr UINT WM_PCVERSION = WM_USER + 2;
inline constexpr UINT WM_PCVERSIONDATA = WM_USER + 3;
inline constexpr UINT WM_STARTGAMEDATA = WM_USER + 4;
