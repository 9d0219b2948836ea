// Dialog windows made from templates, dialog units and the dialog's
// keyboard handling.
#include "platform/window_system.h"

#include "platform/linux/display/window_backend.h"
#include "platform/linux/user32/window_object.h"

#include <cmath>

namespace platform {

namespace {

// One base unit of every dialog, whatever its font: 6 x 13 pixels, the base
// of an 8-point dialog font at 96 DPI. A dialog unit is a quarter of the
// base width and an eighth of the base height.
constexpr int kBaseUnitX = 6;
constexpr int kBaseUnitY = 13;

LONG Scale(LONG value, int numerator, int denominator) {
    return static_cast<LONG>(std::lround(static_cast<double>(value) * numerator / denominator));
}

RECT DialogUnitsToPixels(RECT rect) {
    return RECT{Scale(rect.left, kBaseUnitX, 4), Scale(rect.top, kBaseUnitY, 8), Scale(rect.right, kBaseUnitX, 4),
                Scale(rect.bottom, kBaseUnitY, 8)};
}

}  // namespace

HWND CreateDialogWindow(const DialogTemplate& dialogTemplate, HWND owner) {
    const DWORD style = dialogTemplate.style & ~static_cast<DWORD>(WS_VISIBLE);
    const DWORD exStyle = dialogTemplate.exStyle | ((style & DS_MODALFRAME) ? WS_EX_DLGMODALFRAME : 0);
    // The frame that the window will get: an overlapped window gets a caption.
    const DWORD frameStyle = (style & (WS_POPUP | WS_CHILD)) ? style : style | WS_CAPTION;
    RECT frame = DialogUnitsToPixels(RECT{0, 0, dialogTemplate.cx, dialogTemplate.cy});
    AdjustWindowRectEx(&frame, frameStyle, FALSE, exStyle);
    const int width = frame.right - frame.left;
    const int height = frame.bottom - frame.top;
    POINT position{};
    if (style & DS_CENTER) {
        const RECT work = Backend().WorkArea();
        position =
            POINT{work.left + (work.right - work.left - width) / 2, work.top + (work.bottom - work.top - height) / 2};
    } else {
        const RECT at = DialogUnitsToPixels(RECT{dialogTemplate.x, dialogTemplate.y, 0, 0});
        position = POINT{at.left, at.top};
        if (owner) {
            ClientToScreen(owner, &position);
        }
    }
    HWND dialog = CreateWindowExW(exStyle, L"#32770", dialogTemplate.caption.c_str(), style, position.x, position.y,
                                  width, height, owner, nullptr, nullptr, nullptr);
    if (!dialog) {
        return nullptr;
    }
    SetWindowTemplateId(dialog, dialogTemplate.id);
    HWND first = nullptr;
    for (const DialogControlTemplate& control : dialogTemplate.controls) {
        const RECT rect = DialogUnitsToPixels(RECT{control.x, control.y, static_cast<LONG>(control.x + control.cx),
                                                   static_cast<LONG>(control.y + control.cy)});
        HWND hwnd =
            CreateWindowExW(control.exStyle, control.className.c_str(), control.text.c_str(), control.style | WS_CHILD,
                            rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top, dialog,
                            reinterpret_cast<HMENU>(static_cast<UINT_PTR>(control.id)), nullptr, nullptr);
        if (!hwnd) {
            // A control that cannot be made fails the whole dialog.
            DestroyWindow(dialog);
            return nullptr;
        }
        if (!first) {
            first = hwnd;
        }
    }
    SendMessageW(dialog, WM_INITDIALOG, reinterpret_cast<WPARAM>(first), 0);
    if (!IsWindow(dialog)) {
        return nullptr;
    }
    if (dialogTemplate.style & WS_VISIBLE) {
        ShowWindow(dialog, SW_SHOWNORMAL);
    }
    return dialog;
}

}  // namespace platform

BOOL MapDialogRect(HWND hDlg, LPRECT lpRect) {
    if (!lpRect) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (!platform::RequireWindow(hDlg)) {
        return FALSE;
    }
    *lpRect = platform::DialogUnitsToPixels(*lpRect);
    return TRUE;
}

BOOL IsDialogMessageW(HWND hDlg, LPMSG lpMsg) {
    if (!lpMsg || !lpMsg->hwnd || !IsWindow(hDlg) || (lpMsg->hwnd != hDlg && !IsChild(hDlg, lpMsg->hwnd))) {
        return FALSE;
    }
    if (lpMsg->message == WM_KEYDOWN && (lpMsg->wParam == VK_RETURN || lpMsg->wParam == VK_ESCAPE)) {
        const int id = lpMsg->wParam == VK_RETURN ? IDOK : IDCANCEL;
        HWND button = GetDlgItem(hDlg, id);
        // Enter does nothing while the dialog's OK button is disabled.
        if (id == IDCANCEL || !button || IsWindowEnabled(button)) {
            SendMessageW(hDlg, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(button));
        }
        return TRUE;
    }
    DispatchMessageW(lpMsg);
    return TRUE;
}
