// The C runtime's wide file functions, accepting '\' as well as '/', and C
// files by a path of this system with 64-bit sizes and offsets.
#pragma once

#include <cstdint>
#include <cstdio>
#include <filesystem>

#ifndef _WIN32
FILE* _wfopen(const wchar_t* filename, const wchar_t* mode);
#endif

namespace platform {

// No character of the path is lost to a code page. Binary unless the mode
// says otherwise, as fopen.
FILE* OpenCFile(const std::filesystem::path& file, const char* mode);
// The size of an open file; -1 when it cannot be told.
std::int64_t CFileSize(FILE* file);
// To an offset from the start; false on failure.
bool SeekCFile(FILE* file, std::int64_t offset);

}  // namespace platform
