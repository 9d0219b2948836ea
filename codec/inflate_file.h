// Unpacking of ".z" files: one zlib stream (RFC 1950), file to file.
#pragma once

#include "codec/written_blocks.h"

#include <cstdint>
#include <cstdio>
#include <limits>

// Inflates the zlib stream read from source into target in 16384-byte
// chunks. 0 when the stream ended and every byte reached the target;
// -3 for corrupt, truncated or non-zlib data (the target keeps what was
// inflated so far), -4 without memory, -1 on a read or write error.
// Both files stay open; the caller owns them. A stream that would produce
// more than outputLimit bytes is a data error (-3) once it passes the limit:
// the size the list gives bounds what a download may grow to. written sees
// every block written.
int InflateFile(FILE* source, FILE* target, std::uint64_t outputLimit = std::numeric_limits<std::uint64_t>::max(),
                const WrittenBlockObserver& written = {});
