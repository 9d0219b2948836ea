// Internal to the stand-in: the object behind an HWND, the process-wide
// window table, and the geometry, z-order and hit-testing rules that the
// user32 functions share.
//
// Every field of every WindowObject is guarded by WindowLock(). No window
// procedure, backend call or message send runs with the lock held: the
// functions take what they need under the lock, let go, then call out.
#pragma once

#include "platform/layered_picture.h"
#include "platform/winuser.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

class MessageQueue;

struct WindowObject {
    HWND handle = nullptr;
    std::shared_ptr<MessageQueue> queue;  // of the owner thread
    std::uint64_t serial = 0;             // creation order
    std::wstring className;
    WNDPROC proc = nullptr;
    LONG_PTR userData = 0;
    DWORD style = 0;  // WS_VISIBLE, WS_DISABLED and WS_MINIMIZE are the state
    DWORD exStyle = 0;
    UINT id = 0;
    HWND parent = nullptr;  // the parent of a WS_CHILD window, else the owner
    // Child windows: parent's client coordinates; others: screen coordinates.
    RECT rect{};
    std::wstring text;
    UINT templateId = 0;
    std::vector<HWND> children;    // top of the z-order first
    bool hiddenWithOwner = false;  // hidden because its owner was minimised
    bool destroying = false;
    DWORD layeredFlags = 0;  // LWA_COLORKEY / LWA_ALPHA
    COLORREF colorKey = 0;
    BYTE layeredAlpha = 255;
    std::shared_ptr<const LayeredPicture> picture;
    bool buttonPushed = false;  // state of the "Button" class

    bool IsChild() const { return (style & WS_CHILD) != 0; }
};

std::mutex& WindowLock();

// Class names compare without regard to case.
bool EqualClassName(std::wstring_view a, std::wstring_view b);

// ---- under WindowLock()
std::shared_ptr<WindowObject> LookupWindowLocked(HWND hwnd);
// LookupWindowLocked for a function that fails on a handle that is not a
// window: null then, with ERROR_INVALID_WINDOW_HANDLE as the last error.
std::shared_ptr<WindowObject> RequireWindowLocked(HWND hwnd);
// Every window, in creation order.
std::vector<std::shared_ptr<WindowObject>> AllWindowsLocked();
// Top-level windows, topmost first.
const std::vector<HWND>& TopLevelLocked();
RECT ScreenRectLocked(const WindowObject& window);
// The client area's top-left corner in screen coordinates.
POINT ClientOriginLocked(const WindowObject& window);
RECT ClientRectLocked(const WindowObject& window);
// The window and each parent have WS_VISIBLE.
bool IsVisibleLocked(const WindowObject& window);
bool IsDescendantLocked(HWND ancestor, HWND hwnd);
// The window that the mouse reaches at a screen point: the topmost visible
// top-level window there that is not transparent at that point, then its
// deepest visible child there (a disabled child stops at its parent; a
// static control without SS_NOTIFY lets the point through).
HWND WindowFromPointLocked(POINT screenPoint);

// ---- z-order changes, returned so that the caller can tell the backend
struct ZOrderChange {
    HWND hwnd;
    bool topmost;
    HWND below;
};
// To the top of its band (topmost or not) among its siblings; the windows it
// owns follow it to the top.
std::vector<ZOrderChange> RaiseLocked(WindowObject& window);
// SetWindowPos placement: HWND_TOP, HWND_BOTTOM, HWND_TOPMOST,
// HWND_NOTOPMOST or directly below a sibling.
std::vector<ZOrderChange> PlaceLocked(WindowObject& window, HWND insertAfter);

// ---- table changes
// Adds a new window: a handle, the parent's child list or the top-level
// z-order. Returns its handle.
HWND InsertWindowLocked(std::shared_ptr<WindowObject> window);
// Takes a window out of the table, its parent's child list and the z-order.
void RemoveWindowLocked(HWND hwnd);
// The owner thread ended: its windows go without messages, as on Windows.
void DetachThreadWindows(const MessageQueue* queue);

// ---- not under the lock
std::shared_ptr<WindowObject> LookupWindow(HWND hwnd);
// LookupWindow for a function that fails on a handle that is not a window:
// null then, with ERROR_INVALID_WINDOW_HANDLE as the last error.
std::shared_ptr<WindowObject> RequireWindow(HWND hwnd);
// Frame sizes that a style adds around the client area.
RECT FrameInsets(DWORD style, DWORD exStyle);
// Tells the backend about z-order changes.
void NotifyZOrder(const std::vector<ZOrderChange>& changes);
// Runs fn on the window's thread: directly there, otherwise as a sent
// message that the caller waits for. 0 when the window or its thread is gone.
LRESULT CallOnWindowThread(HWND hwnd, std::function<LRESULT()> fn);
// True on the window's own thread.
bool IsOwnerThread(const WindowObject& window);

// Called by window creation: runs and clears the pending hook, if any
// (ScopedCreationHook, window_system.h).
void RunCreationHook(HWND hwnd);

// The picture of a per-pixel-alpha layered window (what UpdateLayeredWindow
// hands over); optionally moves the window, and sizes it to the picture.
// Needs WS_EX_LAYERED and no SetLayeredWindowAttributes; owner thread.
BOOL SetLayeredPicture(HWND hwnd, const POINT* position, std::shared_ptr<const LayeredPicture> picture);
// Marks a dialog with the template it was made from.
void SetWindowTemplateId(HWND hwnd, UINT templateId);

}  // namespace platform
