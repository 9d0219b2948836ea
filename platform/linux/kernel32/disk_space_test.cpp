// GetDiskFreeSpaceExW: the volume's figures for a folder, and Windows'
// refusals for what is not one.
#include "platform/kernel32.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <sys/statvfs.h>

#include <filesystem>
#include <fstream>

using testsupport::TempDir;

TEST(DiskSpace, FolderAnswersWithItsVolumeAndOthersAreRefused) {
    TempDir temp;
    std::filesystem::create_directories(temp.Path() / "a" / "b");
    ULARGE_INTEGER available{}, total{}, free{};
    // Either separator, as every file function here takes.
    const std::wstring folder = temp.Path().wstring() + L"\\a/b";
    ASSERT_TRUE(GetDiskFreeSpaceExW(folder.c_str(), &available, &total, &free));
    struct statvfs volume {};
    ASSERT_EQ(statvfs(temp.Path().c_str(), &volume), 0);
    EXPECT_EQ(total.QuadPart, std::uint64_t{volume.f_frsize} * volume.f_blocks);
    EXPECT_LE(available.QuadPart, free.QuadPart);
    EXPECT_LE(free.QuadPart, total.QuadPart);
    EXPECT_GT(total.QuadPart, 0u);
    // Only the figure asked for.
    EXPECT_TRUE(GetDiskFreeSpaceExW(folder.c_str(), nullptr, &total, nullptr));

    std::ofstream(temp.Path() / "file") << "x";
    EXPECT_FALSE(GetDiskFreeSpaceExW((temp.Path() / "file").wstring().c_str(), &available, nullptr, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_DIRECTORY));
    EXPECT_FALSE(GetDiskFreeSpaceExW((temp.Path() / "missing").wstring().c_str(), &available, nullptr, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
}
