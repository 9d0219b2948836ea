// The demo's steps as a user runs them, on 127.0.0.1: the publisher serves an
// empty CDN folder on a port of its choosing, the demo's launcher
// configuration names that port, the demo is published into the served
// folder, and quillmoor-headless runs in an install folder with its own data
// folder. What the launcher installed and how it started qm.exe is read back
// from the disk.
#include "tests/support/demo_install.h"
#include "tests/support/loopback_server.h"
#include "tests/support/served_cdn.h"
#include "tests/support/temp_dir.h"
#include "tests/support/test_process.h"

#include <gtest/gtest.h>

#include <signal.h>

#include <algorithm>
#include <chrono>
#include <map>
#include <memory>
#include <optional>
#include <thread>

namespace fs = std::filesystem;

namespace {

const fs::path kDemoFolder = QM_DEMO_FOLDER;
const testsupport::DemoParts kDemo{kDemoFolder, QM_LAUNCHER_PROGRAM, QM_LAUNCHER_STYLES, QM_DEMO_GAME_PROGRAM};
const std::string kPageCallsGameArgs = "-demo -realm Emberfall -player Guest";
// Bounds that only end a test whose programs hang.
constexpr auto kServerStartLimit = std::chrono::seconds(30);
constexpr auto kRecordLimit = std::chrono::seconds(30);

using testsupport::CountOf;
using testsupport::FilesBelow;
using testsupport::ProcessStart;
using testsupport::ProgramResult;
using testsupport::ReadBytes;
using testsupport::ReplaceAll;
using testsupport::SettledFiles;
using testsupport::WaitForGameRecord;

// Runs a program to its end and reads what it wrote. The bound only ends a
// run that would otherwise hang the test.
ProgramResult RunProgram(const ProcessStart& start) {
    return testsupport::RunToEnd(start, std::chrono::minutes(5));
}

class HeadlessDemo : public ::testing::Test, protected testsupport::DemoMachine {
protected:
    void SetUp() override {
        // Incompressible, so that its download takes more than one read.
        testsupport::LayOutDemoClient(kDemo, client, 3 << 20);
        testsupport::LayOutDemoLauncher(kDemo, launcher);
        server = std::make_unique<testsupport::ServedCdn>(
            testsupport::ServedCdn::Folders{QM_CDN_PROGRAM, work.Path(), cdn, kDemoFolder / "web"}, kServerStartLimit);
        const int port = server->Port();
        ASSERT_GT(port, 0) << "quillmoor-cdn serve did not start: " << server->Problem();
        // The configuration names the server's port; it is written before
        // the publish, which serves the same file as the server's copy.
        testsupport::WriteBytes(launcher / "demo.ini", testsupport::DemoSettings(kDemo, port));
        fs::copy(launcher, install, fs::copy_options::recursive);
        // The bound only ends a publish that would otherwise hang the test.
        const testsupport::ServedCdn::Published published =
            server->Publish(launcher, client, "demo", {}, std::chrono::minutes(5));
        ASSERT_EQ(published.exitCode.value_or(-1), 0) << published.errors;
    }

    ProcessStart HeadlessStart(const std::vector<std::string>& arguments, const std::string& name = "headless") {
        // The limit only ends a run that would otherwise hang the test.
        std::vector<std::string> argv{QM_HEADLESS_PROGRAM};
        argv.insert(argv.end(), arguments.begin(), arguments.end());
        argv.insert(argv.end(), {"--timeout", "240"});
        return {argv,
                install,
                {{"XDG_DATA_HOME", data.string()}},
                work.Path() / (name + ".out"),
                work.Path() / (name + ".err")};
    }
    ProgramResult RunHeadless(const std::vector<std::string>& arguments) {
        return RunProgram(HeadlessStart(arguments));
    }

    std::string Base() const { return server->BaseUrl(); }
    fs::path ClientFolder() const { return clientFolder; }

    void ExpectClientInstalled() const {
        const std::vector<fs::path> files = FilesBelow(client);
        ASSERT_FALSE(files.empty());
        for (const fs::path& file : files) {
            ASSERT_TRUE(fs::exists(ClientFolder() / file)) << file;
            EXPECT_EQ(ReadBytes(ClientFolder() / file), ReadBytes(client / file)) << file;
        }
    }

    std::unique_ptr<testsupport::ServedCdn> server;
};

}  // namespace

TEST_F(HeadlessDemo, PlainStartInstallsTheClientAndStartsTheGameThere) {
    const ProgramResult run =
        RunHeadless({"--pc-version", Base() + "/web/index.html", "--start-game", kPageCallsGameArgs});
    ASSERT_EQ(run.exitCode, 0) << run.output << run.errors;

    ExpectClientInstalled();
    const std::string record = WaitForGameRecord(ClientFolder() / "qm-started.txt", kRecordLimit);
    const std::string launcherPath = (install / "Launcher.exe").string();
    EXPECT_NE(record.find("command line: " + kPageCallsGameArgs + " \"" + launcherPath + "\"\n"), std::string::npos)
        << record;
    EXPECT_NE(record.find("argument 0: -demo\n"), std::string::npos) << record;
    EXPECT_NE(record.find("argument 4: Guest\nargument 5: " + launcherPath + "\n"), std::string::npos) << record;
    EXPECT_NE(record.find("current directory: " + ClientFolder().string() + "\n"), std::string::npos) << record;

    // The launcher checked itself first: its version answer and its settings
    // file were asked for, and nothing of it needed replacing.
    const std::string log = ReadBytes(server->Log());
    EXPECT_NE(log.find("/api/launcherversionnew?platform=demo"), std::string::npos) << log;
    EXPECT_NE(log.find("/web/pcversion"), std::string::npos) << log;
    EXPECT_NE(log.find("/demo.ini 206"), std::string::npos) << log;
    EXPECT_EQ(CountOf(log, ".z "), 0u) << log;
    EXPECT_FALSE(fs::exists(data / "Quillmoor/launcher"));
    EXPECT_EQ(ReadBytes(install / "demo.ini"), ReadBytes(launcher / "demo.ini"));

    EXPECT_NE(run.output.find("page: window.external.PCVersion(\"" + Base() + "/web/index.html\")"), std::string::npos)
        << run.output;
    EXPECT_NE(run.output.find("The game was started: qm.exe in " + ClientFolder().string()), std::string::npos)
        << run.output;
    // The diagnostic log tells the same story with its reasons.
    const std::string diag = ReadBytes(data / "Quillmoor/launcher-diag.log");
    EXPECT_NE(diag.find("] start: plain start in " + install.string() + ", launcher path \"" + launcherPath + "\""),
              std::string::npos)
        << diag;
    EXPECT_NE(diag.find("] stage: the launcher is up to date\n"), std::string::npos) << diag;
    EXPECT_NE(diag.find("] request: GET " + Base() + "/web/pcversion -> 206, "), std::string::npos) << diag;
    EXPECT_NE(diag.find("] process: started qm.exe with \"" + kPageCallsGameArgs + " \"" + launcherPath + "\"\"\n"),
              std::string::npos)
        << diag;
    EXPECT_EQ(diag.find("(problem)"), std::string::npos) << diag;

    // Plain lines (not a terminal), the bars at their end.
    EXPECT_NE(run.output.find("total [####################] 100%\n"), std::string::npos) << run.output;
    EXPECT_EQ(run.output.find('\r'), std::string::npos);
}

TEST_F(HeadlessDemo, SnapshotsShowTheWindowsAsComposed) {
    const fs::path shots = data / "snapshots";
    const ProgramResult run = RunHeadless(
        {"--pc-version", Base() + "/web/index.html", "--start-game", "-demo", "--snapshots", shots.string()});
    ASSERT_EQ(run.exitCode, 0) << run.output << run.errors;
    // The progress dialog showed at the start; the main window after the
    // launcher check. Each picture is a real PNG of the window's size.
    for (const char* name : {"progress-01.png", "main-01.png"}) {
        const std::string png = ReadBytes(shots / name);
        ASSERT_GT(png.size(), 24u) << name;
        EXPECT_EQ(png.compare(1, 3, "PNG"), 0) << name;
    }
    const std::string main = ReadBytes(shots / "main-01.png");
    // Width and height in the IHDR chunk, big-endian: the main background.
    auto be32 = [&](std::size_t at) {
        return (std::uint32_t(std::uint8_t(main[at])) << 24) | (std::uint32_t(std::uint8_t(main[at + 1])) << 16) |
               (std::uint32_t(std::uint8_t(main[at + 2])) << 8) | std::uint32_t(std::uint8_t(main[at + 3]));
    };
    EXPECT_EQ(be32(16), 870u);
    EXPECT_EQ(be32(20), 520u);
}

TEST_F(HeadlessDemo, ASecondRunFindsTheClientCurrentAndDownloadsNothing) {
    ASSERT_EQ(RunHeadless({"--pc-version", Base() + "/web/index.html", "--start-game", "-demo"}).exitCode, 0);
    // The server may log a request just after its answer went out.
    const std::size_t files = FilesBelow(client).size();
    std::size_t packedAfterFirst = 0;
    for (int i = 0; i < 3000 && (packedAfterFirst = CountOf(ReadBytes(server->Log()), ".lz ")) < files; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_EQ(packedAfterFirst, files);
    WaitForGameRecord(ClientFolder() / "qm-started.txt", kRecordLimit);
    fs::remove(ClientFolder() / "qm-started.txt");

    const ProgramResult second = RunHeadless({"--pc-version", Base() + "/web/index.html", "--start-game", "-demo"});
    ASSERT_EQ(second.exitCode, 0) << second.output << second.errors;
    EXPECT_EQ(CountOf(ReadBytes(server->Log()), ".lz "), packedAfterFirst);
    EXPECT_NE(WaitForGameRecord(ClientFolder() / "qm-started.txt", kRecordLimit).find("argument 0: -demo\n"),
              std::string::npos);
}

TEST_F(HeadlessDemo, AfterUpdateStartTakesThePagesAnswerAndDataArguments) {
    const std::string answer = ReplaceAll(ReadBytes(cdn / "answers/client.txt"), "{server}", Base());
    const ProgramResult run =
        RunHeadless({"--after-update", "--pc-version-data", answer, "--start-game-data", "say \"hi\""});
    ASSERT_EQ(run.exitCode, 0) << run.output << run.errors;

    ExpectClientInstalled();
    // "N:" leaves the launcher path empty; the data text is quoted after MODE2.
    const std::string record = WaitForGameRecord(ClientFolder() / "qm-started.txt", kRecordLimit);
    EXPECT_NE(record.find("command line: MODE2 \"say \\\"hi\\\"\" \"\"\n"), std::string::npos) << record;
    EXPECT_NE(record.find("argument 0: MODE2\nargument 1: say \"hi\"\nargument 2: \n"), std::string::npos) << record;
    // No launcher check and no version request: the page handed the answer over.
    const std::string log = ReadBytes(server->Log());
    EXPECT_EQ(log.find("/api/launcherversionnew"), std::string::npos) << log;
    EXPECT_EQ(log.find("/web/pcversion"), std::string::npos) << log;
}

// A studio publishes with a mirror; the player's launcher holds the settings
// file that publish serves. The answers' host refuses every connection and
// the served folder, named as the mirror, installs everything.
TEST_F(HeadlessDemo, PublishedMirrorsInstallTheClientWhileTheAnswersHostIsDown) {
    const std::string down = "http://127.0.0.1:" + std::to_string(testsupport::LoopbackServer::RefusedPort()) + "/cdn/";
    const std::string mirror = Base() + "/cdn/";
    const testsupport::ServedCdn::Published published =
        server->Publish(launcher, client, "demo", {"--base-url", down, "--mirror", mirror}, std::chrono::minutes(5));
    ASSERT_TRUE(published.Succeeded()) << published.errors;
    testsupport::WriteBytes(install / "demo.ini", ReadBytes(cdn / "packing/demo.ini"));
    const std::size_t packedBefore = CountOf(ReadBytes(server->Log()), ".lz ");

    const ProgramResult run = RunHeadless({"--pc-version", Base() + "/web/index.html", "--start-game", "-demo"});
    ASSERT_EQ(run.exitCode, 0) << run.output << run.errors;
    ExpectClientInstalled();
    WaitForGameRecord(ClientFolder() / "qm-started.txt", kRecordLimit);

    // Every packed file once, all from the mirror; the settings file the
    // player holds matched the launcher's list, so the launcher stayed.
    const std::string log = ReadBytes(server->Log());
    EXPECT_EQ(CountOf(log, ".lz ") - packedBefore, FilesBelow(client).size()) << log;
    EXPECT_EQ(CountOf(log, ".z "), 0u) << log;
    const std::string diag = ReadBytes(data / "Quillmoor/launcher-diag.log");
    EXPECT_NE(diag.find("] mirror: mirrors: " + mirror + "\n"), std::string::npos) << diag;
    EXPECT_EQ(CountOf(diag, "; trying " + mirror + "\n"), 1u) << diag;
    EXPECT_EQ(CountOf(diag, "] mirror: " + mirror + " answered for index/"), 1u) << diag;
}

TEST_F(HeadlessDemo, AnUnusableVersionAnswerFailsWithTheLaunchersMessage) {
    const ProgramResult run =
        RunHeadless({"--after-update", "--pc-version-data", "no answer here", "--start-game", "-demo"});
    EXPECT_EQ(run.exitCode, 1) << run.output << run.errors;
    EXPECT_NE(run.errors.find("the update failed: 获取客户端版本索引失败，请重启微端"), std::string::npos)
        << run.errors;
    EXPECT_FALSE(fs::exists(ClientFolder() / "qm-started.txt"));
}

TEST_F(HeadlessDemo, AFailedUpdateNamesItsCauseAndVerboseEchoesTheDiagnosticLog) {
    const ProgramResult run =
        RunHeadless({"--after-update", "--pc-version-data", "no answer here", "--start-game", "-demo", "--verbose"});
    EXPECT_EQ(run.exitCode, 1) << run.output << run.errors;
    const std::string logFile = (data / "Quillmoor/launcher-diag.log").string();
    EXPECT_NE(run.errors.find("quillmoor-headless: the update failed: 获取客户端版本索引失败，请重启微端\n"
                              "  the last problems the launcher noted, oldest first:\n"
                              "    version: an answer of 1 fields, 4 or more needed: \"no answer here\"\n"
                              "    stage: client check: no usable answer in the page's text\n"
                              "  the whole story: " +
                              logFile + "\n"),
              std::string::npos)
        << run.errors;
    EXPECT_NE(run.errors.find("diag: start: start after a self-update (N:) in " + install.string()), std::string::npos)
        << run.errors;
    const std::string diag = ReadBytes(logFile);
    EXPECT_NE(diag.find("] version (problem): an answer of 1 fields"), std::string::npos) << diag;
}

TEST_F(HeadlessDemo, TwoStartsAtOnceLeaveTheDataFolderToOneAndAKilledLauncherFreesIt) {
    // The page of the launcher that runs never answers, so it stays running.
    const testsupport::SilentPort silent;
    const std::string stalledPage = "http://127.0.0.1:" + std::to_string(silent.Port()) + "/web/index.html";
    const std::vector<std::string> stalled{"--pc-version", stalledPage, "--start-game", "-demo"};
    std::map<std::string, std::unique_ptr<testsupport::TestProcess>> starts;
    for (const std::string name : {"one", "two"})
        starts[name] = std::make_unique<testsupport::TestProcess>(HeadlessStart(stalled, name));

    // One of them ends at once, saying why; the other goes on.
    std::string ended, running;
    for (int i = 0; i < 3000 && ended.empty(); ++i) {
        for (const auto& [name, process] : starts)
            if (!process->Running())
                ended = name;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ASSERT_FALSE(ended.empty()) << "neither launcher ended";
    running = ended == "one" ? "two" : "one";
    EXPECT_EQ(starts[ended]->WaitFor(std::chrono::seconds(0)), 6);
    const std::string refusal = "quillmoor-headless: another launcher is running on this data folder (" +
                                (data / "Quillmoor").string() + "); nothing was done\n";
    EXPECT_EQ(ReadBytes(work.Path() / (ended + ".err")), refusal);
    EXPECT_TRUE(starts[running]->Running()) << ReadBytes(work.Path() / (running + ".err"));
    for (int i = 0; i < 3000 && ReadBytes(work.Path() / (running + ".out")).find("page: window.external.StartGame") ==
                                    std::string::npos;
         ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));

    // A third start while it runs touches no file of the data folder.
    const auto before = SettledFiles(data);
    ASSERT_TRUE(before.count("Quillmoor/launcher.lock")) << "no lock file";
    const ProgramResult third = RunHeadless(stalled);
    EXPECT_EQ(third.exitCode, 6) << third.output << third.errors;
    EXPECT_EQ(third.errors, refusal);
    EXPECT_EQ(SettledFiles(data), before);
    // Only the launcher that runs checked itself and wrote its start.
    const std::string diag = ReadBytes(data / "Quillmoor/launcher-diag.log");
    EXPECT_EQ(CountOf(diag, "] start: "), 1u) << diag;
    EXPECT_EQ(CountOf(ReadBytes(server->Log()), "/api/launcherversionnew"), 1u);

    // Killed, it leaves no lock behind: the next start runs to the game.
    kill(static_cast<pid_t>(starts[running]->Pid()), SIGKILL);
    EXPECT_EQ(starts[running]->WaitFor(std::chrono::seconds(30)), 128 + SIGKILL);
    const ProgramResult next =
        RunHeadless({"--pc-version", Base() + "/web/index.html", "--start-game", kPageCallsGameArgs});
    ASSERT_EQ(next.exitCode, 0) << next.output << next.errors;
    ExpectClientInstalled();
    EXPECT_NE(WaitForGameRecord(ClientFolder() / "qm-started.txt", kRecordLimit).find("argument 0: -demo\n"),
              std::string::npos);
}

// A launcher killed in the middle of the big file leaves what it received;
// the next start asks for the rest from exactly there, and installs it.
TEST_F(HeadlessDemo, AKilledDownloadIsContinuedByTheNextStartFromWhereItStopped) {
    // The objects come from a loopback server that sends the big file
    // slowly the first time; the answers and the page from quillmoor-cdn.
    testsupport::LoopbackServer objects;
    objects.ServeFolder("/cdn/", cdn.string());
    const testsupport::ServedCdn::Published published =
        server->Publish(launcher, client, "demo", {"--base-url", objects.BaseUrl() + "/cdn/"}, std::chrono::minutes(5));
    ASSERT_EQ(published.exitCode.value_or(-1), 0) << published.errors;
    std::string target;
    for (const auto& entry : fs::recursive_directory_iterator(cdn / "tree"))
        if (entry.is_regular_file() && entry.path().filename() == "world.pak.lz")
            target = "/cdn/" + fs::relative(entry.path(), cdn).generic_string();
    ASSERT_FALSE(target.empty());
    objects.SetFault(target, testsupport::Fault{.slowBodyDelayMs = 50, .times = 1});

    const std::vector<std::string> start{"--pc-version", Base() + "/web/index.html", "--start-game", "-demo"};
    testsupport::TestProcess first(HeadlessStart(start, "first"));
    const fs::path part = data / "Quillmoor/Update/C1/data/world.pak.lz.part";
    std::error_code error;
    const auto partSize = [&] {
        const std::uintmax_t size = fs::file_size(part, error);
        return error ? std::uintmax_t{0} : size;
    };
    for (int i = 0; i < 6000 && first.Running() && partSize() < (1u << 20); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    ASSERT_TRUE(first.Running()) << "the first run ended before it was killed";
    kill(static_cast<pid_t>(first.Pid()), SIGKILL);
    EXPECT_EQ(first.WaitFor(std::chrono::seconds(30)), 128 + SIGKILL);
    const std::uintmax_t kept = fs::file_size(part, error);
    ASSERT_FALSE(error) << ReadBytes(work.Path() / "first.out") << ReadBytes(work.Path() / "first.err")
                        << ReadBytes(data / "Quillmoor/launcher-diag.log");
    ASSERT_GE(kept, 1u << 20);
    ASSERT_LT(kept, fs::file_size(cdn / target.substr(5)));

    const ProgramResult second = RunHeadless(start);
    ASSERT_EQ(second.exitCode, 0) << second.output << second.errors;
    ExpectClientInstalled();
    std::vector<testsupport::RecordedRequest> asked;
    for (const testsupport::RecordedRequest& request : objects.Requests())
        if (request.target == target)
            asked.push_back(request);
    ASSERT_EQ(asked.size(), 2u);
    EXPECT_EQ(asked[0].Header("Range"), "bytes=0-");
    EXPECT_EQ(asked[1].Header("Range"), "bytes=" + std::to_string(kept) + "-");
    EXPECT_FALSE(asked[1].Header("If-Range").empty());
    EXPECT_FALSE(fs::exists(part));
}

TEST(HeadlessProgram, HelpAndUsageErrors) {
    const testsupport::TempDir work;
    const auto run = [&work](const std::vector<std::string>& arguments) {
        std::vector<std::string> argv{QM_HEADLESS_PROGRAM};
        argv.insert(argv.end(), arguments.begin(), arguments.end());
        return RunProgram(
            {argv, work.Path(), {{"XDG_DATA_HOME", work.Str()}}, work.Path() / "out", work.Path() / "err"});
    };
    const ProgramResult help = run({"--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_NE(help.output.find("usage: quillmoor-headless"), std::string::npos) << help.output;
    EXPECT_NE(help.output.find("  6  another launcher is running on the same data folder"), std::string::npos);

    const ProgramResult noStart = run({"--pc-version", "http://127.0.0.1:1/web/index.html"});
    EXPECT_EQ(noStart.exitCode, 2);
    EXPECT_NE(noStart.errors.find("--start-game or --start-game-data is needed"), std::string::npos) << noStart.errors;
    EXPECT_FALSE(fs::exists(work.Path() / "Quillmoor"));
}
