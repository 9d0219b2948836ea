// Internal to the stand-in: the Win32 error code that callers expect for a
// failed system call of this system.
#pragma once

#include "platform/win_types.h"

namespace platform {

DWORD ErrorFromErrno(int error);

// SetLastError with ErrorFromErrno(error).
void SetLastErrorFromErrno(int error);

}  // namespace platform
