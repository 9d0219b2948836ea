// md5 lists as the launcher parses them: UTF-16LE behind a byte-order mark,
// per file a path line and a "<size> <Md5Text>" line, both ended by LF.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct ListedFile {
    std::wstring path;  // as the launcher compares it: relative, "/" separators
    std::uint64_t size = 0;
    std::string md5Text;  // 16 lowercase hex characters
};

// The launcher reads a path line into 259 characters and sizes as 32-bit
// signed integers; ListedFile values beyond that must be refused earlier.
inline constexpr std::size_t kMaxListedPath = 259;
inline constexpr std::uint64_t kMaxListedSize = 0x7FFFFFFF;

std::string Md5ListBytes(const std::vector<ListedFile>& files);
