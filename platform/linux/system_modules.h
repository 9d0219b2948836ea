// Internal to the stand-in: the functions of the system DLLs that the
// launcher resolves by name with LoadLibraryW and GetProcAddress.
#pragma once

#include "platform/win_types.h"

#include <string_view>

namespace platform {

// advapi32.dll: MD5Init, MD5Update and MD5Final; null for other names.
FARPROC Advapi32Export(std::string_view name);

}  // namespace platform
