#include "update/safe_path.h"

#include <gtest/gtest.h>

TEST(SafePath, PlainRelativePathsPass) {
    for (const wchar_t* path : {L"qm.exe", L"data/a.pak", L"launcher/v1/Launcher.exe", L"a..b/c", L"./x", L"C1/"})
        EXPECT_TRUE(IsSafeRelativePath(path)) << path;
}

TEST(SafePath, AnythingThatCanLeaveTheFolderIsRefused) {
    for (const wchar_t* path : {L"", L"/etc/passwd", L"\\x", L"..", L"../x", L"a/../../x", L"a\\..\\x", L"C:x",
                                L"C:\\Windows\\x", L"a/..", L"\\\\server\\share"})
        EXPECT_FALSE(IsSafeRelativePath(path)) << path;
}
