// The file a round-trip harness packs, made from the fuzzer's input: the
// input after its first byte, written once and then again as many more
// times as that byte says, cut at kMaxPackingSource. A small input so
// stands for a file full of long matches that spans more than one round of
// either unpacker (64 KiB for LZMA, 16 KiB for inflate) and more than one
// read of the packer, while each run stays quick.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace fuzz {

inline constexpr std::size_t kMaxPackingSource = std::size_t{80} << 10;

std::string PackingSource(const std::uint8_t* data, std::size_t size);

}  // namespace fuzz
