#include "tools/cdn/publish/release_key_files.h"

#include "tests/support/temp_dir.h"
#include "tools/cdn/publish/publish_error.h"
#include "wire/release_keys.h"

#include <gtest/gtest.h>

namespace {

namespace fs = std::filesystem;

using testsupport::ReadBytes;

std::string ProblemOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const PublishError& failure) {
        return failure.what();
    }
    return "no error";
}

TEST(ReleaseKeyFilesTest, KeygenWritesAUsablePairAndNeverReplacesOne) {
    testsupport::TempDir dir;
    const fs::path keys = dir.Path() / "new" / "keys";
    const std::string publicLine = WriteNewKeyPair(keys);
    EXPECT_EQ(ReadBytes(keys / "release.pub"), publicLine);

    const Ed25519Seed seed = ReadSigningKey(keys / "release.key");
    const std::optional<std::vector<Ed25519PublicKey>> trusted = ParsePublicKeys(ReadBytes(keys / "release.pub"));
    ASSERT_TRUE(trusted);
    ASSERT_EQ(trusted->size(), 1u);
    EXPECT_EQ(trusted->front(), Ed25519PublicKeyOf(seed));
    EXPECT_TRUE(Ed25519Verify(trusted->front(), "release", Ed25519Sign(seed, "release")));

    // A second pair is another key; the first one stays untouched.
    const std::string privateText = ReadBytes(keys / "release.key");
    EXPECT_NE(ProblemOf([&] { WriteNewKeyPair(keys); }).find("release.key exists already"), std::string::npos);
    EXPECT_EQ(ReadBytes(keys / "release.key"), privateText);
    EXPECT_EQ(ReadBytes(keys / "release.pub"), publicLine);
    const fs::path other = dir.Path() / "other";
    EXPECT_NE(WriteNewKeyPair(other), publicLine);

    // Half a pair in the way: refused, and no private key left behind.
    dir.Write("half/release.pub", "ed25519 00\n");
    EXPECT_NE(ProblemOf([&] { WriteNewKeyPair(dir.Path() / "half"); }).find("release.pub exists already"),
              std::string::npos);
    EXPECT_FALSE(fs::exists(dir.Path() / "half" / "release.key"));

    EXPECT_NE(ProblemOf([&] { ReadSigningKey(keys / "release.pub"); }).find("not a private key"), std::string::npos);
    EXPECT_NE(ProblemOf([&] { ReadSigningKey(keys / "missing.key"); }).find("no such file"), std::string::npos);
}

}  // namespace
