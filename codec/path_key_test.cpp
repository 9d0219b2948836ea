#include "codec/path_key.h"

#include <cryptopp/sha.h>
#include <gtest/gtest.h>

#include <string>

namespace {

// The first 5 bytes of a full SHA-1, computed without the truncated final step.
std::string FullSha1Prefix(const std::string& bytes) {
    CryptoPP::SHA1 sha1;
    CryptoPP::byte digest[CryptoPP::SHA1::DIGESTSIZE];
    sha1.CalculateDigest(digest, reinterpret_cast<const CryptoPP::byte*>(bytes.data()), bytes.size());
    static const char kHex[] = "0123456789abcdef";
    std::string text;
    for (int i = 0; i < 5; ++i) {
        text += kHex[digest[i] >> 4];
        text += kHex[digest[i] & 0x0F];
    }
    return text;
}

// Digests from another SHA-1 implementation, so that a Crypto++ built
// differently (the Windows build compiles its own) is checked against a
// fixed truth: one block, two blocks, more than one block of UTF-8 text.
TEST(PathKeyTest, KnownVectors) {
    EXPECT_EQ(PathKey(L"abc"), "a9993e3647");
    EXPECT_EQ(PathKey(L""), "da39a3ee5e");
    EXPECT_EQ(PathKey(L"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq"), "84983e441c");
    EXPECT_EQ(PathKey(L"data/" + std::wstring(100, L'x') + L".pak.lz"), "4ee77a32a8");
    EXPECT_EQ(PathKey(L"客户端/数据.pak"), "34c37d0731");
}

TEST(PathKeyTest, IsTheFullDigestCutToFiveBytes) {
    for (const char* path : {".", "qm.md5", "launcher/v1/launcher.md5", "data/maps/a.pak.lz"}) {
        SCOPED_TRACE(path);
        const std::string narrow(path);
        EXPECT_EQ(PathKey(std::wstring(narrow.begin(), narrow.end())), FullSha1Prefix(narrow));
    }
}

TEST(PathKeyTest, NonAsciiPathsAreHashedAsUtf8) {
    const std::u8string utf8 = u8"客户端/数据.pak";
    EXPECT_EQ(PathKey(L"客户端/数据.pak"), FullSha1Prefix(std::string(utf8.begin(), utf8.end())));
}

}  // namespace
