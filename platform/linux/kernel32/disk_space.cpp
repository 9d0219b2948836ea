// GetDiskFreeSpaceExW over statvfs(2).
#include "platform/kernel32.h"

#include "platform/linux/kernel32/errno_error.h"
#include "platform/text.h"

#include <sys/stat.h>
#include <sys/statvfs.h>

#include <cerrno>

BOOL GetDiskFreeSpaceExW(LPCWSTR lpDirectoryName, PULARGE_INTEGER lpFreeBytesAvailableToCaller,
                         PULARGE_INTEGER lpTotalNumberOfBytes, PULARGE_INTEGER lpTotalNumberOfFreeBytes) {
    if (!lpDirectoryName) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    const std::string path = platform::NativePath(lpDirectoryName);
    // Windows answers for folders only; a file's path is not a folder.
    struct stat status {};
    if (stat(path.c_str(), &status) != 0) {
        platform::SetLastErrorFromErrno(errno);
        return FALSE;
    }
    if (!S_ISDIR(status.st_mode)) {
        SetLastError(ERROR_DIRECTORY);
        return FALSE;
    }
    struct statvfs volume {};
    if (statvfs(path.c_str(), &volume) != 0) {
        platform::SetLastErrorFromErrno(errno);
        return FALSE;
    }
    const ULONGLONG unit = volume.f_frsize;
    // f_bavail leaves out the blocks kept for the superuser, as Windows
    // leaves out what a quota keeps from this user.
    if (lpFreeBytesAvailableToCaller)
        lpFreeBytesAvailableToCaller->QuadPart = unit * volume.f_bavail;
    if (lpTotalNumberOfBytes)
        lpTotalNumberOfBytes->QuadPart = unit * volume.f_blocks;
    if (lpTotalNumberOfFreeBytes)
        lpTotalNumberOfFreeBytes->QuadPart = unit * volume.f_bfree;
    SetLastError(ERROR_SUCCESS);
    return TRUE;
}
