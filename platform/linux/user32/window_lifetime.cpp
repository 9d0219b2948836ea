// Creating and destroying windows, the default window procedure, and the
// parent/child relations.
#include "platform/linux/display/window_backend.h"
#include "platform/linux/user32/message_queue.h"
#include "platform/linux/user32/mouse_input.h"
#include "platform/linux/user32/window_classes.h"
#include "platform/linux/user32/window_object.h"

namespace platform {

namespace {

// The window and its descendants, parents before their children.
void CollectTreeLocked(HWND hwnd, std::vector<std::shared_ptr<WindowObject>>& tree) {
    auto window = LookupWindowLocked(hwnd);
    if (!window) {
        return;
    }
    tree.push_back(window);
    for (HWND child : window->children) {
        CollectTreeLocked(child, tree);
    }
}

void SendDestroy(HWND hwnd) {
    SendMessageW(hwnd, WM_DESTROY, 0, 0);
    std::vector<HWND> children;
    {
        std::lock_guard<std::mutex> lock(WindowLock());
        if (auto window = LookupWindowLocked(hwnd)) {
            children = window->children;
        }
    }
    for (HWND child : children) {
        SendDestroy(child);
    }
}

void SendNcDestroy(HWND hwnd) {
    std::vector<HWND> children;
    {
        std::lock_guard<std::mutex> lock(WindowLock());
        if (auto window = LookupWindowLocked(hwnd)) {
            children = window->children;
        }
    }
    for (HWND child : children) {
        SendNcDestroy(child);
    }
    SendMessageW(hwnd, WM_NCDESTROY, 0, 0);
}

}  // namespace

}  // namespace platform

using platform::LookupWindow;
using platform::RequireWindow;
using platform::WindowLock;

HWND CreateWindowExW(DWORD dwExStyle, LPCWSTR lpClassName, LPCWSTR lpWindowName, DWORD dwStyle, int X, int Y,
                     int nWidth, int nHeight, HWND hWndParent, HMENU hMenu, HINSTANCE hInstance, LPVOID lpParam) {
    auto window = std::make_shared<platform::WindowObject>();
    if (!platform::FindWindowClass(lpClassName, window->className, window->proc)) {
        SetLastError(ERROR_CANNOT_FIND_WND_CLASS);
        return nullptr;
    }
    if (hWndParent && !platform::RequireWindow(hWndParent)) {
        return nullptr;
    }
    if ((dwStyle & WS_CHILD) && !hWndParent) {
        SetLastError(ERROR_TLW_WITH_WSCHILD);
        return nullptr;
    }
    if (!(dwStyle & (WS_POPUP | WS_CHILD))) {
        // An overlapped window always has a caption.
        dwStyle |= WS_CAPTION | WS_CLIPSIBLINGS;
    }
    window->queue = platform::MessageQueue::ForCurrentThread();
    // Shown only after WM_CREATE succeeded.
    window->style = dwStyle & ~static_cast<DWORD>(WS_VISIBLE);
    window->exStyle = dwExStyle;
    window->id = (dwStyle & WS_CHILD) ? static_cast<UINT>(reinterpret_cast<UINT_PTR>(hMenu)) : 0;
    window->parent = hWndParent;
    window->rect = RECT{X, Y, X + nWidth, Y + nHeight};
    window->text = lpWindowName ? lpWindowName : L"";
    HWND hwnd = nullptr;
    {
        std::lock_guard<std::mutex> lock(WindowLock());
        hwnd = platform::InsertWindowLocked(window);
    }
    platform::Backend().WindowCreated(hwnd, hWndParent, window->style, dwExStyle);
    platform::Backend().PlacementChanged(hwnd, window->rect);
    if (!window->text.empty()) {
        platform::Backend().TextChanged(hwnd, window->text);
    }
    platform::RunCreationHook(hwnd);
    CREATESTRUCTW create{
        lpParam,      hInstance,   hMenu,    hWndParent, nHeight, nWidth, Y, X, static_cast<LONG>(dwStyle),
        lpWindowName, lpClassName, dwExStyle};
    if (SendMessageW(hwnd, WM_CREATE, 0, reinterpret_cast<LPARAM>(&create)) == -1) {
        DestroyWindow(hwnd);
        return nullptr;
    }
    if (!IsWindow(hwnd)) {
        return nullptr;  // destroyed by its own WM_CREATE
    }
    if (dwStyle & WS_VISIBLE) {
        ShowWindow(hwnd, SW_SHOW);
    }
    return hwnd;
}

BOOL DestroyWindow(HWND hWnd) {
    auto window = RequireWindow(hWnd);
    if (!window) {
        return FALSE;
    }
    if (!platform::IsOwnerThread(*window)) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    std::vector<HWND> owned;
    {
        std::lock_guard<std::mutex> lock(WindowLock());
        if (window->destroying) {
            return TRUE;  // already on its way, from one of its own messages
        }
        window->destroying = true;
        for (const auto& other : platform::AllWindowsLocked()) {
            if (!other->IsChild() && other->parent == hWnd && platform::IsOwnerThread(*other)) {
                owned.push_back(other->handle);
            }
        }
    }
    // Owned windows go first, then the window's own tree.
    for (HWND hwnd : owned) {
        DestroyWindow(hwnd);
    }
    platform::SendDestroy(hWnd);
    platform::SendNcDestroy(hWnd);
    std::vector<std::shared_ptr<platform::WindowObject>> tree;
    {
        std::lock_guard<std::mutex> lock(WindowLock());
        platform::CollectTreeLocked(hWnd, tree);
        // Children before parents: a child finds its parent's list to leave.
        for (auto it = tree.rbegin(); it != tree.rend(); ++it) {
            platform::RemoveWindowLocked((*it)->handle);
        }
    }
    for (const auto& gone : tree) {
        if (platform::IsOwnerThread(*gone)) {
            gone->queue->Purge(gone->handle);
        }
        platform::ForgetMouseWindow(gone->handle);
        platform::Backend().WindowDestroyed(gone->handle);
    }
    return TRUE;
}

BOOL IsWindow(HWND hWnd) {
    return LookupWindow(hWnd) != nullptr;
}

BOOL IsChild(HWND hWndParent, HWND hWnd) {
    std::lock_guard<std::mutex> lock(WindowLock());
    return platform::IsDescendantLocked(hWndParent, hWnd);
}

HWND GetParent(HWND hWnd) {
    auto window = RequireWindow(hWnd);
    if (!window) {
        return nullptr;
    }
    std::lock_guard<std::mutex> lock(WindowLock());
    return (window->style & (WS_CHILD | WS_POPUP)) ? window->parent : nullptr;
}

HWND GetDlgItem(HWND hDlg, int nIDDlgItem) {
    std::lock_guard<std::mutex> lock(WindowLock());
    auto dialog = platform::RequireWindowLocked(hDlg);
    if (!dialog) {
        return nullptr;
    }
    for (HWND child : dialog->children) {
        auto control = platform::LookupWindowLocked(child);
        if (control && control->id == static_cast<UINT>(nIDDlgItem)) {
            return child;
        }
    }
    SetLastError(ERROR_CONTROL_ID_NOT_FOUND);
    return nullptr;
}

HWND FindWindowW(LPCWSTR lpClassName, LPCWSTR lpWindowName) {
    std::lock_guard<std::mutex> lock(WindowLock());
    // Topmost first, as Windows searches.
    for (HWND hwnd : platform::TopLevelLocked()) {
        auto window = platform::LookupWindowLocked(hwnd);
        if (window && !window->destroying &&
            (!lpClassName || platform::EqualClassName(window->className, lpClassName)) &&
            (!lpWindowName || window->text == lpWindowName)) {
            return hwnd;
        }
    }
    return nullptr;
}

int GetDlgCtrlID(HWND hWnd) {
    std::lock_guard<std::mutex> lock(WindowLock());
    auto window = platform::RequireWindowLocked(hWnd);
    if (!window) {
        return 0;
    }
    return static_cast<int>(window->id);
}

LRESULT CALLBACK DefWindowProcW(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) {
    switch (Msg) {
        case WM_CLOSE:
            DestroyWindow(hWnd);
            return 0;
        case WM_SETCURSOR: {
            // The parent may choose the cursor for its children.
            HWND parent = (GetWindowLongW(hWnd, GWL_STYLE) & WS_CHILD) ? GetParent(hWnd) : nullptr;
            if (parent && SendMessageW(parent, WM_SETCURSOR, wParam, lParam)) {
                return TRUE;
            }
            if (LOWORD(lParam) == HTCLIENT) {
                SetCursor(LoadCursorW(nullptr, IDC_ARROW));
                return TRUE;
            }
            return FALSE;
        }
        case WM_SYSCOMMAND:
            switch (wParam & 0xFFF0) {
                case SC_MOVE:
                    platform::BeginWindowMove(hWnd);
                    break;
                case SC_CLOSE:
                    SendMessageW(hWnd, WM_CLOSE, 0, 0);
                    break;
                case SC_MINIMIZE:
                    ShowWindow(hWnd, SW_MINIMIZE);
                    break;
                case SC_RESTORE:
                    ShowWindow(hWnd, SW_RESTORE);
                    break;
                default:
                    break;
            }
            return 0;
        case WM_NCHITTEST:
            return HTCLIENT;
        default:
            return 0;
    }
}

LRESULT CallWindowProcW(WNDPROC lpPrevWndFunc, HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) {
    return lpPrevWndFunc ? lpPrevWndFunc(hWnd, Msg, wParam, lParam) : 0;
}
