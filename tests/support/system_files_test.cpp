#include "tests/support/system_files.h"

#include "tests/support/temp_dir.h"
#include "tests/support/test_files.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>

namespace testsupport {
namespace {

namespace fs = std::filesystem;

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

TEST(SystemFiles, TheFullDeviceOpensAndRefusesEveryByte) {
    const std::optional<fs::path> full = FullDevice();
    if (!full)
        GTEST_SKIP() << "no device that refuses writes here";
    File file(std::fopen(full->string().c_str(), "wb"));
    ASSERT_TRUE(file);
    std::setvbuf(file.get(), nullptr, _IONBF, 0);
    EXPECT_EQ(std::fwrite("x", 1, 1, file.get()), 0u);
}

TEST(SystemFiles, TheNullDeviceReadsAsEmpty) {
    File file(std::fopen(NullDevice().string().c_str(), "rb"));
    ASSERT_TRUE(file);
    EXPECT_EQ(std::fgetc(file.get()), EOF);
}

TEST(SystemFiles, ASpecialFileIsNeitherFileNorFolderNorLink) {
    const TempDir folder;
    if (!MakeSpecialFile(folder.Path() / "special"))
        GTEST_SKIP() << "no special files here";
    const fs::file_status status = fs::symlink_status(folder.Path() / "special");
    EXPECT_TRUE(fs::exists(status));
    EXPECT_FALSE(fs::is_regular_file(status));
    EXPECT_FALSE(fs::is_directory(status));
    EXPECT_FALSE(fs::is_symlink(status));
}

TEST(SystemFiles, OpenFilesAreCounted) {
    const TempDir folder;
    folder.Write("a.bin", "a");
    const std::optional<std::size_t> before = OpenFileCount();
    if (!before)
        GTEST_SKIP() << "the system cannot count open files";
    {
        File open(std::fopen(folder.Path("a.bin").string().c_str(), "rb"));
        ASSERT_TRUE(open);
        EXPECT_EQ(OpenFileCount(), *before + 1);
    }
    EXPECT_EQ(OpenFileCount(), before);
}

}  // namespace
}  // namespace testsupport
