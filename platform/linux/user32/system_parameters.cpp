// The system values the launcher's windows ask for, and message boxes.
#include "platform/linux/display/window_backend.h"

BOOL SystemParametersInfoW(UINT uiAction, UINT, PVOID pvParam, UINT) {
    if (!pvParam) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    switch (uiAction) {
        case SPI_GETWORKAREA:
            *static_cast<RECT*>(pvParam) = platform::Backend().WorkArea();
            return TRUE;
        case SPI_GETMOUSEHOVERTIME:
            *static_cast<UINT*>(pvParam) = 400;
            return TRUE;
        default:
            SetLastError(ERROR_INVALID_PARAMETER);
            return FALSE;
    }
}

int MessageBoxW(HWND hWnd, LPCWSTR lpText, LPCWSTR lpCaption, UINT uType) {
    // As on Windows, a missing caption reads "Error".
    return platform::Backend().ShowMessageBox(hWnd, lpText ? lpText : L"", lpCaption ? lpCaption : L"Error", uType);
}
