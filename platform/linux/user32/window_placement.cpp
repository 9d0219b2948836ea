// Showing, hiding, minimising, moving, sizing and stacking windows, and the
// coordinate conversions.
#include "platform/linux/display/window_backend.h"
#include "platform/linux/user32/message_queue.h"
#include "platform/linux/user32/window_object.h"
#include "platform/thread_stop.h"

#include <algorithm>

namespace platform {

namespace {

ShowState ShowStateOf(DWORD style) {
    if (!(style & WS_VISIBLE)) {
        return ShowState::Hidden;
    }
    return (style & WS_MINIMIZE) ? ShowState::Minimized : ShowState::Normal;
}

// Sets or clears WS_VISIBLE; ShowWindow tells the window first, SetWindowPos
// does not.
void SetVisible(HWND hwnd, bool visible, bool sendShowWindow, LPARAM reason) {
    if (sendShowWindow) {
        SendMessageW(hwnd, WM_SHOWWINDOW, visible ? TRUE : FALSE, reason);
    }
    DWORD style = 0;
    {
        std::lock_guard<std::mutex> lock(WindowLock());
        auto window = LookupWindowLocked(hwnd);
        if (!window) {
            return;
        }
        if (visible) {
            window->style |= WS_VISIBLE;
        } else {
            window->style &= ~static_cast<DWORD>(WS_VISIBLE);
        }
        style = window->style;
    }
    Backend().ShowStateChanged(hwnd, ShowStateOf(style));
}

void Raise(HWND hwnd) {
    std::vector<ZOrderChange> changes;
    {
        std::lock_guard<std::mutex> lock(WindowLock());
        if (auto window = LookupWindowLocked(hwnd); window && !window->IsChild()) {
            changes = RaiseLocked(*window);
        }
    }
    NotifyZOrder(changes);
}

// The top-level windows of this thread that the window owns.
std::vector<std::shared_ptr<WindowObject>> OwnedLocked(HWND owner) {
    std::vector<std::shared_ptr<WindowObject>> owned;
    for (auto& window : AllWindowsLocked()) {
        if (!window->IsChild() && window->parent == owner && IsOwnerThread(*window)) {
            owned.push_back(window);
        }
    }
    return owned;
}

// A minimised window takes the windows it owns out of sight with it.
void Minimize(HWND hwnd) {
    std::vector<HWND> hidden;
    DWORD style = 0;
    {
        std::lock_guard<std::mutex> lock(WindowLock());
        auto window = LookupWindowLocked(hwnd);
        if (!window) {
            return;
        }
        window->style |= WS_MINIMIZE;
        style = window->style;
        for (auto& owned : OwnedLocked(hwnd)) {
            if (owned->style & WS_VISIBLE) {
                owned->hiddenWithOwner = true;
                hidden.push_back(owned->handle);
            }
        }
    }
    for (HWND owned : hidden) {
        SetVisible(owned, false, true, SW_PARENTCLOSING);
    }
    Backend().ShowStateChanged(hwnd, ShowStateOf(style));
    SendMessageW(hwnd, WM_SIZE, SIZE_MINIMIZED, 0);
}

void Restore(HWND hwnd) {
    std::vector<HWND> shown;
    DWORD style = 0;
    RECT client{};
    {
        std::lock_guard<std::mutex> lock(WindowLock());
        auto window = LookupWindowLocked(hwnd);
        if (!window) {
            return;
        }
        window->style &= ~static_cast<DWORD>(WS_MINIMIZE);
        style = window->style;
        client = ClientRectLocked(*window);
        for (auto& owned : OwnedLocked(hwnd)) {
            if (owned->hiddenWithOwner) {
                owned->hiddenWithOwner = false;
                shown.push_back(owned->handle);
            }
        }
    }
    Backend().ShowStateChanged(hwnd, ShowStateOf(style));
    SendMessageW(hwnd, WM_SIZE, SIZE_RESTORED, MAKELPARAM(client.right, client.bottom));
    for (HWND owned : shown) {
        SetVisible(owned, true, true, SW_PARENTOPENING);
    }
}

BOOL ShowOnOwnerThread(HWND hwnd, int command) {
    DWORD style = 0;
    {
        std::lock_guard<std::mutex> lock(WindowLock());
        auto window = RequireWindowLocked(hwnd);
        if (!window) {
            return FALSE;
        }
        style = window->style;
    }
    const bool wasVisible = style & WS_VISIBLE;
    const bool minimized = style & WS_MINIMIZE;
    switch (command) {
        case SW_HIDE:
            if (wasVisible) {
                SetVisible(hwnd, false, true, 0);
            }
            break;
        case SW_MINIMIZE:
        case SW_SHOWMINIMIZED:
        case SW_SHOWMINNOACTIVE:
            if (!wasVisible) {
                SetVisible(hwnd, true, true, 0);
            }
            if (!minimized) {
                Minimize(hwnd);
            }
            break;
        case SW_SHOWNORMAL:
        case SW_RESTORE:
        case SW_SHOW:
        case SW_SHOWNA:
        case SW_SHOWNOACTIVATE:
            if (minimized && (command == SW_SHOWNORMAL || command == SW_RESTORE)) {
                Restore(hwnd);
            }
            if (!wasVisible) {
                SetVisible(hwnd, true, true, 0);
            }
            // Activation brings a top-level window to the top.
            if (command == SW_SHOWNORMAL || command == SW_RESTORE || command == SW_SHOW) {
                Raise(hwnd);
            }
            break;
        default:
            SetLastError(ERROR_INVALID_PARAMETER);
            break;
    }
    return wasVisible ? TRUE : FALSE;
}

BOOL SetWindowPosOnOwnerThread(HWND hwnd, HWND insertAfter, int x, int y, int cx, int cy, UINT flags) {
    RECT rect{};
    POINT oldPosition{};
    POINT newPosition{};
    RECT oldClient{};
    RECT newClient{};
    std::vector<ZOrderChange> changes;
    bool placementChanged = false;
    {
        std::lock_guard<std::mutex> lock(WindowLock());
        auto window = RequireWindowLocked(hwnd);
        if (!window) {
            return FALSE;
        }
        // WM_MOVE tells where the client area lies: in screen coordinates for
        // a top-level window, in the parent's client coordinates for a child.
        auto clientPosition = [&] {
            if (!window->IsChild()) {
                return ClientOriginLocked(*window);
            }
            const RECT insets = FrameInsets(window->style, window->exStyle);
            return POINT{window->rect.left + insets.left, window->rect.top + insets.top};
        };
        oldPosition = clientPosition();
        oldClient = ClientRectLocked(*window);
        rect = window->rect;
        if (!(flags & SWP_NOMOVE)) {
            rect = RECT{x, y, x + (rect.right - rect.left), y + (rect.bottom - rect.top)};
        }
        if (!(flags & SWP_NOSIZE)) {
            rect.right = rect.left + std::max(cx, 0);
            rect.bottom = rect.top + std::max(cy, 0);
        }
        placementChanged = rect.left != window->rect.left || rect.top != window->rect.top ||
                           rect.right != window->rect.right || rect.bottom != window->rect.bottom;
        window->rect = rect;
        if (!(flags & SWP_NOZORDER)) {
            changes = PlaceLocked(*window, insertAfter);
        }
        newPosition = clientPosition();
        newClient = ClientRectLocked(*window);
    }
    if (placementChanged || (flags & SWP_FRAMECHANGED)) {
        Backend().PlacementChanged(hwnd, rect);
    }
    NotifyZOrder(changes);
    if (newPosition.x != oldPosition.x || newPosition.y != oldPosition.y) {
        SendMessageW(hwnd, WM_MOVE, 0, MAKELPARAM(newPosition.x, newPosition.y));
    }
    if (newClient.right != oldClient.right || newClient.bottom != oldClient.bottom) {
        SendMessageW(hwnd, WM_SIZE, SIZE_RESTORED, MAKELPARAM(newClient.right, newClient.bottom));
    }
    if (flags & SWP_SHOWWINDOW) {
        SetVisible(hwnd, true, false, 0);
    } else if (flags & SWP_HIDEWINDOW) {
        SetVisible(hwnd, false, false, 0);
    }
    return TRUE;
}

template <class Fn>
BOOL ReadWindow(HWND hwnd, Fn&& read) {
    std::lock_guard<std::mutex> lock(WindowLock());
    auto window = RequireWindowLocked(hwnd);
    if (!window) {
        return FALSE;
    }
    read(*window);
    return TRUE;
}

}  // namespace

BOOL SetLayeredPicture(HWND hwnd, const POINT* position, std::shared_ptr<const LayeredPicture> picture) {
    auto window = RequireWindow(hwnd);
    if (!window) {
        return FALSE;
    }
    if (!picture) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (!IsOwnerThread(*window)) {
        SetLastError(ERROR_WINDOW_OF_OTHER_THREAD);
        return FALSE;
    }
    {
        std::lock_guard<std::mutex> lock(WindowLock());
        // A window shows either a picture or its attributes, never both.
        if (!(window->exStyle & WS_EX_LAYERED) || window->layeredFlags != 0) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return FALSE;
        }
    }
    const UINT flags = SWP_NOZORDER | SWP_NOACTIVATE | (position ? 0 : SWP_NOMOVE);
    SetWindowPosOnOwnerThread(hwnd, nullptr, position ? position->x : 0, position ? position->y : 0, picture->size.cx,
                              picture->size.cy, flags);
    {
        std::lock_guard<std::mutex> lock(WindowLock());
        window->picture = picture;
    }
    Backend().LayeredPictureChanged(hwnd, picture);
    return TRUE;
}

}  // namespace platform

BOOL ShowWindow(HWND hWnd, int nCmdShow) {
    // A visible step: a stopped thread shows and hides nothing.
    platform::StopPoint();
    if (platform::StopRequested()) {
        SetLastError(ERROR_CANCELLED);
        return FALSE;
    }
    auto window = platform::RequireWindow(hWnd);
    if (!window) {
        return FALSE;
    }
    if (platform::IsOwnerThread(*window)) {
        return platform::ShowOnOwnerThread(hWnd, nCmdShow);
    }
    BOOL wasVisible = FALSE;
    {
        std::lock_guard<std::mutex> lock(platform::WindowLock());
        wasVisible = (window->style & WS_VISIBLE) ? TRUE : FALSE;
    }
    if (!window->queue->PostCall([hWnd, nCmdShow] { platform::ShowOnOwnerThread(hWnd, nCmdShow); })) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    }
    return wasVisible;
}

BOOL IsWindowVisible(HWND hWnd) {
    std::lock_guard<std::mutex> lock(platform::WindowLock());
    auto window = platform::LookupWindowLocked(hWnd);
    return window && platform::IsVisibleLocked(*window);
}

BOOL IsIconic(HWND hWnd) {
    std::lock_guard<std::mutex> lock(platform::WindowLock());
    auto window = platform::LookupWindowLocked(hWnd);
    return window && (window->style & WS_MINIMIZE);
}

BOOL SetWindowPos(HWND hWnd, HWND hWndInsertAfter, int X, int Y, int cx, int cy, UINT uFlags) {
    return static_cast<BOOL>(platform::CallOnWindowThread(hWnd, [=]() -> LRESULT {
        return platform::SetWindowPosOnOwnerThread(hWnd, hWndInsertAfter, X, Y, cx, cy, uFlags);
    }));
}

BOOL SetForegroundWindow(HWND hWnd) {
    return SetWindowPos(hWnd, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
}

BOOL MoveWindow(HWND hWnd, int X, int Y, int nWidth, int nHeight, BOOL bRepaint) {
    return SetWindowPos(hWnd, nullptr, X, Y, nWidth, nHeight,
                        SWP_NOZORDER | SWP_NOACTIVATE | (bRepaint ? 0 : SWP_NOREDRAW));
}

BOOL GetWindowRect(HWND hWnd, LPRECT lpRect) {
    if (!lpRect) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    return platform::ReadWindow(hWnd,
                                [&](const platform::WindowObject& w) { *lpRect = platform::ScreenRectLocked(w); });
}

BOOL GetClientRect(HWND hWnd, LPRECT lpRect) {
    if (!lpRect) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    return platform::ReadWindow(hWnd,
                                [&](const platform::WindowObject& w) { *lpRect = platform::ClientRectLocked(w); });
}

BOOL ScreenToClient(HWND hWnd, LPPOINT lpPoint) {
    if (!lpPoint) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    return platform::ReadWindow(hWnd, [&](const platform::WindowObject& w) {
        const POINT origin = platform::ClientOriginLocked(w);
        lpPoint->x -= origin.x;
        lpPoint->y -= origin.y;
    });
}

BOOL ClientToScreen(HWND hWnd, LPPOINT lpPoint) {
    if (!lpPoint) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    return platform::ReadWindow(hWnd, [&](const platform::WindowObject& w) {
        const POINT origin = platform::ClientOriginLocked(w);
        lpPoint->x += origin.x;
        lpPoint->y += origin.y;
    });
}

BOOL AdjustWindowRectEx(LPRECT lpRect, DWORD dwStyle, BOOL bMenu, DWORD dwExStyle) {
    if (!lpRect) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    const RECT insets = platform::FrameInsets(dwStyle, dwExStyle);
    lpRect->left -= insets.left;
    lpRect->top -= insets.top + (bMenu ? 19 : 0);
    lpRect->right += insets.right;
    lpRect->bottom += insets.bottom;
    return TRUE;
}

BOOL AdjustWindowRect(LPRECT lpRect, DWORD dwStyle, BOOL bMenu) {
    return AdjustWindowRectEx(lpRect, dwStyle, bMenu, 0);
}
