#include "tests/support/temp_dir.h"

#include "tests/support/test_files.h"

#include <gtest/gtest.h>

namespace testsupport {
namespace {

namespace fs = std::filesystem;

TEST(TempDir, EachIsFreshAndGoesWithEverythingInIt) {
    fs::path kept;
    {
        const TempDir first;
        const TempDir second;
        EXPECT_NE(first.Path(), second.Path());
        EXPECT_TRUE(fs::is_directory(first.Path()));
        EXPECT_TRUE(fs::is_empty(first.Path()));
        // As the current directory reads it.
        EXPECT_EQ(first.Path(), fs::canonical(first.Path()));
        first.Write("a/b/c.txt", "deep");
        kept = first.Path();
    }
    EXPECT_FALSE(fs::exists(kept));
}

TEST(TempDir, MakesItsFolderBelowAGivenParent) {
    const TempDir parent;
    const TempDir child(parent.Path());
    EXPECT_EQ(child.Path().parent_path(), parent.Path());
    EXPECT_EQ(child.Path("x.bin"), child.Path() / "x.bin");
    EXPECT_EQ(child.WidePath("x.bin"), (child.Path() / "x.bin").wstring());
}

TEST(TempDir, CurrentDirectoryIsPutBack) {
    const fs::path before = fs::current_path();
    const TempDir folder;
    {
        const CurrentDirectory there(folder.Path());
        EXPECT_EQ(fs::current_path(), folder.Path());
    }
    EXPECT_EQ(fs::current_path(), before);
    {
        const CurrentDirectory remembered;
        fs::current_path(folder.Path());
    }
    EXPECT_EQ(fs::current_path(), before);
}

TEST(TestFiles, BytesGoOutAndComeBackWhole) {
    const TempDir folder;
    const std::string bytes("zero\0one\r\ntwo\n", 14);
    WriteBytes(folder.Path() / "new/folder/file.bin", bytes);
    EXPECT_EQ(ReadBytes(folder.Path() / "new/folder/file.bin"), bytes);
    EXPECT_EQ(folder.Read("new/folder/file.bin"), bytes);
    // Written again: replaced, not appended to.
    folder.Write("new/folder/file.bin", "short");
    EXPECT_EQ(folder.Read("new/folder/file.bin"), "short");
    // A file still to come reads as empty.
    EXPECT_EQ(ReadBytes(folder.Path() / "missing"), "");
    // A folder in the way of a file is a failed setup.
    EXPECT_THROW(WriteBytes(folder.Path() / "new", "x"), std::runtime_error);
}

TEST(TestFiles, RandomBytesRepeatForTheSameSeed) {
    EXPECT_EQ(RandomBytes(1000, 7), RandomBytes(1000, 7));
    EXPECT_NE(RandomBytes(1000, 7), RandomBytes(1000, 8));
    EXPECT_EQ(RandomBytes(0, 7), "");
    EXPECT_EQ(RandomBytes(10), RandomBytes(10, 1));
}

TEST(TestFiles, ReplaceAllFillsEveryPlaceholder) {
    EXPECT_EQ(ReplaceAll("port=@PORT@, again @PORT@", "@PORT@", "8080"), "port=8080, again 8080");
    // What was put in is not searched again.
    EXPECT_EQ(ReplaceAll("aa", "a", "aa"), "aaaa");
    EXPECT_EQ(ReplaceAll("none", "@X@", "y"), "none");
}

}  // namespace
}  // namespace testsupport
