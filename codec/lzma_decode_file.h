// Unpacking of ".lz" files: the LZMA "alone" layout (5 property bytes,
// 64-bit little-endian unpacked size, LZMA stream), file to file.
#pragma once

#include "codec/written_blocks.h"

#include <cstdint>
#include <functional>
#include <limits>
#include <string>

// Receives the number of bytes produced by one decoding round (at most
// 65536, possibly 0).
using LzmaProgressCallback = std::function<void(std::uint32_t)>;

// Decodes source into target with 65536-byte input and output buffers.
// 0 on success; -1 when a file cannot be opened (a missing source leaves the
// target untouched); otherwise the LZMA SDK's code: 6 header shorter than 13
// bytes, 4 unsupported properties (a dictionary above 64 MiB among them),
// 2 no memory, 1 corrupt or truncated data,
// 8 read error, 9 the target could not be written fully.
// outputSize is the size the list gives: a header that announces another
// size, or a stream of unknown size that produces more, is corrupt data (1),
// found before the decoder passes it. written sees every block written.
int LzmaDecodeFile(const std::wstring& source, const std::wstring& target, const LzmaProgressCallback& progress = {},
                   std::uint64_t outputSize = std::numeric_limits<std::uint64_t>::max(),
                   const WrittenBlockObserver& written = {});

// The bytes a decoder of source holds besides its fixed buffers: the
// dictionary its header names and the probability tables its properties
// need. 0 when the header cannot be read or would be refused (the decode
// then fails before it allocates).
std::uint64_t LzmaDecoderMemory(const std::wstring& source);
