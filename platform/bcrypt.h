// The system's cryptographic random source, as bcrypt.dll offers it.
#pragma once

#ifdef _WIN32
#include <windows.h>
// windows.h first: bcrypt.h relies on its types.
#include <bcrypt.h>
#else
#include "platform/win_types.h"

using NTSTATUS = LONG;
using BCRYPT_ALG_HANDLE = void*;
constexpr ULONG BCRYPT_USE_SYSTEM_PREFERRED_RNG = 0x00000002;

// Fills the buffer from the system's generator (getrandom). Only the
// system-preferred generator is offered: hAlgorithm must be null.
NTSTATUS BCryptGenRandom(BCRYPT_ALG_HANDLE hAlgorithm, unsigned char* pbBuffer, ULONG cbBuffer, ULONG dwFlags);
#endif
