#include "platform/bcrypt.h"

#include <sys/random.h>

#include <cerrno>

namespace {

constexpr NTSTATUS kSuccess = 0;
constexpr NTSTATUS kInvalidParameter = static_cast<NTSTATUS>(0xC000000DU);
constexpr NTSTATUS kUnsuccessful = static_cast<NTSTATUS>(0xC0000001U);

}  // namespace

NTSTATUS BCryptGenRandom(BCRYPT_ALG_HANDLE hAlgorithm, unsigned char* pbBuffer, ULONG cbBuffer, ULONG dwFlags) {
    if (hAlgorithm != nullptr || dwFlags != BCRYPT_USE_SYSTEM_PREFERRED_RNG || (pbBuffer == nullptr && cbBuffer != 0))
        return kInvalidParameter;
    // getrandom hands out at most 32 MiB a call and may be interrupted.
    for (ULONG filled = 0; filled < cbBuffer;) {
        const ssize_t got = getrandom(pbBuffer + filled, cbBuffer - filled, 0);
        if (got < 0 && errno != EINTR)
            return kUnsuccessful;
        filled += got > 0 ? static_cast<ULONG>(got) : 0;
    }
    return kSuccess;
}
