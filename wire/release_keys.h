// The key files of signed releases and the signature file beside each
// release document, all text:
//   release.key   "ed25519-private HEX" (the 32-byte private key)
//   release.pub   "ed25519 HEX" per trusted key; blank lines and lines
//                 starting with "#" are skipped
//   *.sig         "ed25519 PUBLIC-KEY-HEX SIGNATURE-HEX" per signing key
#pragma once

#include "codec/ed25519_signature.h"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// A few signatures at most; a server cannot make the launcher take more.
inline constexpr std::size_t kMaxReleaseSignatureBytes = 4096;
inline constexpr std::size_t kMaxReleaseKeysBytes = 16384;

struct ReleaseSignature {
    Ed25519PublicKey key{};
    Ed25519Signature signature{};
};

std::string PrivateKeyText(const Ed25519Seed& seed);
std::optional<Ed25519Seed> ParsePrivateKey(std::string_view text);

std::string PublicKeyLine(const Ed25519PublicKey& key);
// nullopt when any line is neither a key, blank nor a comment.
std::optional<std::vector<Ed25519PublicKey>> ParsePublicKeys(std::string_view text);

std::string ReleaseSignaturesText(const std::vector<ReleaseSignature>& signatures);
// nullopt for anything but one or more signature lines, each ended by LF
// (a CR before it is refused).
std::optional<std::vector<ReleaseSignature>> ParseReleaseSignatures(std::string_view text);
