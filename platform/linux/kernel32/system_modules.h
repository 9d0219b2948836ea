// Internal to the stand-in: the functions of the system DLLs that the
// launcher resolves by name with LoadLibraryW and GetProcAddress.
#pragma once

#include "platform/win_types.h"

#include <string_view>

namespace platform {

// shdoclc.dll's string 2213: the caption the browser gives the message
// boxes of a page.
inline constexpr unsigned kBrowserMessageCaptionId = 2213;
inline constexpr std::wstring_view kBrowserMessageCaption = L"Message from webpage";

// advapi32.dll: MD5Init, MD5Update and MD5Final; null for other names.
FARPROC Advapi32Export(std::string_view name);

}  // namespace platform
