// One attempt at a small answer read whole into memory: the manifests and
// md5 lists.
#pragma once

#include <optional>
#include <string>
#include <vector>

// Opens url with a new reading product and reads its announced length. No
// answer, a length of 0, no memory, or a transfer that fails or comes short
// give nothing: a broken transfer must never pass for zero-filled data.
std::optional<std::vector<unsigned char>> FetchWholeBody(const std::wstring& url);
