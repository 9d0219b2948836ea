#include "update/file_list.h"

#include "codec/md5_functions.h"
#include "codec/path_key.h"
#include "state/launcher_settings.h"
#include "state/view_broser.h"
#include "update/manifest.h"

#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <sstream>

using testsupport::CurrentDirectory;
using testsupport::TempDir;

namespace {

std::vector<FileEntry> Parse(const std::wstring& text) {
    CUpdateContext context;
    std::wistringstream stream(text);
    ParseFileList(stream, context);
    return context.remoteFiles;
}

// "abc": MD5 900150983cd24fb0d6963f7d28e17f72.
const wchar_t kAbcMd5Text[] = L"3cd24fb0d6963f7d";

}  // namespace

TEST(ParseFileList, ReadsPathSizeAndDigestRecords) {
    const auto entries = Parse(L"data/a.bin\n3 3cd24fb0d6963f7d\nqm.exe\n  1024\n0123456789abcdef trailing words\n");
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].path, L"data/a.bin");
    EXPECT_EQ(entries[0].size, 3);
    EXPECT_EQ(entries[0].md5, kAbcMd5Text);
    EXPECT_EQ(entries[1].path, L"qm.exe");
    EXPECT_EQ(entries[1].size, 1024);
    EXPECT_EQ(entries[1].md5, L"0123456789abcdef");
}

TEST(ParseFileList, CarriageReturnsStayInThePath) {
    const auto entries = Parse(L"a.txt\r\n3 3cd24fb0d6963f7d\r\n");
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].path, L"a.txt\r");
}

TEST(ParseFileList, SizesBeyondTwoGigabytesAreKept) {
    const auto entries = Parse(L"big.pak\n5368709120 0123456789abcdef\n");
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].size, 5368709120LL);
}

TEST(ParseFileList, OverlongPathLineEndsTheList) {
    const std::wstring longPath(300, L'x');
    const auto entries = Parse(L"a\n1 0123456789abcdef\n" + longPath + L"\n2 0123456789abcdef\nb\n3 x\n");
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[1].path, std::wstring(259, L'x'));
    EXPECT_EQ(entries[1].size, 0);
    EXPECT_TRUE(entries[1].md5.empty());
}

TEST(ParseFileList, EmptyTextAndMissingFields) {
    EXPECT_TRUE(Parse(L"").empty());
    const auto entries = Parse(L"only-a-path");
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].size, 0);
    EXPECT_TRUE(entries[0].md5.empty());
}

TEST(ParseFileList, EntriesOutsideTheirFolderAreRefused) {
    const auto entries = Parse(
        L"/x\n3 3cd24fb0d6963f7d\nlauncher//x\n3 3cd24fb0d6963f7d\n"
        L"../up.txt\n3 3cd24fb0d6963f7d\ndata/a.bin\n3 3cd24fb0d6963f7d\n");
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].path, L"data/a.bin");
}

TEST(ParseFileList, SizesNoFileCanHaveAreRefused) {
    // Summed, the first two overflowed a 64-bit total.
    auto entries = Parse(
        L"a\n9223372036854775807 0123456789abcdef\nb\n1 0123456789abcdef\n"
        L"c\n-5 0123456789abcdef\nd\n99999999999999999999 0123456789abcdef\n");
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].path, L"b");
    // The list as a whole stays within 2^53 bytes.
    entries = Parse(
        L"a\n9007199254740990 0123456789abcdef\nb\n2 0123456789abcdef\nc\n1 0123456789abcdef\n"
        L"d\n0 0123456789abcdef\n");
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_EQ(entries[1].path, L"b");
    EXPECT_EQ(entries[2].path, L"d");
}

TEST(Manifest, RecordsOfTwentyFiveBytes) {
    std::vector<unsigned char> body(50);
    for (std::size_t i = 0; i < body.size(); ++i)
        body[i] = static_cast<unsigned char>(i);
    std::map<std::string, std::string> map;
    ParseManifest(body.data(), body.size(), map);
    ASSERT_EQ(map.size(), 2u);
    EXPECT_EQ(map["0001020304"], "05060708090a0b0c0d0e0f101112131415161718");
    EXPECT_EQ(map["191a1b1c1d"], "1e1f202122232425262728292a2b2c2d2e2f3031");

    std::map<std::string, std::string> none;
    body.push_back(0);
    ParseManifest(body.data(), body.size(), none);
    EXPECT_TRUE(none.empty());
}

TEST(Manifest, LaterRecordWithTheSameKeyWins) {
    std::vector<unsigned char> body(50, 0);
    body[49] = 0x7f;
    std::map<std::string, std::string> map;
    ParseManifest(body.data(), body.size(), map);
    ASSERT_EQ(map.size(), 1u);
    EXPECT_EQ(map["0000000000"], "000000000000000000000000000000000000007f");
}

class Resolve : public ::testing::Test {
protected:
    void SetUp() override { cdn_url = L"http://cdn/"; }
    void TearDown() override { cdn_url.clear(); }
    CUpdateContext context;
};

TEST_F(Resolve, DiffFirstThenTreeOfTheDirectory) {
    context.indexMap[PathKey(L"C1/data")] = "tree-id";
    context.diffMap[PathKey(L"C1/data/new.pak.lz")] = "file-id";
    EXPECT_EQ(ResolveCdnUrl(context, L"C1/data/new.pak.lz"), L"http://cdn/file/file-id/new.pak.lz");
    // Missing from the diff: falls back to the directory's tree.
    EXPECT_EQ(ResolveCdnUrl(context, L"C1/data/old.pak.lz"), L"http://cdn/tree/tree-id/old.pak.lz");
    EXPECT_EQ(ResolveCdnUrl(context, L"C1/other/x.lz"), L"");
}

TEST_F(Resolve, PathWithoutDirectoryIsKeyedByDot) {
    context.indexMap[PathKey(L".")] = "root";
    EXPECT_EQ(ResolveCdnUrl(context, L"qm.md5"), L"http://cdn/tree/root/qm.md5");
    // The launcher list of version v/ sits in the tree of "launcher/v".
    context.indexMap[PathKey(L"launcher/v")] = "lv";
    EXPECT_EQ(ResolveCdnUrl(context, L"launcher/v/launcher.md5"), L"http://cdn/tree/lv/launcher.md5");
}

class Compare : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(LoadMd5Functions()); }
    void Add(const std::wstring& path, std::int64_t size, const std::wstring& md5) {
        context.remoteFiles.push_back(FileEntry{path, size, md5});
    }
    std::vector<std::wstring> PendingPaths() const {
        std::vector<std::wstring> paths;
        for (const FileEntry& entry : context.pendingFiles)
            paths.push_back(entry.path);
        return paths;
    }
    TempDir folder;
    CurrentDirectory here{folder.Path()};
    CUpdateContext context;
};

TEST_F(Compare, MissingWrongLengthAndWrongContentArePending) {
    folder.Write("same.txt", "abc");
    folder.Write("sub/changed.txt", "abd");  // right length, other content
    folder.Write("short.txt", "ab");
    Add(L"same.txt", 3, kAbcMd5Text);
    Add(L"sub/changed.txt", 3, kAbcMd5Text);
    Add(L"short.txt", 3, kAbcMd5Text);
    Add(L"missing.txt", 10, kAbcMd5Text);
    Add(L"../same.txt", 3, kAbcMd5Text);  // never read outside the folder
    CompareFileList(context, 0);

    EXPECT_EQ(PendingPaths(),
              (std::vector<std::wstring>{L"sub/changed.txt", L"short.txt", L"missing.txt", L"../same.txt"}));
    EXPECT_EQ(context.totalBytes, 22);
    CViewBroser* view = GetViewBroser();
    EXPECT_EQ(view->GetTotal(1), 22);
    EXPECT_EQ(view->GetDone(1), 3);
    EXPECT_EQ(view->GetFileStart(), 3);
    EXPECT_EQ(view->GetFileEnd(), 3);
}

TEST_F(Compare, WithoutALocalFolderEverythingIsPending) {
    folder.Write("same.txt", "abc");
    Add(L"same.txt", 3, kAbcMd5Text);
    CompareFileList(context, 0, false);
    EXPECT_EQ(PendingPaths(), std::vector<std::wstring>{L"same.txt"});
}

TEST_F(Compare, ChangedLauncherFilePullsInLauncherExe) {
    const std::wstring previous = g_settings.startDirectory;
    g_settings.startDirectory = folder.Path().wstring();
    folder.Write("Launcher.exe", "abc");
    folder.Write("ui.dll", "old");
    Add(L"launcher/Launcher.exe", 3, kAbcMd5Text);
    Add(L"launcher/ui.dll", 3, kAbcMd5Text);
    PrepareLauncherList(context);
    g_settings.startDirectory = previous;

    EXPECT_EQ(PendingPaths(), (std::vector<std::wstring>{L"ui.dll", L"Launcher.exe"}));
    EXPECT_EQ(context.launcherUpdatePending, 1);
    EXPECT_EQ(context.packSuffix, L".z");
    // Both files are still to come: nothing of the total is done.
    EXPECT_EQ(GetViewBroser()->GetTotal(1), 6);
    EXPECT_EQ(GetViewBroser()->GetDone(1), 0);
}

TEST_F(Compare, UnchangedLauncherNeedsNothing) {
    const std::wstring previous = g_settings.startDirectory;
    g_settings.startDirectory = folder.Path().wstring();
    folder.Write("Launcher.exe", "abc");
    Add(L"launcher/Launcher.exe", 3, kAbcMd5Text);
    context.launcherUpdatePending = 1;
    PrepareLauncherList(context);
    g_settings.startDirectory = previous;

    EXPECT_TRUE(context.pendingFiles.empty());
    EXPECT_EQ(context.launcherUpdatePending, 0);
}
