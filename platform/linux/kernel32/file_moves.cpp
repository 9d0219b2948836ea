#include "platform/kernel32.h"

#include "platform/linux/kernel32/errno_error.h"
#include "platform/text.h"
#include "platform/thread_stop.h"

#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#include <cstdio>

BOOL MoveFileExW(LPCWSTR lpExistingFileName, LPCWSTR lpNewFileName, DWORD dwFlags) {
    platform::StopPoint();
    if (!lpExistingFileName || !lpNewFileName) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    const std::string from = platform::NativePath(lpExistingFileName);
    const std::string to = platform::NativePath(lpNewFileName);
    struct stat existing {};
    if (!(dwFlags & MOVEFILE_REPLACE_EXISTING) && lstat(to.c_str(), &existing) == 0) {
        SetLastError(ERROR_ALREADY_EXISTS);
        return FALSE;
    }
    // rename replaces the target in one step: readers see the old file or the
    // new one, never a half-written one.
    if (std::rename(from.c_str(), to.c_str()) != 0) {
        platform::SetLastErrorFromErrno(errno);
        return FALSE;
    }
    return TRUE;
}

BOOL DeleteFileW(LPCWSTR lpFileName) {
    platform::StopPoint();
    if (!lpFileName) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (unlink(platform::NativePath(lpFileName).c_str()) != 0) {
        platform::SetLastErrorFromErrno(errno);
        return FALSE;
    }
    return TRUE;
}
