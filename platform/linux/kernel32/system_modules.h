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

// A module's export by name; null for names it does not export.
using ModuleExports = FARPROC (*)(std::string_view name);
// user32.dll's exports are the window functions', which sit above the kernel
// functions: they offer their lookup while the program's statics start, when
// they are part of the program. Until then user32.dll exports nothing.
void OfferUser32Exports(ModuleExports exports);

}  // namespace platform
