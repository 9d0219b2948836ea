#include "platform/shell32.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// The path after PathRemoveFileSpecW, and what it returned.
std::pair<std::wstring, BOOL> RemoveFileSpec(std::wstring path) {
    BOOL removed = PathRemoveFileSpecW(path.data());
    return {path.c_str(), removed};
}

std::wstring FileName(const std::wstring& path) {
    return PathFindFileNameW(path.c_str());
}

std::wstring Apply(void (*helper)(LPWSTR), std::wstring path) {
    helper(path.data());
    return path.c_str();
}

TEST(PathRemoveFileSpecW, RemovesTheLastComponent) {
    using Result = std::pair<std::wstring, BOOL>;
    EXPECT_EQ(RemoveFileSpec(L"C:\\games\\Quillmoor\\Launcher.exe"), Result(L"C:\\games\\Quillmoor", TRUE));
    EXPECT_EQ(RemoveFileSpec(L"/home/p/games/Launcher.exe"), Result(L"/home/p/games", TRUE));
    EXPECT_EQ(RemoveFileSpec(L"C:\\dir\\"), Result(L"C:\\dir", TRUE));
    EXPECT_EQ(RemoveFileSpec(L"C:\\Launcher.exe"), Result(L"C:\\", TRUE));
    EXPECT_EQ(RemoveFileSpec(L"\\Launcher.exe"), Result(L"\\", TRUE));
    EXPECT_EQ(RemoveFileSpec(L"/Launcher.exe"), Result(L"/", TRUE));
    EXPECT_EQ(RemoveFileSpec(L"\\\\server\\share"), Result(L"\\\\server", TRUE));
    // A bare name leaves nothing; a root or an empty path has nothing to remove.
    EXPECT_EQ(RemoveFileSpec(L"Launcher.exe"), Result(L"", TRUE));
    EXPECT_EQ(RemoveFileSpec(L"C:\\"), Result(L"C:\\", FALSE));
    EXPECT_EQ(RemoveFileSpec(L"/"), Result(L"/", FALSE));
    EXPECT_EQ(RemoveFileSpec(L""), Result(L"", FALSE));
    EXPECT_EQ(RemoveFileSpec(L"n:"), Result(L"n:", FALSE));
    // ':' is an ordinary character past the drive position.
    EXPECT_EQ(RemoveFileSpec(L"/data/a:b"), Result(L"/data", TRUE));
    EXPECT_FALSE(PathRemoveFileSpecW(nullptr));
}

TEST(PathFindFileNameW, FindsTheLastComponent) {
    EXPECT_EQ(FileName(L"C:\\dir\\file.txt"), L"file.txt");
    EXPECT_EQ(FileName(L"dir/sub/file.lz"), L"file.lz");
    EXPECT_EQ(FileName(L"C:\\dir\\"), L"dir\\");
    EXPECT_EQ(FileName(L"C:file"), L"file");
    EXPECT_EQ(FileName(L"C:\\"), L"C:\\");
    EXPECT_EQ(FileName(L"file"), L"file");
    EXPECT_EQ(FileName(L""), L"");
    EXPECT_EQ(PathFindFileNameW(nullptr), nullptr);
}

TEST(PathStripAndRemoveExtension, GiveTheDetailText) {
    // What the download product shows for a destination.
    EXPECT_EQ(Apply(PathRemoveExtensionW, Apply(PathStripPathW, L"C:\\data\\Update\\client\\map01.dat.lz")),
              L"map01.dat");
    EXPECT_EQ(Apply(PathStripPathW, L"/a/b/c.txt"), L"c.txt");
    EXPECT_EQ(Apply(PathStripPathW, L"plain"), L"plain");
    EXPECT_EQ(Apply(PathRemoveExtensionW, L"C:\\dir.d\\file"), L"C:\\dir.d\\file");
    EXPECT_EQ(Apply(PathRemoveExtensionW, L"/dir.d/file"), L"/dir.d/file");
    EXPECT_EQ(Apply(PathRemoveExtensionW, L"name.with blank"), L"name.with blank");
    EXPECT_EQ(Apply(PathRemoveExtensionW, L"archive.tar.gz"), L"archive.tar");
    PathStripPathW(nullptr);
    PathRemoveExtensionW(nullptr);
}

}  // namespace
