// The publishing guide's "Hosting on object storage", done as a studio does
// it: the demo is published for a bucket's public address, and the guide's
// own rclone commands, read from docs/publishing.md and run as they stand,
// upload it to a real OpenStack Swift through its S3 API (one node, started
// in the test's folder). quillmoor-headless then installs the client through
// the bucket's public address, finds nothing to do the second time, stays on
// the earlier publish while only the objects of the next one are up, and
// updates once its answers follow, and the bucket is pruned as the folder
// is; answers uploaded before their objects fail every attempt until the
// objects arrive.
#include "tests/hosting/swift_store_test_support.h"
#include "tests/support/demo_install.h"
#include "tests/support/temp_dir.h"
#include "tests/support/test_files.h"
#include "tests/support/test_process.h"

#include <httplib.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <map>
#include <string>
#include <thread>
#include <vector>

namespace fs = std::filesystem;

namespace {

using testsupport::CountOf;
using testsupport::FilesBelow;
using testsupport::ProgramResult;
using testsupport::ReadBytes;
using testsupport::WriteBytes;

const fs::path kDemoFolder = QM_DEMO_FOLDER;
const testsupport::DemoParts kDemo{kDemoFolder, QM_LAUNCHER_PROGRAM, QM_LAUNCHER_STYLES, QM_DEMO_GAME_PROGRAM};
// Bounds that only end a test whose programs hang.
constexpr auto kProgramLimit = std::chrono::minutes(5);
constexpr auto kRelaunchLimit = std::chrono::seconds(60);
// One attempt at an answer whose manifest is missing takes 15 s of waits.
constexpr auto kAttemptLimit = std::chrono::seconds(90);
constexpr auto kPoll = std::chrono::milliseconds(50);
// The guide's bucket and platform.
const std::string kBucket = "quillmoor";
const std::string kPlatform = "pv";

// The shell block of the guide that follows "<!-- object storage: NAME -->";
// empty when there is none.
std::string GuideBlock(const std::string& name) {
    const std::string guide = ReadBytes(QM_PUBLISHING_GUIDE);
    const std::string marker = "<!-- object storage: " + name + " -->\n```sh\n";
    const std::size_t start = guide.find(marker);
    if (start == std::string::npos)
        return std::string();
    const std::size_t body = start + marker.size();
    const std::size_t end = guide.find("```", body);
    return end == std::string::npos ? std::string() : guide.substr(body, end - body);
}

// The value of one field of a version answer.
std::string AnswerField(const std::string& answer, const std::string& key) {
    const std::size_t start = answer.find(key + "=");
    if (start == std::string::npos)
        return std::string();
    const std::size_t value = start + key.size() + 1;
    return answer.substr(value, answer.find('|', value) - value);
}

class ObjectStorageHosting : public ::testing::Test, protected testsupport::DemoMachine {
protected:
    void SetUp() override {
        const std::vector<std::string> missing = hostingtest::SwiftStore::MissingPrograms();
        if (!missing.empty()) {
            std::string names;
            for (const std::string& name : missing)
                names += " " + name;
            GTEST_SKIP() << "not installed:" << names
                         << " (scripts/setup installs swift-proxy, swift-account, swift-container, swift-object, "
                            "memcached and rclone)";
        }
        for (const char* block : {"remote", "bucket", "objects", "answers", "prune"})
            ASSERT_NE(GuideBlock(block), "") << "docs/publishing.md has no block \"object storage: " << block << "\"";
        ASSERT_EQ(store.Start(), "");

        testsupport::LayOutDemoClient(kDemo, client, 1 << 18);
        // A blank travels as %20, and Swift keeps it in the object's name.
        WriteBytes(client / "maps/old town.map", "cobbles and gables");
        testsupport::LayOutDemoLauncher(kDemo, launcher);
        // The guide's platform, with the settings the guide gives for a
        // bucket: the answers below its own keys.
        WriteBytes(launcher / "Platform.ini", "[Config]\nPlatform=" + kPlatform + "\n");
        WriteBytes(launcher / (kPlatform + ".ini"), "[Config]\nWeb=" + Bucket() +
                                                        "web/index.html\nVersion=" + Bucket() + "api/" + kPlatform +
                                                        "/launcherversionnew\nLanguage=chs\n");
        const ProgramResult keygen = RunTool({"keygen", "--out", keys.string()});
        ASSERT_EQ(keygen.exitCode, 0) << keygen.errors;
        fs::copy_file(keys / "release.pub", launcher / "release.pub");
        fs::copy(launcher, install, fs::copy_options::recursive);
        fs::create_directories(page);
        fs::copy(kDemoFolder / "web", page, fs::copy_options::recursive);
        WriteBytes(page / ".private", "not for players");

        // The guide's remote, named for this store and its user.
        std::string remote = GuideBlock("remote");
        for (const auto& [example, value] : std::vector<std::pair<std::string, std::string>>{
                 {"endpoint=https://s3.example.com", "endpoint=" + store.Endpoint()},
                 {"access_key_id=KEY", std::string("access_key_id=") + hostingtest::SwiftStore::kAccessKey},
                 {"secret_access_key=SECRET",
                  std::string("secret_access_key=") + hostingtest::SwiftStore::kSecretKey}}) {
            ASSERT_NE(remote.find(example), std::string::npos) << remote;
            remote = testsupport::ReplaceAll(remote, example, value);
        }
        ASSERT_EQ(RunBash(remote), "");
        ASSERT_EQ(Publish({}).exitCode, 0);
        ASSERT_EQ(RunBash(GuideBlock("bucket")), "");
    }

    ProgramResult RunTool(const std::vector<std::string>& arguments) {
        std::vector<std::string> argv{QM_CDN_PROGRAM};
        argv.insert(argv.end(), arguments.begin(), arguments.end());
        return testsupport::RunToEnd({argv, work.Path(), {}, work.Path() / "cdn.out", work.Path() / "cdn.err"},
                                     kProgramLimit);
    }

    // Published into the folder the guide uploads from, for the bucket's
    // public address, signed.
    ProgramResult Publish(const std::vector<std::string>& more) {
        std::vector<std::string> arguments = {"publish",
                                              "--launcher",
                                              launcher.string(),
                                              "--client",
                                              client.string(),
                                              "--platform",
                                              kPlatform,
                                              "--out",
                                              published.string(),
                                              "--base-url",
                                              Bucket() + "cdn/",
                                              "--web-url",
                                              Bucket() + "web/index.html",
                                              "--sign-key",
                                              (keys / "release.key").string()};
        arguments.insert(arguments.end(), more.begin(), more.end());
        const ProgramResult result = RunTool(arguments);
        EXPECT_EQ(result.errors.find("warning"), std::string::npos) << result.errors;
        return result;
    }

    // A program run on the studio's machine: its home is the test's, where
    // the guide's "~/quillmoor" is. Debian's rclone refuses every S3 remote
    // while AWS_CA_BUNDLE is set ("unable to load custom CA bundle"), and
    // this store speaks plain HTTP.
    ProgramResult RunStudio(const std::vector<std::string>& argv) {
        return testsupport::RunToEnd({argv,
                                      home,
                                      {{"HOME", home.string()}, {"AWS_CA_BUNDLE", ""}},
                                      work.Path() / "studio.out",
                                      work.Path() / "studio.err"},
                                     kProgramLimit);
    }

    // Runs shell commands on the studio's machine; what failed, empty when
    // all went well.
    std::string RunBash(const std::string& commands) {
        const ProgramResult run = RunStudio({"bash", "-e", "-c", commands});
        if (run.exitCode == 0)
            return std::string();
        // rclone names every file it could not send: the end says why.
        const std::string said = run.output + run.errors;
        return commands + "failed: " + said.substr(said.size() - std::min<std::size_t>(said.size(), 2000));
    }

    // One pass of the guide's upload, its commands as they stand.
    std::string Upload(const std::string& block) { return RunBash(GuideBlock(block)); }

    // A player's launcher started in the installed folder, with the page's
    // calls.
    testsupport::ProcessStart HeadlessStart(const std::string& name = "player") const {
        return {{QM_HEADLESS_PROGRAM, "--pc-version", Bucket() + "web/index.html", "--start-game", "-demo", "--timeout",
                 "240"},
                install,
                {{"XDG_DATA_HOME", data.string()}},
                work.Path() / (name + ".out"),
                work.Path() / (name + ".err")};
    }

    ProgramResult RunHeadless() { return testsupport::RunToEnd(HeadlessStart("headless"), kProgramLimit); }

    // Waits for the diagnostic log to hold text, as a running launcher
    // writes it.
    bool DiagLogReaches(const std::string& text) const {
        const auto deadline = std::chrono::steady_clock::now() + kAttemptLimit;
        while (DiagLog().find(text) == std::string::npos && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(kPoll);
        return DiagLog().find(text) != std::string::npos;
    }

    std::string Bucket() const { return store.PublicUrl(kBucket); }
    std::string DiagLog() const { return ReadBytes(data / "Quillmoor/launcher-diag.log"); }
    // The client files the launcher fetched so far, each a ranged GET.
    std::size_t ClientFetches() const { return CountOf(store.ProxyLog(), ".lz HTTP/1.0 206 "); }

    const fs::path home = work.Path() / "studio";
    const fs::path published = home / "quillmoor/cdn";
    const fs::path page = home / "quillmoor/web";
    const fs::path keys = home / "quillmoor-keys";
    hostingtest::SwiftStore store{work.Path() / "swift"};
};

}  // namespace

TEST_F(ObjectStorageHosting, InstallNothingToDoThenAnUpdateOnceTheAnswersFollowTheObjects) {
    ASSERT_EQ(Upload("objects"), "");
    ASSERT_EQ(Upload("answers"), "");

    // What players read, without credentials: the answers at the keys the
    // settings name, each with its caching, and nothing the guide keeps home.
    httplib::Client http("127.0.0.1", store.Port());
    const std::string prefix = "/v1/" + std::string(hostingtest::SwiftStore::kAccount) + "/" + kBucket + "/";
    for (const auto& [target, file] : std::vector<std::pair<std::string, fs::path>>{
             {"api/pv/launcherversionnew?platform=pv", published / "answers/launcher-pv.txt"},
             {"api/pv/launcherversionnew.release?platform=pv", published / "answers/launcher-pv.release"},
             {"api/pv/launcherversionnew.release.sig?platform=pv", published / "answers/launcher-pv.release.sig"},
             {"web/pcversion", published / "answers/client.txt"},
             {"web/pcversion.release", published / "answers/client.release"},
             {"web/pcversion.release.sig", published / "answers/client.release.sig"},
             {"web/index.html", page / "index.html"}}) {
        const auto answer = http.Get(prefix + target);
        ASSERT_TRUE(answer) << target;
        EXPECT_EQ(answer->status, 200) << target;
        EXPECT_EQ(answer->body, ReadBytes(file)) << target;
        EXPECT_EQ(answer->get_header_value("Cache-Control"), "no-cache") << target;
    }
    const std::string index = AnswerField(ReadBytes(published / "answers/client.txt"), "cdn_index");
    const auto object = http.Get(prefix + "cdn/index/" + index, {{"Range", "bytes=0-"}});
    ASSERT_TRUE(object);
    EXPECT_EQ(object->status, 206);
    EXPECT_EQ(object->body, ReadBytes(published / "index" / index));
    EXPECT_EQ(object->get_header_value("Cache-Control"), "public, max-age=31536000, immutable");
    for (const char* target : {"answers/client.txt", "cdn/answers/client.txt", "cdn/packing/sources",
                               "cdn/history/00000001/client.txt", "web/.private"}) {
        const auto absent = http.Get(prefix + target);
        ASSERT_TRUE(absent) << target;
        EXPECT_EQ(absent->status, 404) << target;
    }
    // Readable by all, writable by none but the studio.
    const auto written = http.Put(prefix + "web/pcversion", "cdn_url=http://elsewhere/", "text/plain");
    ASSERT_TRUE(written);
    EXPECT_TRUE(written->status == 401 || written->status == 403) << written->status;

    // A fresh install through the bucket: every client file, odd names too.
    const ProgramResult first = RunHeadless();
    ASSERT_EQ(first.exitCode, 0) << first.output << first.errors << DiagLog();
    for (const fs::path& file : FilesBelow(client))
        EXPECT_EQ(ReadBytes(clientFolder / file), ReadBytes(client / file)) << file;
    EXPECT_NE(testsupport::WaitForGameRecord(clientFolder / "qm-started.txt", kRelaunchLimit).find("argument 0: -demo"),
              std::string::npos);
    EXPECT_EQ(ClientFetches(), FilesBelow(client).size()) << store.ProxyLog();
    EXPECT_NE(store.ProxyLog().find("/old%2520town.map.lz HTTP/1.0 206 "), std::string::npos) << store.ProxyLog();
    EXPECT_EQ(DiagLog().find("(problem)"), std::string::npos) << DiagLog();
    EXPECT_NE(DiagLog().find("release: accepted " + Bucket() + "web/pcversion.release: serial "), std::string::npos)
        << DiagLog();

    // Nothing to do the second time.
    const ProgramResult second = RunHeadless();
    ASSERT_EQ(second.exitCode, 0) << second.output << second.errors;
    EXPECT_EQ(ClientFetches(), FilesBelow(client).size()) << store.ProxyLog();

    // The next publish, its objects up and its answers not yet: players
    // stay on the earlier publish, whole.
    WriteBytes(client / "maps/old town.map", "cobbles, gables and a new well");
    ASSERT_EQ(Publish({"--previous", published.string()}).exitCode, 0);
    ASSERT_EQ(Upload("objects"), "");
    const ProgramResult between = RunHeadless();
    ASSERT_EQ(between.exitCode, 0) << between.output << between.errors << DiagLog();
    EXPECT_EQ(ReadBytes(clientFolder / "maps/old town.map"), "cobbles and gables");
    EXPECT_EQ(ClientFetches(), FilesBelow(client).size()) << store.ProxyLog();

    // The answers follow: the changed file, and only it, by its diff.
    ASSERT_EQ(Upload("answers"), "");
    const ProgramResult update = RunHeadless();
    ASSERT_EQ(update.exitCode, 0) << update.output << update.errors << DiagLog();
    for (const fs::path& file : FilesBelow(client))
        EXPECT_EQ(ReadBytes(clientFolder / file), ReadBytes(client / file)) << file;
    EXPECT_EQ(ClientFetches(), FilesBelow(client).size() + 1) << store.ProxyLog();
    EXPECT_NE(store.ProxyLog().find("/cdn/file/"), std::string::npos) << "the diff was not used";
    EXPECT_EQ(DiagLog().find("(problem)"), std::string::npos) << DiagLog();

    // Pruned to the current release, the bucket too: the first publish's
    // index is gone from it, and players find nothing missing.
    const ProgramResult pruned = RunTool({"prune", "--out", published.string(), "--keep", "1"});
    ASSERT_EQ(pruned.exitCode, 0) << pruned.output << pruned.errors;
    ASSERT_FALSE(fs::exists(published / "index" / index));
    ASSERT_EQ(Upload("prune"), "");
    const auto gone = http.Get(prefix + "cdn/index/" + index);
    ASSERT_TRUE(gone);
    EXPECT_EQ(gone->status, 404);
    const std::string current = AnswerField(ReadBytes(published / "answers/client.txt"), "cdn_index");
    const auto kept = http.Get(prefix + "cdn/index/" + current);
    ASSERT_TRUE(kept);
    EXPECT_EQ(kept->status, 200);
    const ProgramResult afterPrune = RunHeadless();
    ASSERT_EQ(afterPrune.exitCode, 0) << afterPrune.output << afterPrune.errors << DiagLog();
    EXPECT_EQ(ClientFetches(), FilesBelow(client).size() + 1) << store.ProxyLog();
    EXPECT_EQ(DiagLog().find("(problem)"), std::string::npos) << DiagLog();
}

// The order the guide warns against: the next publish's answers up before
// its objects. A launcher started then is sent to an index the bucket does
// not have, and every attempt fails until the objects follow; one that runs
// out of attempts (a minute and a half) tells its player the update failed.
TEST_F(ObjectStorageHosting, AnswersUploadedBeforeTheirObjectsFailEveryAttemptUntilTheObjectsFollow) {
    ASSERT_EQ(Upload("objects"), "");
    ASSERT_EQ(Upload("answers"), "");
    const ProgramResult first = RunHeadless();
    ASSERT_EQ(first.exitCode, 0) << first.output << first.errors << DiagLog();

    WriteBytes(client / "maps/old town.map", "cobbles, gables and a new well");
    ASSERT_EQ(Publish({"--previous", published.string()}).exitCode, 0);
    ASSERT_EQ(Upload("answers"), "");
    testsupport::TestProcess player(HeadlessStart());
    const std::string index = AnswerField(ReadBytes(published / "answers/client.txt"), "cdn_index");
    const std::string missing = Bucket() + "cdn/index/" + index;
    ASSERT_TRUE(DiagLogReaches("the index manifest " + missing + " gave no record")) << DiagLog();
    EXPECT_NE(DiagLog().find("GET " + missing + " -> 404"), std::string::npos) << DiagLog();
    EXPECT_TRUE(player.Running());
    EXPECT_EQ(ReadBytes(clientFolder / "maps/old town.map"), "cobbles and gables");

    // The objects follow while it is still trying: its next attempt finds
    // them, and the update goes through.
    ASSERT_EQ(Upload("objects"), "");
    EXPECT_EQ(player.WaitFor(kProgramLimit), 0) << ReadBytes(work.Path() / "player.err") << DiagLog();
    EXPECT_EQ(ReadBytes(clientFolder / "maps/old town.map"), "cobbles, gables and a new well");
}
