// Driving windows without a user: what the headless front end and the tests
// use to find windows, read their state and give them mouse and keyboard
// input. Input goes the way a user's would: a mouse event reaches the window
// under the point (or the window holding the capture) through its thread's
// message queue, with WM_SETCURSOR, hover and leave tracking and the
// system's window move, as on a display.
#pragma once

#include "platform/layered_picture.h"
#include "platform/winuser.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace platform {

struct WindowInfo {
    HWND hwnd = nullptr;
    HWND parent = nullptr;  // as GetParent: parent of a child, owner of a popup
    std::wstring className;
    std::wstring text;
    UINT controlId = 0;
    UINT templateId = 0;  // the dialog template it was made from, 0 for none
    DWORD style = 0;
    DWORD exStyle = 0;
    bool visible = false;  // IsWindowVisible
    bool enabled = false;
    bool minimized = false;
    RECT windowRect{};  // screen coordinates
    // Set by SetLayeredWindowAttributes (LWA_COLORKEY / LWA_ALPHA).
    DWORD layeredFlags = 0;
    COLORREF colorKey = 0;
    // The last picture given to a per-pixel-alpha layered window, if any.
    std::shared_ptr<const LayeredPicture> picture;
};

// Windows of any thread in creation order; className NULL and templateId 0
// match every window.
std::vector<HWND> FindWindows(LPCWSTR className, UINT templateId);
// The newest window made from the dialog template, NULL when there is none.
HWND FindDialog(UINT templateId);
std::optional<WindowInfo> DescribeWindow(HWND hwnd);
// Top-level windows, topmost first.
std::vector<HWND> TopLevelZOrder();

// Mouse input at a screen point, from any thread.
void InjectMouseMove(POINT screenPoint);
void InjectMouseDown(POINT screenPoint);
void InjectMouseUp(POINT screenPoint);
// Down and up at one point.
inline void InjectClick(POINT screenPoint) {
    InjectMouseDown(screenPoint);
    InjectMouseUp(screenPoint);
}
// A point in a window's client area as a screen point.
inline POINT ClientPointToScreen(HWND hwnd, POINT clientPoint) {
    ClientToScreen(hwnd, &clientPoint);
    return clientPoint;
}
// WM_KEYDOWN then WM_KEYUP of a virtual key, posted to the window.
inline void InjectKey(HWND hwnd, UINT virtualKey) {
    PostMessageW(hwnd, WM_KEYDOWN, virtualKey, 0x00000001);
    PostMessageW(hwnd, WM_KEYUP, virtualKey, static_cast<LPARAM>(0xC0000001u));
}

// Runs the calling thread's message loop until done() holds or the time limit
// passes; false on the time limit. done() is checked whenever this thread has
// handled something (a message, a sent message, a call from another thread),
// so it should become true through what this thread handles.
bool RunMessagesUntil(const std::function<bool()>& done, DWORD timeoutMilliseconds);

struct RecordedMessageBox {
    HWND owner = nullptr;
    std::wstring text;
    std::wstring caption;
    UINT type = 0;
};
// The message boxes shown without a display since the last call.
std::vector<RecordedMessageBox> TakeMessageBoxes();

}  // namespace platform
