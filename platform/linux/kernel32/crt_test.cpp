#include "platform/crt.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <fcntl.h>

#include <cerrno>
#include <memory>

namespace {

using testsupport::CurrentDirectory;
using testsupport::ReadBytes;
using testsupport::TempDir;

struct FileCloser {
    void operator()(FILE* file) const { std::fclose(file); }
};

TEST(WideFopen, MapsPathAndModeAndKeepsFilesFromChildren) {
    CurrentDirectory restore;
    TempDir folder;
    std::filesystem::create_directories(folder.Path() / "sub");
    std::filesystem::current_path(folder.Path());

    std::unique_ptr<FILE, FileCloser> file(_wfopen(L".\\sub\\\u4e2d.bin", L"wb+"));
    ASSERT_TRUE(file);
    EXPECT_EQ(std::fwrite("data", 1, 4, file.get()), 4u);
    // Not inherited by programs this process starts.
    EXPECT_TRUE(fcntl(fileno(file.get()), F_GETFD) & FD_CLOEXEC);
    file.reset();
    EXPECT_EQ(ReadBytes(folder.Path() / "sub" / "\xE4\xB8\xAD.bin"), "data");

    file.reset(_wfopen(L"sub/\u4e2d.bin", L"rb"));
    ASSERT_TRUE(file);
    char buffer[8] = {};
    EXPECT_EQ(std::fread(buffer, 1, sizeof buffer, file.get()), 4u);

    EXPECT_EQ(_wfopen(L"sub\\absent.bin", L"rb"), nullptr);
    EXPECT_EQ(errno, ENOENT);
    EXPECT_EQ(_wfopen(nullptr, L"rb"), nullptr);
    EXPECT_EQ(errno, EINVAL);
}

TEST(WideFopen, TextModeWritesLineFeedsAsCrLfAndReadsThemBack) {
    CurrentDirectory restore;
    TempDir folder;
    std::filesystem::current_path(folder.Path());
    std::unique_ptr<FILE, FileCloser> file(_wfopen(L"log.txt", L"w+"));
    ASSERT_NE(file, nullptr);
    ASSERT_GE(std::fputs("one\ntwo\r\n\n", file.get()), 0);
    ASSERT_EQ(std::fflush(file.get()), 0);
    EXPECT_EQ(ReadBytes(folder.Path() / "log.txt"), "one\r\ntwo\r\r\n\r\n");

    std::rewind(file.get());
    char line[64] = "";
    ASSERT_NE(std::fgets(line, sizeof line, file.get()), nullptr);
    EXPECT_STREQ(line, "one\n");
    ASSERT_NE(std::fgets(line, sizeof line, file.get()), nullptr);
    EXPECT_STREQ(line, "two\r\n");
    file.reset();

    // "w+" starts over; binary mode keeps bytes as they are.
    file.reset(_wfopen(L"log.txt", L"wt"));
    ASSERT_NE(file, nullptr);
    std::fputs("x\n", file.get());
    file.reset(_wfopen(L"raw.bin", L"wb"));
    std::fputs("x\n", file.get());
    file.reset();
    EXPECT_EQ(ReadBytes(folder.Path() / "log.txt"), "x\r\n");
    EXPECT_EQ(ReadBytes(folder.Path() / "raw.bin"), "x\n");
}

}  // namespace
