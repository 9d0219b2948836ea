// advapi32's MD5 functions, which GetProcAddress hands out (system_modules.cpp).
// The MD5 compression function is Crypto++'s; the context bookkeeping (buffering,
// bit count, padding) follows RFC 1321 on the platform's context layout.
#include "platform/advapi_md5.h"
#include "platform/kernel32.h"
#include "platform/linux/kernel32/system_modules.h"

#define CRYPTOPP_ENABLE_NAMESPACE_WEAK 1
#include <cryptopp/md5.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string_view>

namespace {

static_assert(sizeof(ULONG) == sizeof(CryptoPP::word32));

void CompressBlock(MD5_CTX* context) {
    CryptoPP::word32 block[16];
    for (int w = 0; w < 16; ++w) {
        const unsigned char* bytes = context->in + 4 * w;
        block[w] = static_cast<CryptoPP::word32>(bytes[0]) | (static_cast<CryptoPP::word32>(bytes[1]) << 8) |
                   (static_cast<CryptoPP::word32>(bytes[2]) << 16) | (static_cast<CryptoPP::word32>(bytes[3]) << 24);
    }
    CryptoPP::Weak::MD5::Transform(context->buf, block);
}

void WINAPI Md5Init(MD5_CTX* context) {
    context->i[0] = context->i[1] = 0;
    CryptoPP::Weak::MD5::InitState(context->buf);
}

void WINAPI Md5Update(MD5_CTX* context, const unsigned char* input, unsigned int length) {
    unsigned int pending = (context->i[0] >> 3) & 63;
    // The 64-bit count of bits, kept in two 32-bit halves.
    const auto bits = static_cast<std::uint64_t>(length) << 3;
    const ULONG low = context->i[0] + static_cast<ULONG>(bits);
    context->i[1] += static_cast<ULONG>(bits >> 32) + (low < context->i[0] ? 1 : 0);
    context->i[0] = low;
    while (length > 0) {
        const unsigned int take = std::min(length, 64 - pending);
        std::memcpy(context->in + pending, input, take);
        pending += take;
        input += take;
        length -= take;
        if (pending == 64) {
            CompressBlock(context);
            pending = 0;
        }
    }
}

void WINAPI Md5Final(MD5_CTX* context) {
    unsigned char lengthBytes[8];
    for (int b = 0; b < 8; ++b) {
        lengthBytes[b] = static_cast<unsigned char>(context->i[b / 4] >> (8 * (b % 4)));
    }
    // A 1 bit, zeros up to 56 bytes into a block, then the length.
    static const unsigned char padding[64] = {0x80};
    const unsigned int pending = (context->i[0] >> 3) & 63;
    Md5Update(context, padding, pending < 56 ? 56 - pending : 120 - pending);
    Md5Update(context, lengthBytes, 8);
    for (int b = 0; b < 16; ++b) {
        context->digest[b] = static_cast<unsigned char>(context->buf[b / 4] >> (8 * (b % 4)));
    }
}

}  // namespace

namespace platform {

FARPROC Advapi32Export(std::string_view name) {
    if (name == "MD5Init") {
        return reinterpret_cast<FARPROC>(&Md5Init);
    }
    if (name == "MD5Update") {
        return reinterpret_cast<FARPROC>(&Md5Update);
    }
    if (name == "MD5Final") {
        return reinterpret_cast<FARPROC>(&Md5Final);
    }
    return nullptr;
}

}  // namespace platform
