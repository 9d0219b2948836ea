// The Mirrors key of the settings file's [Config]: further base addresses of
// the CDN, each used as cdn_url is, separated by blanks. The publisher writes
// it and the launcher reads it with the same limit.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

// The launcher reads the value into a buffer of one more character; a longer
// value would be cut inside an address.
inline constexpr std::size_t kMaxMirrorsChars = 2047;

// The addresses of a value, in order; blanks and tabs separate them.
std::vector<std::wstring> SplitMirrors(std::wstring_view value);
