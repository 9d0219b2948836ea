// Window classes: RegisterClassW and the built-in "Button", "Static",
// "msctls_progress32" and dialog classes.
#include "platform/linux/user32/window_classes.h"

#include "platform/linux/user32/window_object.h"

#include <mutex>
#include <utility>
#include <vector>

namespace platform {

namespace {

// The push button's own behaviour: it takes the mouse on a press and tells
// its parent BN_CLICKED when the press ends inside it.
LRESULT CALLBACK ButtonClassProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_LBUTTONDOWN: {
            {
                std::lock_guard<std::mutex> lock(WindowLock());
                if (auto window = LookupWindowLocked(hwnd)) {
                    window->buttonPushed = true;
                }
            }
            SetCapture(hwnd);
            return 0;
        }
        case WM_LBUTTONUP: {
            bool pushed = false;
            {
                std::lock_guard<std::mutex> lock(WindowLock());
                if (auto window = LookupWindowLocked(hwnd)) {
                    pushed = std::exchange(window->buttonPushed, false);
                }
            }
            if (GetCapture() == hwnd) {
                ReleaseCapture();
            }
            RECT client{};
            GetClientRect(hwnd, &client);
            const POINT point{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
            const bool inside =
                point.x >= client.left && point.x < client.right && point.y >= client.top && point.y < client.bottom;
            if (pushed && inside) {
                SendMessageW(GetParent(hwnd), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(hwnd), BN_CLICKED),
                             reinterpret_cast<LPARAM>(hwnd));
            }
            return 0;
        }
        default:
            return DefWindowProcW(hwnd, message, wParam, lParam);
    }
}

// The dialog class "#32770": WM_CLOSE becomes a posted WM_COMMAND IDCANCEL,
// as a click on the dialog's cancel button (unless that one is disabled).
LRESULT CALLBACK DialogClassProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_CLOSE) {
        HWND cancel = GetDlgItem(hwnd, IDCANCEL);
        if (!cancel || IsWindowEnabled(cancel)) {
            PostMessageW(hwnd, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), reinterpret_cast<LPARAM>(cancel));
        }
        return 0;
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

struct WindowClass {
    std::wstring name;
    WNDPROC proc;
};

struct ClassTable {
    std::mutex mutex;
    std::vector<WindowClass> classes{
        {L"Button", ButtonClassProc},
        {L"Static", DefWindowProcW},
        {L"msctls_progress32", DefWindowProcW},
        {L"#32770", DialogClassProc},
    };
};

ClassTable& Classes() {
    static ClassTable* table = new ClassTable;
    return *table;
}

constexpr ATOM kFirstAtom = 0xC000;

}  // namespace

bool FindWindowClass(LPCWSTR className, std::wstring& registeredName, WNDPROC& proc) {
    if (!className) {
        return false;
    }
    ClassTable& table = Classes();
    std::lock_guard<std::mutex> lock(table.mutex);
    for (std::size_t i = 0; i < table.classes.size(); ++i) {
        const WindowClass& windowClass = table.classes[i];
        const bool match = IS_INTRESOURCE(className) ? reinterpret_cast<ULONG_PTR>(className) == kFirstAtom + i
                                                     : EqualClassName(windowClass.name, className);
        if (match) {
            registeredName = windowClass.name;
            proc = windowClass.proc;
            return true;
        }
    }
    return false;
}

}  // namespace platform

ATOM RegisterClassW(const WNDCLASSW* lpWndClass) {
    if (!lpWndClass || !lpWndClass->lpfnWndProc || !lpWndClass->lpszClassName ||
        IS_INTRESOURCE(lpWndClass->lpszClassName)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    platform::ClassTable& table = platform::Classes();
    std::lock_guard<std::mutex> lock(table.mutex);
    for (const auto& windowClass : table.classes) {
        if (platform::EqualClassName(windowClass.name, lpWndClass->lpszClassName)) {
            SetLastError(ERROR_CLASS_ALREADY_EXISTS);
            return 0;
        }
    }
    table.classes.push_back({lpWndClass->lpszClassName, lpWndClass->lpfnWndProc});
    return static_cast<ATOM>(platform::kFirstAtom + table.classes.size() - 1);
}
