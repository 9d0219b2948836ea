// Enabled state, window text, window longs and layered attributes, and
// user32.dll's exports by name.
#include "platform/linux/display/window_backend.h"
#include "platform/linux/kernel32/system_modules.h"
#include "platform/linux/user32/mouse_input.h"
#include "platform/linux/user32/window_object.h"

#include <algorithm>
#include <utility>

namespace platform {

namespace {

// The bits ShowWindow, EnableWindow and minimising own.
constexpr DWORD kStateBits = WS_VISIBLE | WS_DISABLED | WS_MINIMIZE;

LRESULT EnableOnOwnerThread(HWND hwnd, bool enable) {
    {
        std::lock_guard<std::mutex> lock(WindowLock());
        auto window = LookupWindowLocked(hwnd);
        if (!window) {
            return FALSE;
        }
        const bool wasDisabled = window->style & WS_DISABLED;
        if (wasDisabled != enable) {
            return wasDisabled;  // no change, no message
        }
        if (enable) {
            window->style &= ~static_cast<DWORD>(WS_DISABLED);
        } else {
            window->style |= WS_DISABLED;
        }
    }
    if (!enable && GetCapture() == hwnd) {
        ReleaseCapture();
    }
    Backend().EnabledChanged(hwnd, enable);
    SendMessageW(hwnd, WM_ENABLE, enable ? TRUE : FALSE, 0);
    return enable ? TRUE : FALSE;  // it was disabled exactly when it is enabled now
}

LONG_PTR SetLongOnOwnerThread(HWND hwnd, int index, LONG_PTR value) {
    LONG_PTR previous = 0;
    DWORD style = 0;
    DWORD exStyle = 0;
    {
        std::lock_guard<std::mutex> lock(WindowLock());
        auto window = RequireWindowLocked(hwnd);
        if (!window) {
            return 0;
        }
        switch (index) {
            case GWLP_WNDPROC:
                if (!value) {
                    SetLastError(ERROR_INVALID_PARAMETER);
                    return 0;
                }
                previous = reinterpret_cast<LONG_PTR>(window->proc);
                window->proc = reinterpret_cast<WNDPROC>(value);
                return previous;
            case GWLP_USERDATA:
                return std::exchange(window->userData, value);
            case GWL_ID:
                return static_cast<LONG>(std::exchange(window->id, static_cast<UINT>(value)));
            case GWL_STYLE:
                previous = static_cast<LONG>(window->style);
                window->style = (static_cast<DWORD>(value) & ~kStateBits) | (window->style & kStateBits);
                break;
            case GWL_EXSTYLE:
                previous = static_cast<LONG>(window->exStyle);
                // Topmost changes only through SetWindowPos.
                window->exStyle = (static_cast<DWORD>(value) & ~static_cast<DWORD>(WS_EX_TOPMOST)) |
                                  (window->exStyle & WS_EX_TOPMOST);
                if (!(window->exStyle & WS_EX_LAYERED)) {
                    window->layeredFlags = 0;
                    window->picture.reset();
                }
                break;
            default:
                SetLastError(ERROR_INVALID_INDEX);
                return 0;
        }
        style = window->style;
        exStyle = window->exStyle;
    }
    Backend().StyleChanged(hwnd, style, exStyle);
    return previous;
}

}  // namespace

}  // namespace platform

BOOL EnableWindow(HWND hWnd, BOOL bEnable) {
    const bool enable = bEnable != FALSE;
    return static_cast<BOOL>(
        platform::CallOnWindowThread(hWnd, [=] { return platform::EnableOnOwnerThread(hWnd, enable); }));
}

BOOL IsWindowEnabled(HWND hWnd) {
    std::lock_guard<std::mutex> lock(platform::WindowLock());
    auto window = platform::LookupWindowLocked(hWnd);
    return window && !(window->style & WS_DISABLED);
}

BOOL SetWindowTextW(HWND hWnd, LPCWSTR lpString) {
    std::wstring text = lpString ? lpString : L"";
    return static_cast<BOOL>(platform::CallOnWindowThread(hWnd, [hWnd, text]() -> LRESULT {
        {
            std::lock_guard<std::mutex> lock(platform::WindowLock());
            auto window = platform::LookupWindowLocked(hWnd);
            if (!window) {
                return FALSE;
            }
            window->text = text;
        }
        platform::Backend().TextChanged(hWnd, text);
        return TRUE;
    }));
}

int GetWindowTextW(HWND hWnd, LPWSTR lpString, int nMaxCount) {
    if (!lpString || nMaxCount <= 0) {
        return 0;
    }
    std::lock_guard<std::mutex> lock(platform::WindowLock());
    auto window = platform::RequireWindowLocked(hWnd);
    if (!window) {
        lpString[0] = L'\0';
        return 0;
    }
    // Truncated to the buffer, always terminated.
    const std::size_t count = std::min(window->text.size(), static_cast<std::size_t>(nMaxCount - 1));
    window->text.copy(lpString, count);
    lpString[count] = L'\0';
    return static_cast<int>(count);
}

int GetWindowTextLengthW(HWND hWnd) {
    std::lock_guard<std::mutex> lock(platform::WindowLock());
    auto window = platform::LookupWindowLocked(hWnd);
    return window ? static_cast<int>(window->text.size()) : 0;
}

LONG_PTR GetWindowLongPtrW(HWND hWnd, int nIndex) {
    std::lock_guard<std::mutex> lock(platform::WindowLock());
    auto window = platform::RequireWindowLocked(hWnd);
    if (!window) {
        return 0;
    }
    switch (nIndex) {
        case GWLP_WNDPROC:
            return reinterpret_cast<LONG_PTR>(window->proc);
        case GWLP_USERDATA:
            return window->userData;
        case GWL_ID:
            return static_cast<LONG>(window->id);
        case GWL_STYLE:
            return static_cast<LONG>(window->style);
        case GWL_EXSTYLE:
            return static_cast<LONG>(window->exStyle);
        default:
            SetLastError(ERROR_INVALID_INDEX);
            return 0;
    }
}

LONG_PTR SetWindowLongPtrW(HWND hWnd, int nIndex, LONG_PTR dwNewLong) {
    return platform::CallOnWindowThread(hWnd, [=] { return platform::SetLongOnOwnerThread(hWnd, nIndex, dwNewLong); });
}

LONG GetWindowLongW(HWND hWnd, int nIndex) {
    if (nIndex == GWLP_WNDPROC || nIndex == GWLP_USERDATA) {
        SetLastError(ERROR_INVALID_INDEX);  // pointers do not fit a LONG here
        return 0;
    }
    return static_cast<LONG>(GetWindowLongPtrW(hWnd, nIndex));
}

LONG SetWindowLongW(HWND hWnd, int nIndex, LONG dwNewLong) {
    if (nIndex == GWLP_WNDPROC || nIndex == GWLP_USERDATA) {
        SetLastError(ERROR_INVALID_INDEX);
        return 0;
    }
    if (nIndex == GWL_STYLE || nIndex == GWL_EXSTYLE) {
        // Style bits are unsigned; keep them out of sign extension.
        return static_cast<LONG>(SetWindowLongPtrW(hWnd, nIndex, static_cast<LONG_PTR>(static_cast<DWORD>(dwNewLong))));
    }
    return static_cast<LONG>(SetWindowLongPtrW(hWnd, nIndex, dwNewLong));
}

BOOL SetLayeredWindowAttributes(HWND hwnd, COLORREF crKey, BYTE bAlpha, DWORD dwFlags) {
    return static_cast<BOOL>(platform::CallOnWindowThread(hwnd, [=]() -> LRESULT {
        {
            std::lock_guard<std::mutex> lock(platform::WindowLock());
            auto window = platform::LookupWindowLocked(hwnd);
            if (!window || !(window->exStyle & WS_EX_LAYERED)) {
                SetLastError(ERROR_INVALID_PARAMETER);
                return FALSE;
            }
            window->layeredFlags = dwFlags & (LWA_COLORKEY | LWA_ALPHA);
            window->colorKey = crKey;
            window->layeredAlpha = bAlpha;
            window->picture.reset();
        }
        platform::Backend().LayeredAttributesChanged(hwnd, crKey, bAlpha, dwFlags);
        return TRUE;
    }));
}

namespace {

// What GetProcAddress finds in user32.dll: the functions the launcher
// resolves at run time, as it would on systems that may lack them.
FARPROC User32Export(std::string_view name) {
    if (name == "SetLayeredWindowAttributes") {
        return reinterpret_cast<FARPROC>(&SetLayeredWindowAttributes);
    }
    return nullptr;
}

// Offered while the statics start, so that they are there from main on.
[[maybe_unused]] const bool g_user32ExportsOffered = (platform::OfferUser32Exports(&User32Export), true);

}  // namespace
