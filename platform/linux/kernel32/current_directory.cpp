// The process's current directory, with the Windows buffer rules.
#include "platform/kernel32.h"

#include "platform/linux/kernel32/errno_error.h"
#include "platform/text.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <system_error>

DWORD GetCurrentDirectoryW(DWORD nBufferLength, LPWSTR lpBuffer) {
    std::error_code error;
    std::filesystem::path current = std::filesystem::current_path(error);
    if (error) {
        platform::SetLastErrorFromErrno(error.value());
        return 0;
    }
    std::wstring path = platform::FromUtf8(current.native());
    const auto length = static_cast<DWORD>(path.size());
    // Too small (or no buffer): the size needed, terminator included.
    if (!lpBuffer || nBufferLength <= length) {
        return length + 1;
    }
    std::copy(path.begin(), path.end(), lpBuffer);
    lpBuffer[length] = L'\0';
    return length;
}

BOOL SetCurrentDirectoryW(LPCWSTR lpPathName) {
    if (!lpPathName) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (::chdir(platform::NativePath(lpPathName).c_str()) != 0) {
        platform::SetLastErrorFromErrno(errno);
        return FALSE;
    }
    return TRUE;
}
