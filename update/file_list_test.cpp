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
    EXPECT_TRUE(ParseFileList(stream, context));
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

// A list that does not read whole, or names a file the launcher cannot
// place, installs nothing: before, an unreadable first size read as an empty
// list and the game started on a client that did not match it.
TEST(ParseFileList, ListsThatDoNotReadWholeAreRefusedWhole) {
    const std::wstring good = L"data/a.bin\n3 3cd24fb0d6963f7d\n";
    const std::wstring refused[] = {
        L"a\nsize 0123456789abcdef\n" + good,                        // unreadable size, first
        good + L"b\n-5 0123456789abcdef\n",                          // negative size
        good + L"d\n99999999999999999999 0123456789abcdef\n",        // beyond 64 bits
        good + std::wstring(300, L'x') + L"\n2 0123456789abcdef\n",  // path line too long
        good + L"only-a-path",                                       // record cut short
        good + L"c\n3 3CD24FB0D6963F7D\n",                           // not an Md5Text
        L"/x\n3 3cd24fb0d6963f7d\n" + good,                          // absolute path
        good + L"../up.txt\n3 3cd24fb0d6963f7d\n",                   // leaves the folder
        good + L"launcher//x\n3 3cd24fb0d6963f7d\n",                 // empty component
        // Summed, these two pass the 2^53 bytes a list may describe.
        L"a\n9007199254740990 0123456789abcdef\nb\n3 0123456789abcdef\n",
    };
    for (const std::wstring& text : refused) {
        CUpdateContext context;
        context.remoteFiles.push_back(FileEntry{L"stale", 1, L"0123456789abcdef"});
        std::wistringstream stream(text);
        EXPECT_FALSE(ParseFileList(stream, context)) << testing::PrintToString(text);
        EXPECT_TRUE(context.remoteFiles.empty()) << testing::PrintToString(text);
    }
    // Up to exactly 2^53 bytes, an empty text, and a blank last line are fine.
    for (const std::wstring& text : {std::wstring(L"a\n9007199254740990 0123456789abcdef\nb\n2 0123456789abcdef\n"),
                                     std::wstring(), good + L"\n"}) {
        CUpdateContext context;
        std::wistringstream stream(text);
        EXPECT_TRUE(ParseFileList(stream, context)) << testing::PrintToString(text);
    }
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
