// Dialog windows made from our templates, on every system: the "#32770"
// window and its controls are created directly, so that dialog units,
// placement and the order of WM_INITDIALOG are the same everywhere.
#include "platform/window_system.h"

namespace platform {

namespace {

POINT Placement(const DialogTemplate& dialogTemplate, HWND owner, int width, int height) {
    if (dialogTemplate.style & DS_CENTER) {
        RECT work{};
        SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
        return POINT{work.left + (work.right - work.left - width) / 2,
                     work.top + (work.bottom - work.top - height) / 2};
    }
    const RECT at = DialogUnitsToPixels(RECT{dialogTemplate.x, dialogTemplate.y, 0, 0});
    POINT position{at.left, at.top};
    if (owner) {
        ClientToScreen(owner, &position);
    }
    return position;
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
    const POINT position = Placement(dialogTemplate, owner, width, height);
    HWND dialog = CreateWindowExW(exStyle, L"#32770", dialogTemplate.caption.c_str(), style, position.x, position.y,
                                  width, height, owner, nullptr, nullptr, nullptr);
    if (!dialog) {
        return nullptr;
    }
    RecordDialogTemplate(dialog, dialogTemplate.id);
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
