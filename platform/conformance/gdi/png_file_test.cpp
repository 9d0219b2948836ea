#include "platform/png_file.h"

#include "tests/support/temp_dir.h"
#include "tests/support/test_files.h"

#include <gtest/gtest.h>

namespace {

TEST(PngFile, PixelsComeBackAsTheyWereSavedAndBadFilesAreRefused) {
    testsupport::TempDir dir;
    platform::LayeredPicture picture;
    picture.size = SIZE{3, 2};
    // Opaque, half-transparent (premultiplied), fully transparent.
    picture.pixels = {0xFFFF0000u, 0x80400000u, 0x00000000u, 0xFF00FF00u, 0xFF0000FFu, 0x80808080u};
    ASSERT_TRUE(platform::SavePng(picture, dir.Path("p.png")));
    const auto loaded = platform::LoadPng(dir.Path("p.png"));
    ASSERT_TRUE(loaded);
    EXPECT_EQ(loaded->size.cx, 3);
    EXPECT_EQ(loaded->size.cy, 2);
    EXPECT_EQ(loaded->pixels, picture.pixels);

    EXPECT_FALSE(platform::SavePng(platform::LayeredPicture{}, dir.Path("empty.png")));
    EXPECT_FALSE(platform::SavePng(picture, dir.Path("no/such/folder/p.png")));
    testsupport::WriteBytes(dir.Path("text.png"), "not a picture");
    EXPECT_FALSE(platform::LoadPng(dir.Path("text.png")));
    EXPECT_FALSE(platform::LoadPng(dir.Path("absent.png")));
}

}  // namespace
