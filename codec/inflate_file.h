// Unpacking of ".z" files: one zlib stream (RFC 1950), file to file.
#pragma once

#include <cstdio>

// Inflates the zlib stream read from source into target in 16384-byte
// chunks. 0 when the stream ended and every byte reached the target;
// -3 for corrupt, truncated or non-zlib data (the target keeps what was
// inflated so far), -4 without memory, -1 on a read or write error.
// Both files stay open; the caller owns them.
int InflateFile(FILE* source, FILE* target);
