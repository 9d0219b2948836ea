// Conversions at the boundaries: UTF-8 for files, URLs and the terminal,
// UTF-16LE for md5 lists; wide strings everywhere else.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace platform {

std::string ToUtf8(std::wstring_view text);
// Invalid sequences become U+FFFD.
std::wstring FromUtf8(std::string_view bytes);
std::string ToUtf16Le(std::wstring_view text);
// An odd trailing byte is dropped; unpaired surrogates become U+FFFD.
std::wstring FromUtf16Le(std::string_view bytes);
#ifdef _WIN32
// A path as the file functions take it: wide, so that no character is lost
// to the ANSI code page.
std::filesystem::path NativePath(std::wstring_view windowsPath);
#else
// A Windows path ('\' or '/') as a path of this system ('/').
std::string NativePath(std::wstring_view windowsPath);
#endif

}  // namespace platform
