#include "platform/crt.h"
#include "platform/linux/test_folders.h"

#include <gtest/gtest.h>

#include <fcntl.h>

#include <cerrno>
#include <memory>

namespace {

using platform::testing::CurrentDirectoryRestorer;
using platform::testing::ReadFile;
using platform::testing::ScratchFolder;

struct FileCloser {
    void operator()(FILE* file) const { std::fclose(file); }
};

TEST(WideFopen, MapsPathAndModeAndKeepsFilesFromChildren) {
    CurrentDirectoryRestorer restore;
    ScratchFolder folder;
    std::filesystem::create_directories(folder.Path() / "sub");
    std::filesystem::current_path(folder.Path());

    std::unique_ptr<FILE, FileCloser> file(_wfopen(L".\\sub\\\u4e2d.bin", L"wb+"));
    ASSERT_TRUE(file);
    EXPECT_EQ(std::fwrite("data", 1, 4, file.get()), 4u);
    // Not inherited by programs this process starts.
    EXPECT_TRUE(fcntl(fileno(file.get()), F_GETFD) & FD_CLOEXEC);
    file.reset();
    EXPECT_EQ(ReadFile(folder.Path() / "sub" / "\xE4\xB8\xAD.bin"), "data");

    file.reset(_wfopen(L"sub/\u4e2d.bin", L"rb"));
    ASSERT_TRUE(file);
    char buffer[8] = {};
    EXPECT_EQ(std::fread(buffer, 1, sizeof buffer, file.get()), 4u);

    EXPECT_EQ(_wfopen(L"sub\\absent.bin", L"rb"), nullptr);
    EXPECT_EQ(errno, ENOENT);
    EXPECT_EQ(_wfopen(nullptr, L"rb"), nullptr);
    EXPECT_EQ(errno, EINVAL);
}

}  // namespace
