#include "platform/kernel32.h"
#include "platform/shell32.h"
#include "platform/text.h"
#include "tests/support/environment.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>

namespace {

namespace fs = std::filesystem;
using testsupport::CurrentDirectory;
using testsupport::ScopedVariable;
using testsupport::TempDir;
using testsupport::WriteBytes;

std::wstring Wide(const fs::path& path) {
    return platform::FromUtf8(path.native());
}

TEST(SHGetFolderPathW, LocalAppDataFollowsXdgDataHome) {
    TempDir folder;
    const fs::path data = folder.Path() / "data home";
    ScopedVariable xdg("XDG_DATA_HOME", data.native());
    wchar_t path[MAX_PATH];
    ASSERT_EQ(SHGetFolderPathW(nullptr, CSIDL_LOCAL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, path), S_OK);
    EXPECT_EQ(path, Wide(data));
    EXPECT_FALSE(fs::exists(data));
    ASSERT_EQ(SHGetFolderPathW(nullptr, CSIDL_LOCAL_APPDATA | CSIDL_FLAG_CREATE, nullptr, SHGFP_TYPE_CURRENT, path),
              S_OK);
    EXPECT_TRUE(fs::is_directory(data));
}

TEST(SHGetFolderPathW, FallsBackToHomeAndRefusesWhatDoesNotFit) {
    TempDir folder;
    ScopedVariable home("HOME", folder.Path().native());
    ScopedVariable relative("XDG_DATA_HOME", "relative/is/ignored");
    wchar_t path[MAX_PATH];
    ASSERT_EQ(SHGetFolderPathW(nullptr, CSIDL_LOCAL_APPDATA | CSIDL_FLAG_CREATE, nullptr, 0, path), S_OK);
    EXPECT_EQ(path, Wide(folder.Path() / ".local/share"));
    EXPECT_TRUE(fs::is_directory(folder.Path() / ".local/share"));

    ScopedVariable tooLong("XDG_DATA_HOME", "/" + std::string(MAX_PATH, 'x'));
    EXPECT_EQ(SHGetFolderPathW(nullptr, CSIDL_LOCAL_APPDATA, nullptr, 0, path), E_FAIL);
    EXPECT_EQ(SHGetFolderPathW(nullptr, 0x0005 /* My Documents */, nullptr, 0, path), E_INVALIDARG);
}

TEST(SHCreateDirectoryExW, CreatesParentsAndReportsExisting) {
    TempDir folder;
    const fs::path nested = folder.Path() / "a" / "b" / "c";
    std::wstring windowsPath = Wide(folder.Path()) + L"\\a\\b\\c\\";
    EXPECT_EQ(SHCreateDirectoryExW(nullptr, windowsPath.c_str(), nullptr), ERROR_SUCCESS);
    EXPECT_TRUE(fs::is_directory(nested));
    EXPECT_EQ(SHCreateDirectoryExW(nullptr, windowsPath.c_str(), nullptr), ERROR_ALREADY_EXISTS);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));

    // A file where a parent folder should be.
    WriteBytes(folder.Path() / "file", "x");
    std::wstring underFile = Wide(folder.Path()) + L"\\file\\sub";
    EXPECT_EQ(SHCreateDirectoryExW(nullptr, underFile.c_str(), nullptr), ERROR_PATH_NOT_FOUND);
    EXPECT_NE(SHCreateDirectoryExW(nullptr, L"", nullptr), ERROR_SUCCESS);
}

TEST(SHCreateDirectoryExW, RelativeToTheCurrentDirectory) {
    CurrentDirectory restore;
    TempDir folder;
    fs::current_path(folder.Path());
    EXPECT_EQ(SHCreateDirectoryExW(nullptr, L"Update\\launcher", nullptr), ERROR_SUCCESS);
    EXPECT_TRUE(fs::is_directory(folder.Path() / "Update" / "launcher"));
}

TEST(CurrentDirectory, WindowsBufferRules) {
    CurrentDirectory restore;
    TempDir folder;
    fs::create_directories(folder.Path() / "sub dir" / "inner");
    ASSERT_TRUE(SetCurrentDirectoryW((Wide(folder.Path()) + L"\\sub dir\\inner").c_str()));
    const std::wstring expected = Wide(fs::current_path());
    EXPECT_EQ(expected, Wide(folder.Path() / "sub dir" / "inner"));
    const auto length = static_cast<DWORD>(expected.size());

    EXPECT_EQ(GetCurrentDirectoryW(0, nullptr), length + 1);
    std::wstring buffer(length + 1, L'#');
    EXPECT_EQ(GetCurrentDirectoryW(length, buffer.data()), length + 1);  // no room for the terminator
    EXPECT_EQ(GetCurrentDirectoryW(length + 1, buffer.data()), length);
    EXPECT_EQ(buffer.c_str(), expected);

    ASSERT_TRUE(SetCurrentDirectoryW(L".."));
    EXPECT_EQ(fs::current_path(), folder.Path() / "sub dir");
    EXPECT_FALSE(SetCurrentDirectoryW(L"missing\\folder"));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(fs::current_path(), folder.Path() / "sub dir");
}

}  // namespace
