// The system values the launcher's windows ask for, and message boxes.
#include "platform/linux/window_backend.h"

#include <cwchar>

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

BOOL GetVersionExW(LPOSVERSIONINFOW lpVersionInformation) {
    if (!lpVersionInformation || lpVersionInformation->dwOSVersionInfoSize != sizeof(OSVERSIONINFOW)) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    lpVersionInformation->dwMajorVersion = 6;
    lpVersionInformation->dwMinorVersion = 2;
    lpVersionInformation->dwBuildNumber = 9200;
    lpVersionInformation->dwPlatformId = VER_PLATFORM_WIN32_NT;
    lpVersionInformation->szCSDVersion[0] = L'\0';
    return TRUE;
}

int MessageBoxW(HWND hWnd, LPCWSTR lpText, LPCWSTR lpCaption, UINT uType) {
    // As on Windows, a missing caption reads "Error".
    return platform::Backend().ShowMessageBox(hWnd, lpText ? lpText : L"", lpCaption ? lpCaption : L"Error", uType);
}
