#include "tools/cdn/publish/folder_walk.h"

#include "tests/support/system_files.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <string>

namespace {

std::vector<std::string> Relatives(const std::vector<SourceFile>& files) {
    std::vector<std::string> relatives;
    for (const SourceFile& file : files) {
        relatives.push_back(file.relative);
    }
    return relatives;
}

TEST(FolderWalkTest, ListsFilesDepthFirstInByteOrder) {
    testsupport::TempDir dir;
    dir.Write("b.txt", "bb");
    dir.Write("a/z.txt", "z");
    dir.Write("a/b/c.txt", "ccc");
    dir.Write("C.txt", "C");  // upper case first; not "B.txt": a Windows folder cannot hold it beside "b.txt"
    dir.Write("a.txt", "");
    std::filesystem::create_directories(dir.Path() / "empty");
    std::vector<std::string> problems;
    const std::vector<SourceFile> files = ListFiles(dir.Path(), "client folder", problems);
    EXPECT_TRUE(problems.empty());
    EXPECT_EQ(Relatives(files), (std::vector<std::string>{"C.txt", "a/b/c.txt", "a/z.txt", "a.txt", "b.txt"}));
    EXPECT_EQ(files[1].size, 3u);
    EXPECT_EQ(files[1].file, dir.Path() / "a" / "b" / "c.txt");
}

TEST(FolderWalkTest, FollowsLinksToFiles) {
    testsupport::TempDir dir;
    const auto target = dir.Write("real/file.bin", "12345");
    std::filesystem::create_directories(dir.Path() / "root");
    std::error_code error;
    std::filesystem::create_symlink(target, dir.Path() / "root" / "link.bin", error);
    if (error)
        GTEST_SKIP() << "no symbolic links here (mingw's std::filesystem makes none): " << error.message();
    std::vector<std::string> problems;
    const std::vector<SourceFile> files = ListFiles(dir.Path() / "root", "client folder", problems);
    EXPECT_TRUE(problems.empty());
    ASSERT_EQ(files.size(), 1u);
    EXPECT_EQ(files[0].relative, "link.bin");
    EXPECT_EQ(files[0].size, 5u);
}

TEST(FolderWalkTest, RefusesWhatCannotBePublished) {
    struct Case {
        const char* what;
        std::string made;  // the entry's name, as UTF-8 bytes
        bool link;
        std::function<void(const std::filesystem::path&)> make;
    };
    const Case cases[] = {
        {"newline in a name", "a\nb", false, [](const auto& root) { std::ofstream(root / "a\nb"); }},
        {"backslash in a folder name", "x\\y", false,
         [](const auto& root) {
             std::filesystem::create_directories(root / "x\\y");
             std::ofstream(root / "x\\y" / "f");
         }},
        {"non-UTF-8 name", "caf\xE9", false, [](const auto& root) { std::ofstream(root / "caf\xE9"); }},
        {"named pipe", "pipe", false, [](const auto& root) { testsupport::MakeSpecialFile(root / "pipe"); }},
        {"link to a folder", "loop", true,
         [](const auto& root) {
             std::filesystem::create_directories(root / "sub");
             std::filesystem::create_directory_symlink(root / "sub", root / "loop");
         }},
        {"dangling link", "dangling", true,
         [](const auto& root) { std::filesystem::create_symlink(root / "gone", root / "dangling"); }},
    };
    std::string unmade;
    for (const Case& c : cases) {
        testsupport::TempDir dir;
        dir.Write("fine.txt", "ok");
        try {
            c.make(dir.Path());
        } catch (const std::filesystem::filesystem_error&) {
        }
        bool made = false;
        for (const auto& entry : std::filesystem::directory_iterator(dir.Path())) {
            const std::u8string name = entry.path().filename().u8string();
            made = made || (std::string(name.begin(), name.end()) == c.made &&
                            (!c.link || std::filesystem::is_symlink(entry.symlink_status())));
        }
        if (!made) {
            unmade += std::string(unmade.empty() ? "" : ", ") + c.what;
            continue;
        }
        std::vector<std::string> problems;
        const std::vector<SourceFile> files = ListFiles(dir.Path(), "client folder", problems);
        EXPECT_EQ(problems.size(), 1u) << c.what;
        EXPECT_EQ(Relatives(files), std::vector<std::string>{"fine.txt"}) << c.what;
    }
    // Windows names cannot carry a newline or a backslash and are always
    // Unicode; pipes live outside folders there, and mingw's std::filesystem
    // makes no symbolic links.
    if (!unmade.empty())
        GTEST_SKIP() << "this system cannot make: " << unmade;
}

TEST(FolderWalkTest, EveryOffenderIsNamedAndTheWalkGoesOn) {
    testsupport::TempDir dir;
    dir.Write("fine one.txt", "ok");
    dir.Write("a#b", "x");
    dir.Write("sub/c%d", "x");
    dir.Write("sub/fine", "x");
    // A refused folder is named once, not once for each file below it.
    dir.Write("bad%dir/e#f", "x");
    dir.Write("bad%dir/g", "x");
    std::vector<std::string> problems;
    const std::vector<SourceFile> files = ListFiles(dir.Path(), "client folder", problems);
    const std::vector<std::string> expected = {
        (dir.Path() / "a#b").string() + ": \"#\" cannot travel unescaped in a CDN URL",
        (dir.Path() / "bad%dir").string() + ": \"%\" cannot travel unescaped in a CDN URL",
        (dir.Path() / "sub" / "c%d").string() + ": \"%\" cannot travel unescaped in a CDN URL"};
    EXPECT_EQ(problems, expected);
    EXPECT_EQ(Relatives(files), (std::vector<std::string>{"fine one.txt", "sub/fine"}));
}

TEST(FolderWalkTest, MissingRootIsNamedInTheProblem) {
    testsupport::TempDir dir;
    std::vector<std::string> problems;
    EXPECT_TRUE(ListFiles(dir.Path() / "nope", "launcher folder", problems).empty());
    ASSERT_EQ(problems.size(), 1u);
    EXPECT_NE(problems[0].find("launcher folder"), std::string::npos);
    EXPECT_NE(problems[0].find("nope"), std::string::npos);
}

}  // namespace
