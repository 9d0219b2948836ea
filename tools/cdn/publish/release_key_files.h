// The studio's signing key on disk: "keygen" makes release.key (private,
// kept away from the CDN host) and release.pub (shipped in the launcher
// folder, so every launcher knows which releases to trust).
#pragma once

#include "codec/ed25519_signature.h"

#include <filesystem>
#include <string>

inline constexpr char kPrivateKeyFile[] = "release.key";
inline constexpr char kPublicKeyFile[] = "release.pub";

struct KeygenOptions {
    std::filesystem::path outDir;
};

// Writes outDir/release.key (readable by its owner only) and
// outDir/release.pub for a new key, creating outDir when missing. Refuses
// when either file exists, and leaves nothing behind when it fails. Returns
// the public key line. Throws PublishError.
std::string WriteNewKeyPair(const std::filesystem::path& outDir);

// The private key in file. Throws PublishError naming the file.
Ed25519Seed ReadSigningKey(const std::filesystem::path& file);
