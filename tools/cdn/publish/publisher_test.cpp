#include "tools/cdn/publish/publisher.h"

#include "codec/inflate_file.h"
#include "codec/lzma_decode_file.h"
#include "codec/md5_functions.h"
#include "codec/path_key.h"
#include "platform/crt.h"
#include "platform/text.h"
#include "tests/support/temp_dir.h"
#include "tools/cdn/publish/publish_error.h"
#include "tools/cdn/publish/publisher_test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <set>
#include <sstream>

namespace fs = std::filesystem;

namespace {

using namespace cdntest;

std::string Inflated(const fs::path& packed, const fs::path& scratch) {
    FILE* source = platform::OpenCFile(packed, "rb");
    FILE* target = platform::OpenCFile(scratch, "wb");
    int result = source && target ? InflateFile(source, target) : -1;
    if (source) {
        std::fclose(source);
    }
    if (target) {
        std::fclose(target);
    }
    EXPECT_EQ(result, 0) << packed;
    return ReadBytes(scratch);
}

std::string LzmaDecoded(const fs::path& packed, const fs::path& scratch) {
    EXPECT_EQ(LzmaDecodeFile(Wide(packed), Wide(scratch)), 0) << packed;
    return ReadBytes(scratch);
}

TEST_F(PublisherTest, AnswersNameTheVersionFoldersAndTheIndex) {
    const PublishSummary summary = Run(Options());
    const LauncherView launcher(m_dir.Path() / "cdn", "launcher-pv.txt");
    const LauncherView client(m_dir.Path() / "cdn", "client.txt");
    EXPECT_EQ(launcher.AnswerText(),
              "cdn_url={server}/cdn/|cdn_path=L1/|cdn_index=" + summary.indexName + "|web_url={server}/web/index.html");
    EXPECT_EQ(client.AnswerText(),
              "cdn_url={server}/cdn/|cdn_path=C1/|cdn_index=" + summary.indexName + "|web_url={server}/web/index.html");
    EXPECT_TRUE(fs::is_regular_file(m_dir.Path() / "cdn" / "index" / summary.indexName));
    EXPECT_EQ(summary.files, 7u);
    EXPECT_TRUE(summary.diffName.empty());
}

TEST_F(PublisherTest, IndexHasOneTreePerCdnDirectory) {
    Run(Options());
    const LauncherView view(m_dir.Path() / "cdn", "client.txt");
    const std::vector<std::wstring> directories = {L"launcher", L"launcher/L1",  L"launcher/L1/sub", L"C1",
                                                   L"C1/data",  L"C1/data/maps", L"C1/\u5730\u56FE"};
    ASSERT_EQ(view.Index().size(), directories.size());
    for (const std::wstring& directory : directories) {
        const auto tree = view.Index().find(PathKey(directory));
        ASSERT_NE(tree, view.Index().end()) << platform::ToUtf8(directory);
        EXPECT_TRUE(fs::is_directory(m_dir.Path() / "cdn" / "tree" / tree->second));
    }
}

TEST_F(PublisherTest, LauncherListAndFilesAsTheLauncherFetchesThem) {
    Run(Options());
    const LauncherView view(m_dir.Path() / "cdn", "launcher-pv.txt");
    const std::wstring version = L"launcher/" + platform::FromUtf8(view.Field("cdn_path"));
    const fs::path list = view.Resolve(version + L"launcher.md5");
    ASSERT_FALSE(list.empty());
    const std::vector<ListEntry> entries = ReadMd5List(list);
    ASSERT_EQ(entries.size(), m_launcher.size());
    auto source = m_launcher.begin();
    for (const ListEntry& entry : entries) {
        const std::string relative = source->first;
        EXPECT_EQ(entry.path, L"launcher/" + platform::FromUtf8(relative));
        EXPECT_EQ(entry.size, source->second.size());
        EXPECT_EQ(entry.md5Text, Md5TextOfFile(Wide(m_dir.Path() / "launcher" / testsupport::Utf8Path(relative))));
        const fs::path packed = view.Resolve(version + entry.path.substr(9) + L".z");
        ASSERT_FALSE(packed.empty()) << relative;
        EXPECT_EQ(Inflated(packed, Scratch()), source->second) << relative;
        ++source;
    }
    EXPECT_EQ(entries[2].md5Text, L"3cd24fb0d6963f7d");
}

TEST_F(PublisherTest, ClientListAndFilesAsTheLauncherFetchesThem) {
    Run(Options());
    const LauncherView view(m_dir.Path() / "cdn", "client.txt");
    const std::wstring version = platform::FromUtf8(view.Field("cdn_path"));
    const fs::path list = view.Resolve(version + L"qm.md5");
    ASSERT_FALSE(list.empty());
    const std::vector<ListEntry> entries = ReadMd5List(list);
    std::map<std::string, std::string> decoded;
    for (const ListEntry& entry : entries) {
        const std::string relative = platform::ToUtf8(entry.path);
        ASSERT_TRUE(m_client.count(relative)) << relative;
        EXPECT_EQ(entry.size, m_client[relative].size());
        EXPECT_EQ(entry.md5Text, Md5TextOfFile(Wide(m_dir.Path() / "client" / testsupport::Utf8Path(relative))));
        const fs::path packed = view.Resolve(version + entry.path + L".lz");
        ASSERT_FALSE(packed.empty()) << relative;
        decoded[relative] = LzmaDecoded(packed, Scratch());
    }
    EXPECT_EQ(decoded, m_client);
}

TEST_F(PublisherTest, SettingsFileIsServedAsItStands) {
    Run(Options());
    const LauncherView view(m_dir.Path() / "cdn", "launcher-pv.txt");
    const fs::path settings = view.Resolve(L"launcher/pv.ini");
    ASSERT_FALSE(settings.empty());
    EXPECT_EQ(ReadBytes(settings), m_launcher["pv.ini"]);

    fs::remove(m_dir.Path() / "launcher" / "pv.ini");
    PublishOptions options = Options("other");
    options.settingsFile = m_dir.Write("server.ini", "[Config]\nWeb=http://elsewhere/\n");
    Run(options);
    EXPECT_EQ(ReadBytes(LauncherView(m_dir.Path() / "other", "launcher-pv.txt").Resolve(L"launcher/pv.ini")),
              "[Config]\nWeb=http://elsewhere/\n");
}

TEST_F(PublisherTest, MirrorsGoIntoTheServedSettingsAndTheLaunchersCopyAlike) {
    const std::string original =
        "[Config]\r\nWeb=http://127.0.0.1/web/index.html\r\nmirrors = http://old/cdn/\r\n"
        "[Other]\r\nMirrors=kept\r\n";
    Launcher("pv.ini", original);
    PublishOptions options = Options();
    options.mirrors = {"https://m1.example.com/cdn", "http://m2.example.com:8080/cdn/"};
    Run(options);

    // One line in place of the old one, below the header, in the file's own
    // line ends; other sections keep theirs.
    const std::string served =
        "[Config]\r\nMirrors=https://m1.example.com/cdn/ http://m2.example.com:8080/cdn/\r\n"
        "Web=http://127.0.0.1/web/index.html\r\n[Other]\r\nMirrors=kept\r\n";
    const LauncherView view(m_dir.Path() / "cdn", "launcher-pv.txt");
    EXPECT_EQ(ReadBytes(view.Resolve(L"launcher/pv.ini")), served);
    // The launcher's copy is listed and packed with the same bytes, so the
    // server's copy matches the list once it replaces the player's.
    const std::wstring version = L"launcher/" + platform::FromUtf8(view.Field("cdn_path"));
    const std::vector<ListEntry> entries = ReadMd5List(view.Resolve(version + L"launcher.md5"));
    const auto entry =
        std::find_if(entries.begin(), entries.end(), [](const ListEntry& e) { return e.path == L"launcher/pv.ini"; });
    ASSERT_NE(entry, entries.end());
    EXPECT_EQ(entry->size, served.size());
    EXPECT_EQ(entry->md5Text, Md5TextOfFile(Wide(view.Resolve(L"launcher/pv.ini"))));
    EXPECT_EQ(Inflated(view.Resolve(version + L"pv.ini.z"), Scratch()), served);
    EXPECT_EQ(ReadBytes(m_dir.Path() / "launcher" / "pv.ini"), original);

    // What launchers could not use is refused before anything is published.
    const std::string tooLong = "https://" + std::string(2040, 'm') + ".example.com/";
    for (const std::string& mirror :
         {std::string("{server}/cdn/"), std::string("ftp://m.example.com/cdn/"), std::string("m.example.com/cdn/"),
          std::string("http://m.example.com/cdn/?v=2"), std::string(""), tooLong}) {
        PublishOptions refused = Options("refused");
        refused.mirrors = {"http://fine.example.com/", mirror};
        const std::string error = ErrorOf(refused);
        EXPECT_EQ(error.rfind("--mirror", 0), 0u) << mirror << ": " << error;
        EXPECT_FALSE(fs::exists(m_dir.Path() / "refused")) << mirror;
    }
}

TEST_F(PublisherTest, OptionsReachTheAnswers) {
    PublishOptions options = Options();
    options.launcherVersion = "2024/L7";
    options.clientVersion = "C9/";
    options.baseUrl = "http://cdn.example/q";
    options.webUrl = "http://www.example/launcher.html";
    Run(options);
    const LauncherView launcher(m_dir.Path() / "cdn", "launcher-pv.txt");
    EXPECT_EQ(launcher.Field("cdn_url"), "http://cdn.example/q/");
    EXPECT_EQ(launcher.Field("cdn_path"), "2024/L7/");
    EXPECT_EQ(launcher.Field("web_url"), "http://www.example/launcher.html");
    EXPECT_FALSE(launcher.Resolve(L"launcher/2024/L7/launcher.md5").empty());
    const LauncherView client(m_dir.Path() / "cdn", "client.txt");
    EXPECT_EQ(client.Field("cdn_path"), "C9/");
    EXPECT_FALSE(client.Resolve(L"C9/qm.md5").empty());
}

TEST_F(PublisherTest, SameInputGivesTheSameBytes) {
    Run(Options("first"));
    Run(Options("second"));
    const auto first = Snapshot(m_dir.Path() / "first");
    EXPECT_EQ(first, Snapshot(m_dir.Path() / "second"));
    // Publishing again into the same folder changes nothing either.
    Run(Options("first"));
    EXPECT_EQ(Snapshot(m_dir.Path() / "first"), first);
}

TEST_F(PublisherTest, OneThreadAndManyGiveTheSameBytes) {
    for (int i = 0; i < 12; ++i) {
        Client("data/part" + std::to_string(i) + ".bin", RandomBytes(20000 + 1000 * i, 10 + i));
    }
    PublishOptions one = Options("one");
    one.jobs = 1;
    Run(one);
    PublishOptions many = Options("many");
    many.jobs = 5;
    Run(many);
    EXPECT_EQ(Snapshot(m_dir.Path() / "one"), Snapshot(m_dir.Path() / "many"));
}

// The lines of the progress log that name a reused object.
std::set<std::string> ReusedLines(const std::string& log) {
    std::set<std::string> reused;
    std::istringstream lines(log);
    for (std::string line; std::getline(lines, line);) {
        if (line.find(", reused)") != std::string::npos) {
            reused.insert(line.substr(0, line.find(" (")));
        }
    }
    return reused;
}

TEST_F(PublisherTest, UnchangedSourcesReuseTheirObjectsChangedOnesArePackedAgain) {
    Run(Options("old"));
    const fs::path world = m_dir.Path() / "client" / "data" / "maps" / "world.pak";
    const auto time = fs::last_write_time(world);
    // Same size, same time, other bytes: only the content tells.
    std::string changed = m_client.at("data/maps/world.pak");
    changed[1000] = 'x';
    Client("data/maps/world.pak", changed);
    fs::last_write_time(world, time);
    Launcher("sub/helper.dll", "abd");

    PublishOptions options = Options("new");
    options.previousDir = m_dir.Path() / "old";
    Run(options);
    EXPECT_EQ(ReusedLines(m_log.str()),
              (std::set<std::string>{"launcher/Launcher.exe", "launcher/pv.ini", "qm.exe", "data/empty.txt",
                                     "\xE5\x9C\xB0\xE5\x9B\xBE/\xE5\x90\x8D.dat"}))
        << m_log.str();
    const LauncherView view(m_dir.Path() / "new", "client.txt");
    EXPECT_EQ(LzmaDecoded(view.Resolve(L"C1/data/maps/world.pak.lz"), Scratch()), changed);
    EXPECT_EQ(Inflated(LauncherView(m_dir.Path() / "new", "launcher-pv.txt").Resolve(L"launcher/L1/sub/helper.dll.z"),
                       Scratch()),
              "abd");
    // Reused or packed, the folder holds what a fresh publish writes.
    Run(Options("fresh"));
    EXPECT_TRUE(ReusedLines(m_log.str()).empty());
    auto fresh = Snapshot(m_dir.Path() / "fresh");
    auto republished = Snapshot(m_dir.Path() / "new");
    for (auto* snapshot : {&fresh, &republished}) {
        // Only the earlier publish's objects and diff, and the history of
        // its answers, tell the two apart.
        for (auto entry = snapshot->begin(); entry != snapshot->end();) {
            const std::string& name = entry->first;
            entry = name.rfind("diff", 0) == 0 || name.rfind("file", 0) == 0 || name.rfind("history", 0) == 0
                        ? snapshot->erase(entry)
                        : std::next(entry);
        }
    }
    EXPECT_EQ(fresh.size(), republished.size());
    for (const auto& [name, bytes] : fresh) {
        if (name.rfind("answers", 0) != 0) {
            EXPECT_EQ(republished[name], bytes) << name;
        }
    }
}

TEST_F(PublisherTest, ARecordedObjectThatNoLongerChecksOutIsPackedAgain) {
    Run(Options());
    const LauncherView view(m_dir.Path() / "cdn", "client.txt");
    const fs::path object = view.Resolve(L"C1/data/maps/world.pak.lz");
    const std::string good = ReadBytes(object);
    std::string damaged = good;
    damaged[damaged.size() / 2] ^= 1;
    std::ofstream(object, std::ios::binary) << damaged;
    Run(Options());
    EXPECT_EQ(ReusedLines(m_log.str()).count("data/maps/world.pak"), 0u) << m_log.str();
    EXPECT_EQ(ReadBytes(object), good);
}

TEST_F(PublisherTest, RepublishRepairsADamagedObject) {
    Run(Options());
    const LauncherView view(m_dir.Path() / "cdn", "client.txt");
    const fs::path object = view.Resolve(L"C1/qm.exe.lz");
    const std::string good = ReadBytes(object);
    std::ofstream(object, std::ios::binary) << "damaged";
    Run(Options());
    EXPECT_EQ(ReadBytes(object), good);
}

TEST_F(PublisherTest, DiffNamesExactlyTheChangedObjects) {
    const PublishSummary before = Run(Options("old"));
    Client("qm.exe", "abcd");
    Client("data/new.bin", "new file");
    PublishOptions options = Options("new");
    options.previousDir = m_dir.Path() / "old";
    const PublishSummary after = Run(options);

    EXPECT_EQ(after.diffName, before.indexName);
    const LauncherView view(m_dir.Path() / "new", "client.txt");
    EXPECT_EQ(view.Field("cdn_diff_index"), before.indexName);
    EXPECT_EQ(LauncherView(m_dir.Path() / "new", "launcher-pv.txt").Field("cdn_diff_index"), before.indexName);
    const std::set<std::string> changed = {PathKey(L"C1/qm.exe.lz"), PathKey(L"C1/data/new.bin.lz"),
                                           PathKey(L"C1/qm.md5")};
    std::set<std::string> named;
    for (const auto& [key, id] : view.Diff()) {
        named.insert(key);
    }
    EXPECT_EQ(named, changed);
    const fs::path qm = view.Resolve(L"C1/qm.exe.lz");
    EXPECT_EQ(qm.parent_path().parent_path().filename(), "file");
    EXPECT_EQ(LzmaDecoded(qm, Scratch()), "abcd");
    EXPECT_EQ(LzmaDecoded(view.Resolve(L"C1/data/new.bin.lz"), Scratch()), "new file");
    // Unchanged files still come from their trees.
    const fs::path world = view.Resolve(L"C1/data/maps/world.pak.lz");
    EXPECT_EQ(world.parent_path().parent_path().filename(), "tree");
}

TEST_F(PublisherTest, NoChangeNamesNoDiff) {
    Run(Options());
    PublishOptions options = Options();
    options.previousDir = options.outDir;
    const PublishSummary again = Run(options);
    EXPECT_TRUE(again.diffName.empty());
    const LauncherView view(m_dir.Path() / "cdn", "client.txt");
    EXPECT_EQ(view.AnswerText().find("cdn_diff_index"), std::string::npos);
    EXPECT_FALSE(fs::exists(m_dir.Path() / "cdn" / "diff"));
}

TEST_F(PublisherTest, PreviousPublishIntoTheSameFolder) {
    const PublishSummary before = Run(Options());
    Launcher("sub/helper.dll", "abcd");
    PublishOptions options = Options();
    options.previousDir = options.outDir;
    Run(options);
    const LauncherView view(m_dir.Path() / "cdn", "launcher-pv.txt");
    EXPECT_EQ(view.Field("cdn_diff_index"), before.indexName);
    EXPECT_EQ(view.Diff().size(), 2u);  // the DLL and launcher.md5
    EXPECT_EQ(Inflated(view.Resolve(L"launcher/L1/sub/helper.dll.z"), Scratch()), "abcd");
    // The earlier index stays for launchers holding the old answer.
    EXPECT_TRUE(fs::exists(m_dir.Path() / "cdn" / "index" / before.indexName));
}

TEST_F(PublisherTest, PathsAPlayersWindowsCanStoreArePublishedAndLongerOnesAreRefusedWithTheRoomLeft) {
    // Below C:\Users\<20 characters>\AppData\Local\Quillmoor (53) the
    // longest paths are the downloads: "\Update\launcher\L1\" + ".z" leave
    // 184 characters, "\Update\C1\" + ".lz" 192. The Chinese folder counts
    // one unit a character, the emoji two (a surrogate pair).
    const std::string launcherPath = std::string(180, 'n') + "/abc";
    const std::string clientPath = "\xE5\x9C\xB0\xE5\x9B\xBE/" + std::string(187, 'c') + "\xF0\x9F\x98\x80";
    Launcher(launcherPath, "x");
    Client(clientPath, "y");
    Run(Options());
    const LauncherView view(m_dir.Path() / "cdn", "launcher-pv.txt");
    const std::vector<ListEntry> launcherList = ReadMd5List(view.Resolve(L"launcher/L1/launcher.md5"));
    EXPECT_TRUE(std::any_of(launcherList.begin(), launcherList.end(), [&](const ListEntry& entry) {
        return entry.path == L"launcher/" + platform::FromUtf8(launcherPath);
    }));
    const std::vector<ListEntry> clientList = ReadMd5List(view.Resolve(L"C1/qm.md5"));
    EXPECT_TRUE(std::any_of(clientList.begin(), clientList.end(),
                            [&](const ListEntry& entry) { return entry.path == platform::FromUtf8(clientPath); }));

    // One character more in each; a longer launcher version leaves less.
    fs::remove_all(m_dir.Path() / "cdn");
    Launcher(std::string(181, 'n') + "/abc", "x");
    Client("\xE5\x9C\xB0\xE5\x9B\xBE/" + std::string(188, 'c') + "\xF0\x9F\x98\x80", "y");
    PublishOptions options = Options();
    options.launcherVersion = "2024/L1";
    const std::string message = ErrorOf(options);
    EXPECT_EQ(message.rfind("3 problems, nothing was published:\n", 0), 0u) << message;
    EXPECT_NE(message.find("C:\\Users\\12345678901234567890\\AppData\\Local\\Quillmoor\\Update\\launcher\\2024\\L1\\" +
                           std::string(181, 'n') + "\\abc.z, 265 characters, past Windows' 259"),
              std::string::npos)
        << message;
    EXPECT_NE(message.find("/abc\" (185) is 179 characters"), std::string::npos) << message;
    EXPECT_NE(message.find("\"" + launcherPath + "\" (184) is 179 characters"), std::string::npos) << message;
    EXPECT_NE(message.find("Quillmoor\\Update\\C1\\\xE5\x9C\xB0\xE5\x9B\xBE\\"), std::string::npos) << message;
    EXPECT_NE(message.find("\xF0\x9F\x98\x80\" (193) is 192 characters"), std::string::npos) << message;
    EXPECT_FALSE(fs::exists(m_dir.Path() / "cdn"));
}

TEST_F(PublisherTest, ReportsProgressAndMissingProgram) {
    PublishOptions options = Options();
    options.baseUrl = "https://cdn.example/cdn/";
    options.webUrl = "https://www.example/launcher/index.html";
    Run(options);
    EXPECT_NE(m_log.str().find("packed 7/7 files"), std::string::npos) << m_log.str();
    EXPECT_EQ(m_log.str().find("warning"), std::string::npos) << m_log.str();
    fs::remove(m_dir.Path() / "launcher" / "Launcher.exe");
    Run(options);
    EXPECT_NE(m_log.str().find("no Launcher.exe"), std::string::npos) << m_log.str();
}

TEST_F(PublisherTest, BadInputIsRefusedBeforeAnythingIsPublished) {
    struct Case {
        const char* what;
        std::function<void(PublishOptions&)> make;
        const char* message;
    };
    const fs::path root = m_dir.Path();
    const Case cases[] = {
        {"missing launcher folder", [&](auto& o) { o.launcherDir = root / "nope"; }, "nope"},
        {"empty client folder",
         [&](auto& o) {
             o.clientDir = root / "void";
             fs::create_directories(o.clientDir);
         },
         "no files"},
        {"missing settings", [&](auto& o) { o.settingsFile = root / "none.ini"; }, "--settings"},
        {"settings unlike the launcher's copy", [&](auto& o) { o.settingsFile = m_dir.Write("s.ini", "[Config]\n"); },
         "every start"},
        {"bad platform", [&](auto& o) { o.platformCode = "p/v"; }, "--platform"},
        {"empty client version", [&](auto& o) { o.clientVersion = ""; }, "--client-version"},
        {"value with =", [&](auto& o) { o.baseUrl = "http://h/?a=b/"; }, "cdn_url"},
        {"relative base url", [&](auto& o) { o.baseUrl = "cdn/"; }, "--base-url \"cdn/\": not an absolute"},
        {"page address without a scheme", [&](auto& o) { o.webUrl = "www.example/index.html"; }, "--web-url"},
        {"output inside input", [&](auto& o) { o.outDir = root / "client" / "cdn"; }, "inside"},
        {"newline in a name", [&](auto&) { m_dir.Write("client/bad\nname", "x"); }, "line end"},
        {"backslash in a name",
         [&](auto&) {
             m_dir.Write("client/bad\\name", "x");
             if (fs::is_directory(root / "client" / "bad"))
                 throw std::runtime_error("a backslash separates folders here");
         },
         "backslash"},
        {"path line over 259", [&](auto&) { m_dir.Write("launcher/" + std::string(251, 'n'), "x"); }, "259"},
        {"paths sharing a key",
         [&](auto&) {
             m_dir.Write("client/f1209579", "1");
             m_dir.Write("client/f1915526", "2");
         },
         "same manifest key"},
        {"size beyond 32 bits",
         [&](auto&) {
             std::ofstream(root / "client" / "huge.bin");
             fs::resize_file(root / "client" / "huge.bin", 0x80000000ull);
         },
         "2147483647"},
    };
    std::string unmade;
    for (const Case& c : cases) {
        SetUp();
        PublishOptions options = Options();
        try {
            c.make(options);
        } catch (const std::runtime_error&) {
            // Windows names cannot carry a line end or a backslash.
            unmade += std::string(unmade.empty() ? "" : ", ") + c.what;
            fs::remove_all(m_dir.Path() / "client");
            fs::remove_all(m_dir.Path() / "launcher");
            m_launcher.clear();
            m_client.clear();
            continue;
        }
        const std::string message = ErrorOf(options);
        EXPECT_NE(message.find(c.message), std::string::npos) << c.what << ": " << message;
        EXPECT_FALSE(fs::exists(m_dir.Path() / "cdn")) << c.what;
        fs::remove_all(m_dir.Path() / "client");
        fs::remove_all(m_dir.Path() / "launcher");
        m_launcher.clear();
        m_client.clear();
    }
    if (!unmade.empty())
        GTEST_SKIP() << "this system cannot make: " << unmade;
}

TEST_F(PublisherTest, FailedPublishKeepsTheEarlierAnswersAndNoStaging) {
    Run(Options());
    const std::string answer = ReadBytes(m_dir.Path() / "cdn" / "answers" / "client.txt");
    Client("data/big.bin", RandomBytes(1000, 3));
    // Refused only after packing, when the staging folder is full.
    Client("f1209579", "1");
    Client("f1915526", "2");
    EXPECT_NE(ErrorOf(Options()).find("same manifest key"), std::string::npos);
    EXPECT_EQ(ReadBytes(m_dir.Path() / "cdn" / "answers" / "client.txt"), answer);
    for (const auto& entry : fs::directory_iterator(m_dir.Path() / "cdn")) {
        EXPECT_NE(entry.path().filename().string().rfind(".staging", 0), 0u) << entry.path();
    }
}

TEST_F(PublisherTest, EveryOffenderOfBothFoldersIsReportedBeforeAnythingIsPacked) {
    Launcher("x#y.dll", "1");
    Launcher(std::string(251, 'n'), "2");
    Client("data/a%b", "3");
    Client("c#d", "4");  // not "?": a Windows folder cannot hold it
    const std::string message = ErrorOf(Options());
    EXPECT_EQ(message.rfind("4 problems, nothing was published:\n", 0), 0u) << message;
    for (const std::string& name : std::vector<std::string>{"x#y.dll", std::string(251, 'n'), "a%b", "c#d"}) {
        EXPECT_NE(message.find(name + ": "), std::string::npos) << name << ": " << message;
    }
    EXPECT_FALSE(fs::exists(m_dir.Path() / "cdn"));
}

TEST_F(PublisherTest, NamesWithBlanksArePublished) {
    Client("maps/old town.map", "cobbles");
    Run(Options());
    const std::vector<ListEntry> entries =
        ReadMd5List(LauncherView(m_dir.Path() / "cdn", "client.txt").Resolve(L"C1/qm.md5"));
    EXPECT_TRUE(std::any_of(entries.begin(), entries.end(),
                            [](const ListEntry& entry) { return entry.path == L"maps/old town.map"; }));
    const fs::path object = LauncherView(m_dir.Path() / "cdn", "client.txt").Resolve(L"C1/maps/old town.map.lz");
    ASSERT_FALSE(object.empty());
    EXPECT_EQ(LzmaDecoded(object, Scratch()), "cobbles");
}

TEST_F(PublisherTest, AnswersLeftForServeToCompleteAreWarnedAbout) {
    Run(Options());
    EXPECT_NE(m_log.str().find("warning: the answers hold \"{server}\""), std::string::npos) << m_log.str();
    EXPECT_NE(m_log.str().find("give --base-url and --web-url"), std::string::npos) << m_log.str();
}

TEST_F(PublisherTest, OutputInsideTheClientIsRefusedEveryTimeWithRelativePaths) {
    // As typed in the client folder: "--client . --out cdn".
    const testsupport::CurrentDirectory there(m_dir.Path() / "client");
    PublishOptions options = Options();
    options.clientDir = ".";
    options.outDir = "cdn";
    for (int run = 0; run < 2; ++run) {
        EXPECT_NE(ErrorOf(options).find("inside the input"), std::string::npos) << run;
        EXPECT_FALSE(fs::exists(m_dir.Path() / "client" / "cdn")) << run;
    }
    // An output beside the client is fine.
    options.outDir = "../cdn";
    Run(options);
    EXPECT_TRUE(fs::exists(m_dir.Path() / "cdn" / "answers" / "client.txt"));
}

TEST_F(PublisherTest, FailedPublishRemovesTheFoldersItCreated) {
    // Refused only after packing, once the output folders exist.
    Client("f1209579", "1");
    Client("f1915526", "2");
    PublishOptions options = Options("new/deeper/cdn");
    EXPECT_NE(ErrorOf(options).find("same manifest key"), std::string::npos);
    EXPECT_FALSE(fs::exists(m_dir.Path() / "new"));
    // A folder that was there keeps what it held.
    m_dir.Write("kept/notes.txt", "mine");
    options.outDir = m_dir.Path() / "kept";
    EXPECT_NE(ErrorOf(options).find("same manifest key"), std::string::npos);
    EXPECT_EQ(ReadBytes(m_dir.Path() / "kept" / "notes.txt"), "mine");
}

}  // namespace
