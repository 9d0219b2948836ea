// The version of the system, as the launcher's windows ask for it.
#include "platform/winuser.h"

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
