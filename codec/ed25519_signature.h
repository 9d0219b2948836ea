// Ed25519 signatures of release documents: the publisher signs with a
// private key kept away from the CDN, the launcher verifies with the public
// keys shipped beside it.
#pragma once

#include <array>
#include <optional>
#include <string_view>

using Ed25519Seed = std::array<unsigned char, 32>;  // the private key
using Ed25519PublicKey = std::array<unsigned char, 32>;
using Ed25519Signature = std::array<unsigned char, 64>;

// A new private key from the system's cryptographic random source; nullopt
// when it gave nothing.
std::optional<Ed25519Seed> NewEd25519Seed();

Ed25519PublicKey Ed25519PublicKeyOf(const Ed25519Seed& seed);

Ed25519Signature Ed25519Sign(const Ed25519Seed& seed, std::string_view message);

bool Ed25519Verify(const Ed25519PublicKey& key, std::string_view message, const Ed25519Signature& signature);
