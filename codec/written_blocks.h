// What the unpackers hand their caller besides the file: each block as it is
// written to the target, so that the caller digests the output on the way
// instead of reading the file back.
#pragma once

#include <cstddef>
#include <functional>

// Called once per block written whole, in order; never for an empty block.
using WrittenBlockObserver = std::function<void(const unsigned char* pbyData, std::size_t cbData)>;
