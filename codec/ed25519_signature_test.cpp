#include "codec/ed25519_signature.h"

#include "codec/md5_functions.h"
#include "codec/sha256_digest.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::string Hex(const auto& bytes) {
    return HexEncode(bytes.data(), bytes.size());
}

Ed25519Seed SeedFromHex(const std::string& hex) {
    Ed25519Seed seed{};
    for (std::size_t i = 0; i < seed.size(); ++i)
        seed[i] = static_cast<unsigned char>(std::stoi(hex.substr(2 * i, 2), nullptr, 16));
    return seed;
}

}  // namespace

// Vectors from the Ed25519 and SHA-256 definitions, so that a Crypto++ built
// differently (the Windows build compiles its own) is held to a fixed truth.
TEST(ReleaseCrypto, KnownVectors) {
    EXPECT_EQ(Hex(Sha256Of("abc")), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    Sha256Stream pieces;
    pieces.Update("a", 1);
    pieces.Update("bc", 2);
    EXPECT_EQ(pieces.Final(), Sha256Of("abc"));

    // The first test of the Ed25519 paper's set: an empty message.
    const Ed25519Seed seed = SeedFromHex("9d61b19deffd5a60ba844af492ec2cc44449c5697b326919703bac031cae7f60");
    EXPECT_EQ(Hex(Ed25519PublicKeyOf(seed)), "d75a980182b10ab7d54bfed3c964073a0ee172f3daa62325af021a68f707511a");
    const Ed25519Signature signature = Ed25519Sign(seed, "");
    EXPECT_EQ(Hex(signature),
              "e5564300c360ac729086e2cc806e828a84877f1eb8e5d974d873e065224901555fb8821590a33bacc61e39701cf9b46b"
              "d25bf5f0595bbe24655141438e7a100b");
    EXPECT_TRUE(Ed25519Verify(Ed25519PublicKeyOf(seed), "", signature));
}

TEST(ReleaseCrypto, ASignatureHoldsOnlyForItsKeyAndMessage) {
    const auto seed = NewEd25519Seed();
    const auto other = NewEd25519Seed();
    ASSERT_TRUE(seed && other);
    EXPECT_NE(*seed, *other);
    const Ed25519Signature signature = Ed25519Sign(*seed, "serial 2\n");
    EXPECT_TRUE(Ed25519Verify(Ed25519PublicKeyOf(*seed), "serial 2\n", signature));
    EXPECT_FALSE(Ed25519Verify(Ed25519PublicKeyOf(*other), "serial 2\n", signature));
    EXPECT_FALSE(Ed25519Verify(Ed25519PublicKeyOf(*seed), "serial 3\n", signature));
    Ed25519Signature flipped = signature;
    flipped[10] ^= 1;
    EXPECT_FALSE(Ed25519Verify(Ed25519PublicKeyOf(*seed), "serial 2\n", flipped));
}
