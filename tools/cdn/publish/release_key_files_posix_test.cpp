#include "tools/cdn/publish/release_key_files.h"

#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace {

namespace fs = std::filesystem;

// Even under an umask that lets everyone read new files, the private key is
// its owner's alone.
TEST(ReleaseKeyFilesPosixTest, PrivateKeyIsTheOwnersAloneFromItsCreation) {
    testsupport::TempDir dir;
    const mode_t previous = umask(0);
    WriteNewKeyPair(dir.Path());
    umask(previous);
    EXPECT_EQ(fs::status(dir.Path() / "release.key").permissions(), fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_EQ(fs::status(dir.Path() / "release.pub").permissions() & fs::perms::others_read, fs::perms::others_read);
}

}  // namespace
