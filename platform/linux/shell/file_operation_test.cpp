#include "platform/shell32.h"
#include "platform/text.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <string>

namespace {

namespace fs = std::filesystem;
using testsupport::CurrentDirectory;
using testsupport::ReadBytes;
using testsupport::TempDir;
using testsupport::WriteBytes;

// A double-zero-terminated list of one Windows-style path.
std::wstring List(const fs::path& path, const std::wstring& suffix = L"") {
    std::wstring list = platform::FromUtf8(path.native()) + suffix;
    list.push_back(L'\0');
    return list;  // the string's own terminator ends the list
}

int Copy(const std::wstring& from, const std::wstring& to, FILEOP_FLAGS flags = 0x214) {
    SHFILEOPSTRUCTW operation{};
    operation.wFunc = FO_COPY;
    operation.pFrom = from.c_str();
    operation.pTo = to.c_str();
    operation.fFlags = flags;
    return SHFileOperationW(&operation);
}

class FileOperationTest : public ::testing::Test {
protected:
    FileOperationTest() : m_source(m_folder.Path() / "new"), m_target(m_folder.Path() / "installed") {
        WriteBytes(m_source / "Launcher.exe", "new launcher");
        WriteBytes(m_source / "data.dll", "new dll");
        WriteBytes(m_source / "LauncherStyles" / "Image" / "bg.png", "png");
        WriteBytes(m_source / ".hidden", "dot");
    }

    TempDir m_folder;
    fs::path m_source;
    fs::path m_target;
};

TEST_F(FileOperationTest, CopiesFolderContentsIntoAMissingDestination) {
    ASSERT_EQ(Copy(List(m_source, L"\\*"), List(m_target)), 0);
    EXPECT_EQ(ReadBytes(m_target / "Launcher.exe"), "new launcher");
    EXPECT_EQ(ReadBytes(m_target / "data.dll"), "new dll");
    EXPECT_EQ(ReadBytes(m_target / "LauncherStyles" / "Image" / "bg.png"), "png");
    EXPECT_EQ(ReadBytes(m_target / ".hidden"), "dot");
    EXPECT_TRUE(fs::exists(m_source / "Launcher.exe"));
}

TEST_F(FileOperationTest, OverwritesExistingFilesAndKeepsOthers) {
    WriteBytes(m_target / "Launcher.exe", "an old launcher that is longer than the new one");
    WriteBytes(m_target / "LauncherStyles" / "Image" / "bg.png", "old png");
    WriteBytes(m_target / "settings.ini", "kept");
    ASSERT_EQ(Copy(List(m_source, L"\\*.*"), List(m_target)), 0);
    EXPECT_EQ(ReadBytes(m_target / "Launcher.exe"), "new launcher");
    EXPECT_EQ(ReadBytes(m_target / "LauncherStyles" / "Image" / "bg.png"), "png");
    EXPECT_EQ(ReadBytes(m_target / "settings.ini"), "kept");
}

TEST_F(FileOperationTest, ListsOfFilesFoldersAndPatterns) {
    std::wstring from =
        List(m_source / "data.dll") + List(m_source / "LauncherStyles") + List(m_source, L"\\LAUNCHER.?XE");
    ASSERT_EQ(Copy(from, List(m_target)), 0);
    EXPECT_EQ(ReadBytes(m_target / "data.dll"), "new dll");
    EXPECT_EQ(ReadBytes(m_target / "LauncherStyles" / "Image" / "bg.png"), "png");
    EXPECT_EQ(ReadBytes(m_target / "Launcher.exe"), "new launcher");
    EXPECT_FALSE(fs::exists(m_target / ".hidden"));
}

TEST_F(FileOperationTest, Failures) {
    SHFILEOPSTRUCTW operation{};
    operation.wFunc = FO_COPY;
    EXPECT_NE(SHFileOperationW(nullptr), 0);
    EXPECT_NE(SHFileOperationW(&operation), 0);  // no source list

    // A missing source copies nothing and creates nothing.
    EXPECT_NE(Copy(List(m_folder.Path() / "absent", L"\\*"), List(m_target)), 0);
    EXPECT_NE(Copy(List(m_source / "absent.dll"), List(m_target)), 0);
    EXPECT_FALSE(fs::exists(m_target));

    // Without FOF_NOCONFIRMMKDIR a missing destination needs a confirmation.
    std::wstring from = List(m_source, L"\\*");
    std::wstring to = List(m_target);
    operation.pFrom = from.c_str();
    operation.pTo = to.c_str();
    operation.fFlags = FOF_SILENT | FOF_NOCONFIRMATION;
    EXPECT_NE(SHFileOperationW(&operation), 0);
    EXPECT_TRUE(operation.fAnyOperationsAborted);
    EXPECT_FALSE(fs::exists(m_target));

    // A file where the destination folder should be.
    WriteBytes(m_target, "file");
    EXPECT_NE(Copy(List(m_source, L"\\*"), List(m_target)), 0);
}

TEST_F(FileOperationTest, NeverCopiesOntoItself) {
    // The destination is the source folder itself: the files must survive.
    EXPECT_NE(Copy(List(m_source, L"\\*"), List(m_source)), 0);
    EXPECT_EQ(ReadBytes(m_source / "Launcher.exe"), "new launcher");
    EXPECT_EQ(ReadBytes(m_source / "LauncherStyles" / "Image" / "bg.png"), "png");

    // An empty destination is the current directory, here the source again.
    CurrentDirectory restore;
    fs::current_path(m_source);
    EXPECT_NE(Copy(List(m_source / "data.dll"), std::wstring(2, L'\0')), 0);
    EXPECT_EQ(ReadBytes(m_source / "data.dll"), "new dll");

    // A folder into a folder below itself.
    EXPECT_NE(Copy(List(m_source / "LauncherStyles"), List(m_source / "LauncherStyles" / "Image")), 0);
    EXPECT_FALSE(fs::exists(m_source / "LauncherStyles" / "Image" / "LauncherStyles"));
}

}  // namespace
