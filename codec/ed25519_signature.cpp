#include "codec/ed25519_signature.h"

#include "platform/bcrypt.h"

#include <cryptopp/xed25519.h>

#include <algorithm>

namespace {

const CryptoPP::byte* Bytes(std::string_view text) {
    return reinterpret_cast<const CryptoPP::byte*>(text.data());
}

}  // namespace

std::optional<Ed25519Seed> NewEd25519Seed() {
    Ed25519Seed seed{};
    if (BCryptGenRandom(nullptr, seed.data(), static_cast<ULONG>(seed.size()), BCRYPT_USE_SYSTEM_PREFERRED_RNG) < 0)
        return std::nullopt;
    return seed;
}

Ed25519PublicKey Ed25519PublicKeyOf(const Ed25519Seed& seed) {
    const CryptoPP::ed25519Signer signer(seed.data());
    const auto& key = static_cast<const CryptoPP::ed25519PrivateKey&>(signer.GetPrivateKey());
    Ed25519PublicKey publicKey{};
    std::copy_n(key.GetPublicKeyBytePtr(), publicKey.size(), publicKey.begin());
    return publicKey;
}

Ed25519Signature Ed25519Sign(const Ed25519Seed& seed, std::string_view message) {
    const CryptoPP::ed25519Signer signer(seed.data());
    Ed25519Signature signature{};
    // Ed25519 signs deterministically: the generator is never asked.
    signer.SignMessage(CryptoPP::NullRNG(), Bytes(message), message.size(), signature.data());
    return signature;
}

bool Ed25519Verify(const Ed25519PublicKey& key, std::string_view message, const Ed25519Signature& signature) {
    const CryptoPP::ed25519Verifier verifier(key.data());
    return verifier.VerifyMessage(Bytes(message), message.size(), signature.data(), signature.size());
}
