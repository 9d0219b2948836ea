// MD5 digests through the platform's advapi32 functions, and the hex forms
// that md5 lists and manifest keys use.
#pragma once

#include "platform/advapi_md5.h"

#include <cstddef>
#include <string>
#include <string_view>

// Loads "advapi32.dll" and resolves MD5Init, MD5Update and MD5Final once per
// process. True when all three are available. Until they are, every digest
// below fails and yields no text, so no file check can pass by accident.
bool LoadMd5Functions();

// MD5 of the buffer as 32 lowercase hex characters written to szDigest, no
// terminator. Without the MD5 functions it writes 32 zero characters (an
// empty text for every caller) and returns false.
bool Md5Hex(const void* pbyBuff, std::size_t cbBuff, wchar_t* szDigest);

// MD5 fed piece by piece, so that data is digested while it is written
// instead of being read back.
class Md5Stream {
public:
    Md5Stream();
    void Update(const void* pbyData, std::size_t cbData);
    // As Md5Hex, of everything fed; the stream is used up.
    bool Final(wchar_t* szDigest);
    // The Md5Text of everything fed; empty without the MD5 functions.
    std::wstring FinalText();

private:
    MD5_CTX m_context{};
};

// Md5Hex of a whole file, read in fixed-size chunks so that memory use does
// not depend on the file size. False (and 32 zero characters) when the file
// cannot be opened or read, or without the MD5 functions.
bool Md5HexOfFile(const std::wstring& path, wchar_t* szDigest);

// The 16-character form that md5 lists carry: characters 9 to 24 of the 32
// hex characters (digest bytes 4 to 11). Empty for a failed digest.
std::wstring Md5Text(const wchar_t* szDigest);

// Md5Text of a whole file, streamed; empty when no digest could be computed.
// Callers count an empty text as a mismatch even against a list entry whose
// own text is missing.
std::wstring Md5TextOfFile(const std::wstring& path);

// Lowercase hex, high nibble first: two characters per byte.
std::string HexEncode(const unsigned char* pbyData, std::size_t cbData);

// The reverse for exactly cbOut bytes: true when hex is 2 * cbOut lowercase
// hex characters, the one spelling HexEncode gives.
bool HexDecode(std::string_view hex, unsigned char* pbyOut, std::size_t cbOut);
