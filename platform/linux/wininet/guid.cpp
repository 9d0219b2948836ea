// CoCreateGuid: random version-4 GUIDs from the kernel's random source.
#include "platform/wininet.h"

#include <sys/random.h>
#include <cerrno>
#include <cstring>

HRESULT CoCreateGuid(GUID* pguid) {
    if (!pguid) {
        return E_INVALIDARG;
    }
    unsigned char bytes[16];
    std::size_t filled = 0;
    while (filled < sizeof bytes) {
        ssize_t n = getrandom(bytes + filled, sizeof bytes - filled, 0);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return E_FAIL;
        }
        filled += static_cast<std::size_t>(n);
    }
    std::memcpy(&pguid->Data1, bytes, 4);
    std::memcpy(&pguid->Data2, bytes + 4, 2);
    std::memcpy(&pguid->Data3, bytes + 6, 2);
    std::memcpy(pguid->Data4, bytes + 8, 8);
    // RFC 4122: version 4 (random) and the variant bits 10.
    pguid->Data3 = static_cast<std::uint16_t>((pguid->Data3 & 0x0FFF) | 0x4000);
    pguid->Data4[0] = static_cast<std::uint8_t>((pguid->Data4[0] & 0x3F) | 0x80);
    return S_OK;
}
