// The MD5 functions of advapi32.dll, resolved at run time by name.
#pragma once

#include "platform/win_types.h"

// The platform's MD5 context: bit counters, state, input block, digest.
struct MD5_CTX {
    ULONG i[2];
    ULONG buf[4];
    unsigned char in[64];
    unsigned char digest[16];
};

using PMD5Init = void(WINAPI*)(MD5_CTX*);
using PMD5Update = void(WINAPI*)(MD5_CTX*, const unsigned char*, unsigned int);
using PMD5Final = void(WINAPI*)(MD5_CTX*);
