#include "update/safe_path.h"

#include <gtest/gtest.h>

TEST(SafePath, PlainRelativePathsPass) {
    for (const wchar_t* path :
         {L"qm.exe", L"data/a.pak", L"launcher/v1/Launcher.exe", L"a..b/c", L"./x", L"C1/", L"..a/b", L"a b/c"})
        EXPECT_TRUE(IsSafeRelativePath(path)) << path;
}

TEST(SafePath, AnythingThatCanLeaveTheFolderIsRefused) {
    for (const wchar_t* path : {L"", L"/etc/passwd", L"\\x", L"..", L"../x", L"a/../../x", L"a\\..\\x", L"C:x",
                                L"C:\\Windows\\x", L"a/..", L"\\\\server\\share",
                                // A parent, or no name at all, once Windows drops trailing dots and blanks.
                                L".. /x", L"a/.../x", L"a\\. .\\x", L"  /x"})
        EXPECT_FALSE(IsSafeRelativePath(path)) << path;
}

TEST(SafePath, ListPathsHaveNoEmptyComponent) {
    for (const wchar_t* path : {L"qm.exe", L"data/a.pak", L"launcher/Launcher.exe", L"a\\b"})
        EXPECT_TRUE(IsSafeListPath(path)) << path;
    // Each of these is safe, but a stripped prefix or the comparison would
    // see another name than the download.
    for (const wchar_t* path : {L"launcher//x", L"launcher/\\x", L"data//a.pak", L"data/", L"launcher/", L"a\\\\b"}) {
        EXPECT_TRUE(IsSafeRelativePath(path)) << path;
        EXPECT_FALSE(IsSafeListPath(path)) << path;
    }
    for (const wchar_t* path : {L"/x", L"\\x", L"../x", L""})
        EXPECT_FALSE(IsSafeListPath(path)) << path;
}
