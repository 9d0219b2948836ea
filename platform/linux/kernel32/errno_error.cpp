#include "platform/linux/kernel32/errno_error.h"

#include "platform/kernel32.h"

#include <cerrno>

namespace platform {

DWORD ErrorFromErrno(int error) {
    switch (error) {
        case 0:
            return ERROR_SUCCESS;
        case ENOENT:
            return ERROR_FILE_NOT_FOUND;
        case ENOTDIR:
        case ELOOP:
            return ERROR_PATH_NOT_FOUND;
        case EEXIST:
            return ERROR_ALREADY_EXISTS;
        case ENAMETOOLONG:
            return ERROR_FILENAME_EXCED_RANGE;
        // A running program or a busy file: what Windows reports for a file that
        // another process holds open.
        case ETXTBSY:
        case EBUSY:
            return ERROR_SHARING_VIOLATION;
        case ENOMEM:
            return ERROR_NOT_ENOUGH_MEMORY;
        case ENOEXEC:
            return ERROR_BAD_FORMAT;
        case EINVAL:
            return ERROR_INVALID_PARAMETER;
        case EBADF:
            return ERROR_INVALID_HANDLE;
        case ENOSPC:
        case EDQUOT:
            return ERROR_DISK_FULL;
        default:
            // EACCES, EPERM, EROFS, EISDIR and whatever else refuses the access.
            return ERROR_ACCESS_DENIED;
    }
}

void SetLastErrorFromErrno(int error) {
    SetLastError(ErrorFromErrno(error));
}

}  // namespace platform
