// Dialog windows: their templates noted, dialog units and the dialog's
// keyboard handling.
#include "platform/window_system.h"

#include "platform/linux/user32/window_object.h"

namespace platform {

void RecordDialogTemplate(HWND dialog, UINT templateId) {
    SetWindowTemplateId(dialog, templateId);
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
