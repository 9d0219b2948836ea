// Manifest keys: the CDN is addressed by truncated SHA-1 digests of paths.
#pragma once

#include <string>

// The first 5 bytes of the SHA-1 of the path's UTF-8 bytes as 10 lowercase
// hex characters. The path is taken as it stands: letter case and separators
// are part of the key.
std::string PathKey(const std::wstring& cdnPath);
