// md5 lists: UTF-16LE text behind a byte-order mark; per file a path line
// and a line of its size and Md5Text, both ended by LF.
#pragma once

#include <cstddef>
#include <cstdint>
#include <istream>
#include <string>
#include <vector>

// A path line is read into 259 characters and a terminator.
inline constexpr std::size_t kMaxListedPath = 259;
// The largest size a list may give and every launcher still reads: 32-bit
// signed, as the first launchers read it.
inline constexpr std::int64_t kMaxPortableListedSize = 0x7FFFFFFF;
// No list describes more than 2^53 bytes (8 PiB): totals and progress built
// from the sizes stay exact and far from overflow.
inline constexpr std::int64_t kMaxListedBytes = std::int64_t{1} << 53;

struct Md5ListEntry {
    std::wstring path;  // relative, "/" separators
    std::int64_t size = 0;
    std::wstring md5;  // Md5Text: 16 lowercase hex characters
};

std::string Md5ListBytes(const std::vector<Md5ListEntry>& entries);

// The text of a list as it arrives: the first two bytes are skipped
// unexamined, the text ends at the first zero character.
std::wstring DecodeMd5List(const unsigned char* pbyData, std::size_t cbData);

struct Md5ListRead {
    std::vector<Md5ListEntry> entries;
    // Why the list did not read whole: a path line too long, a size that is
    // missing or out of range, a missing or malformed Md5Text. Reading stops
    // at the first.
    std::wstring problem;
    bool Whole() const { return problem.empty(); }
};

// Reads records until the end of the text; a blank last line ends the list
// like its end does.
Md5ListRead ReadMd5List(std::wistream& stream);
