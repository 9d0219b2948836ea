#include "app/settings_file_check.h"

#include "codec/md5_functions.h"
#include "tests/support/temp_dir.h"
#include "tests/support/test_files.h"

#include <gtest/gtest.h>

namespace {

using testsupport::RandomBytes;
using testsupport::WriteBytes;

class SettingsFileCheck : public ::testing::Test {
protected:
    bool Usable(const std::string& bytes) {
        WriteBytes(dir.Path() / "pv.ini.download", bytes);
        return IsUsableSettingsFile((dir.Path() / "pv.ini.download").wstring());
    }

    testsupport::TempDir dir;
};

}  // namespace

TEST_F(SettingsFileCheck, SettingsFilesAsPublishedAreTaken) {
    EXPECT_TRUE(
        Usable("[Config]\r\nWeb=http://game.example/launcher/index.html\r\n"
               "Version=https://api.example:8443/api/launcherversionnew\r\nLanguage=chs\r\n"));
    // Without either address the local ones stay in use.
    EXPECT_TRUE(Usable("; comment\n[other]\nWeb=x\n[ config ]\nLanguage=cht\n"));
    EXPECT_TRUE(Usable("\xEF\xBB\xBF[CONFIG]\nWeb=http://h/\n"));
    EXPECT_TRUE(Usable(std::string("\xFF\xFE[\0C\0o\0n\0f\0i\0g\0]\0\n\0", 20)));
    EXPECT_TRUE(Usable("[Config]\nLanguage=" + std::string(kMaxServerSettingsBytes - 18, 'x')));
}

TEST_F(SettingsFileCheck, BrokenOrForeignContentIsRefused) {
    EXPECT_FALSE(Usable("[Config]\nVersion=http://"));  // cut off
    EXPECT_FALSE(Usable("[Config]\nWeb=http://game.example/\nVersion="));
    EXPECT_FALSE(Usable("<html><body><h1>502 Bad Gateway</h1></body></html>\n"));
    EXPECT_FALSE(Usable(RandomBytes(120, 5)));
    EXPECT_FALSE(Usable(""));
    EXPECT_FALSE(Usable("Web=http://game.example/\nVersion=http://api.example/v\n"));  // no section
    EXPECT_FALSE(Usable("[Config]\nWeb=javascript:alert(1)\n"));
    EXPECT_FALSE(Usable("[Config]\nWeb=file:///etc/passwd\n"));
    EXPECT_FALSE(Usable("[Config]\nVersion=api.example/v\n"));
    EXPECT_FALSE(Usable(std::string("[Config]\nLanguage=chs\0\n", 23)));  // a flipped byte
    EXPECT_FALSE(Usable("[Config]\nLanguage=\xff\xfe\n"));
    EXPECT_FALSE(Usable("[Config]\nLanguage=" + std::string(kMaxServerSettingsBytes - 17, 'x')));
}

TEST_F(SettingsFileCheck, ListedSettingsFileMustMatchItsSizeAndDigest) {
    const std::string published = "[Config]\nWeb=http://game.example/\nLanguage=chs\n";
    const std::wstring path = (dir.Path() / "pv.ini.download").wstring();
    const std::wstring listed = L"launcher/pv.ini";
    ASSERT_TRUE(LoadMd5Functions());
    WriteBytes(dir.Path() / "published.ini", published);
    const std::vector<FileEntry> list = {
        {L"launcher/Launcher.exe", 5, L"0123456789abcdef"},
        {listed, static_cast<std::int64_t>(published.size()), Md5TextOfFile((dir.Path() / "published.ini").wstring())}};

    WriteBytes(dir.Path() / "pv.ini.download", published);
    EXPECT_TRUE(MatchesListedFile(path, list, listed));
    // One letter changed: still a settings file, not the published one.
    WriteBytes(dir.Path() / "pv.ini.download", "[Config]\nWeb=http://game.example/\nLanguage=cht\n");
    EXPECT_TRUE(IsUsableSettingsFile(path));
    EXPECT_FALSE(MatchesListedFile(path, list, listed));
    WriteBytes(dir.Path() / "pv.ini.download", published + "\n");
    EXPECT_FALSE(MatchesListedFile(path, list, listed));
    // A list that does not name it leaves the content check alone in charge.
    EXPECT_TRUE(MatchesListedFile(path, {list[0]}, listed));
    EXPECT_FALSE(MatchesListedFile((dir.Path() / "absent.ini").wstring(), list, listed));
}

TEST_F(SettingsFileCheck, MissingFileIsRefused) {
    EXPECT_FALSE(IsUsableSettingsFile((dir.Path() / "absent.ini").wstring()));
}
