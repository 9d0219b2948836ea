// The user32 call that hands a layered window its picture, under its Win32
// name in namespace platform::win32: platform/winuser.h routes the plain name
// here, so that the window's last picture can be read back (DescribeWindow)
// as on Linux. This calls the real function.
#pragma once

#include <windows.h>

namespace platform::win32 {

BOOL UpdateLayeredWindow(HWND hWnd, HDC hdcDst, POINT* pptDst, SIZE* psize, HDC hdcSrc, POINT* pptSrc, COLORREF crKey,
                         BLENDFUNCTION* pblend, DWORD dwFlags);

}  // namespace platform::win32
