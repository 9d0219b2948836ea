// The demo's steps as a user runs them, on 127.0.0.1: the publisher serves an
// empty CDN folder on a port of its choosing, the demo's launcher
// configuration names that port, the demo is published into the served
// folder, and quillmoor-headless runs in an install folder with its own data
// folder. What the launcher installed and how it started qm.exe is read back
// from the disk.
#include "tests/support/temp_dir.h"
#include "tests/support/test_process.h"

#include <gtest/gtest.h>

#include <chrono>
#include <optional>
#include <fstream>
#include <random>
#include <sstream>
#include <thread>

namespace fs = std::filesystem;

namespace {

const fs::path kDemoFolder = QM_DEMO_FOLDER;
const std::string kPageCallsGameArgs = "-demo -realm Emberfall -player Guest";

using testsupport::ProcessStart;

std::string ReadFile(const fs::path& file);

struct ProgramResult {
    int exitCode = -1;
    std::string output;
    std::string errors;
};

// Runs a program to its end and reads what it wrote. The bound only ends a
// run that would otherwise hang the test.
ProgramResult RunProgram(const ProcessStart& start)
{
    const std::optional<int> exitCode = testsupport::RunProcess(start, std::chrono::minutes(5));
    return {exitCode.value_or(-1), ReadFile(start.outputFile), ReadFile(start.errorFile)};
}

std::string ReadFile(const fs::path& file)
{
    std::ifstream in(file, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void WriteFile(const fs::path& file, const std::string& bytes)
{
    fs::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary) << bytes;
}

std::string Replace(std::string text, const std::string& from, const std::string& to)
{
    for (std::size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
    return text;
}

// Incompressible, so that its download takes more than one read.
std::string RandomBytes(std::size_t count)
{
    std::mt19937 generator(11);
    std::string bytes(count, '\0');
    for (char& byte : bytes)
        byte = static_cast<char>(generator());
    return bytes;
}

std::vector<fs::path> FilesBelow(const fs::path& folder)
{
    std::vector<fs::path> files;
    for (const auto& entry : fs::recursive_directory_iterator(folder))
        if (entry.is_regular_file())
            files.push_back(fs::relative(entry.path(), folder));
    std::sort(files.begin(), files.end());
    return files;
}

// The launcher does not wait for the game it starts: the record may still be
// on its way. The bound only ends a test whose game never writes one.
std::string WaitForRecord(const fs::path& file)
{
    std::string record;
    for (int i = 0; i < 3000; ++i) {
        record = ReadFile(file);
        if (record.find("\ncurrent directory: ") != std::string::npos && record.back() == '\n')
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return record;
}

std::size_t CountOf(const std::string& text, const std::string& part)
{
    std::size_t count = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + part.size()))
        ++count;
    return count;
}

class HeadlessDemo : public ::testing::Test {
protected:
    void SetUp() override
    {
        LayOutClient();
        LayOutLauncher();
        StartServer();
        // The configuration names the server's port; it is written before
        // the publish, which serves the same file as the server's copy.
        const std::string settings =
            Replace(ReadFile(kDemoFolder / "launcher/demo.ini.in"), "@PORT@", std::to_string(port));
        WriteFile(launcher / "demo.ini", settings);
        fs::copy(launcher, install, fs::copy_options::recursive);
        Publish();
    }

    void LayOutClient()
    {
        fs::copy(kDemoFolder / "client", client, fs::copy_options::recursive);
        WriteFile(client / "data/world.pak", RandomBytes(3 << 20));
        fs::copy_file(QM_DEMO_GAME_PROGRAM, client / "qm.exe");
    }

    void LayOutLauncher()
    {
        fs::create_directories(launcher);
        fs::copy_file(QM_LAUNCHER_PROGRAM, launcher / "Launcher.exe");
        fs::copy(QM_LAUNCHER_STYLES, launcher / "LauncherStyles", fs::copy_options::recursive);
        fs::copy_file(kDemoFolder / "launcher/Platform.ini", launcher / "Platform.ini");
    }

    void StartServer()
    {
        fs::create_directories(cdn);
        server = std::make_unique<testsupport::TestProcess>(
            ProcessStart{{QM_CDN_PROGRAM, "serve", "--root", cdn.string(), "--port", "0", "--port-file",
                          portFile.string(), "--web", (kDemoFolder / "web").string()},
                         work.Path(), {}, serverLog, work.Path() / "server.err"});
        // Written once the server listens. The bound only ends a test whose
        // server never comes up.
        for (int i = 0; i < 3000 && ReadFile(portFile).find('\n') == std::string::npos; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        port = std::stoi(ReadFile(portFile));
        ASSERT_GT(port, 0);
    }

    void Publish()
    {
        const ProgramResult published = RunProgram(
            {{QM_CDN_PROGRAM, "publish", "--launcher", launcher.string(), "--client", client.string(), "--platform",
              "demo", "--out", cdn.string()},
             work.Path(), {}, work.Path() / "publish.out", work.Path() / "publish.err"});
        ASSERT_EQ(published.exitCode, 0) << published.errors;
    }

    ProgramResult RunHeadless(const std::vector<std::string>& arguments)
    {
        // The limit only ends a run that would otherwise hang the test.
        std::vector<std::string> argv{QM_HEADLESS_PROGRAM};
        argv.insert(argv.end(), arguments.begin(), arguments.end());
        argv.insert(argv.end(), {"--timeout", "240"});
        return RunProgram({argv, install, {{"XDG_DATA_HOME", data.string()}}, work.Path() / "headless.out",
                           work.Path() / "headless.err"});
    }

    std::string Base() const { return "http://127.0.0.1:" + std::to_string(port); }
    fs::path ClientFolder() const { return data / "Quillmoor/C1"; }

    void ExpectClientInstalled() const
    {
        const std::vector<fs::path> files = FilesBelow(client);
        ASSERT_FALSE(files.empty());
        for (const fs::path& file : files) {
            ASSERT_TRUE(fs::exists(ClientFolder() / file)) << file;
            EXPECT_EQ(ReadFile(ClientFolder() / file), ReadFile(client / file)) << file;
        }
    }

    testsupport::TempDir work;
    const fs::path client = work.Path() / "client";
    const fs::path launcher = work.Path() / "launcher";
    const fs::path install = work.Path() / "install";
    const fs::path cdn = work.Path() / "cdn";
    const fs::path data = work.Path() / "data";
    const fs::path portFile = work.Path() / "port";
    const fs::path serverLog = work.Path() / "server.log";
    int port = 0;
    std::unique_ptr<testsupport::TestProcess> server;
};

}  // namespace

TEST_F(HeadlessDemo, PlainStartInstallsTheClientAndStartsTheGameThere)
{
    const ProgramResult run =
        RunHeadless({"--pc-version", Base() + "/web/index.html", "--start-game", kPageCallsGameArgs});
    ASSERT_EQ(run.exitCode, 0) << run.output << run.errors;

    ExpectClientInstalled();
    const std::string record = WaitForRecord(ClientFolder() / "qm-started.txt");
    const std::string launcherPath = (install / "Launcher.exe").string();
    EXPECT_NE(record.find("command line: " + kPageCallsGameArgs + " \"" + launcherPath + "\"\n"), std::string::npos)
        << record;
    EXPECT_NE(record.find("argument 0: -demo\n"), std::string::npos) << record;
    EXPECT_NE(record.find("argument 4: Guest\nargument 5: " + launcherPath + "\n"), std::string::npos) << record;
    EXPECT_NE(record.find("current directory: " + ClientFolder().string() + "\n"), std::string::npos) << record;

    // The launcher checked itself first: its version answer and its settings
    // file were asked for, and nothing of it needed replacing.
    const std::string log = ReadFile(serverLog);
    EXPECT_NE(log.find("/api/launcherversionnew?platform=demo"), std::string::npos) << log;
    EXPECT_NE(log.find("/web/pcversion"), std::string::npos) << log;
    EXPECT_NE(log.find("/demo.ini 206"), std::string::npos) << log;
    EXPECT_EQ(CountOf(log, ".z "), 0u) << log;
    EXPECT_FALSE(fs::exists(data / "Quillmoor/launcher"));
    EXPECT_EQ(ReadFile(install / "demo.ini"), ReadFile(launcher / "demo.ini"));

    EXPECT_NE(run.output.find("page: window.external.PCVersion(\"" + Base() + "/web/index.html\")"),
              std::string::npos)
        << run.output;
    EXPECT_NE(run.output.find("The game was started: qm.exe in " + ClientFolder().string()), std::string::npos)
        << run.output;
    // Plain lines (not a terminal), the bars at their end.
    EXPECT_NE(run.output.find("total [####################] 100%\n"), std::string::npos) << run.output;
    EXPECT_EQ(run.output.find('\r'), std::string::npos);
}

TEST_F(HeadlessDemo, SnapshotsShowTheWindowsAsComposed)
{
    const fs::path shots = data / "snapshots";
    const ProgramResult run = RunHeadless(
        {"--pc-version", Base() + "/web/index.html", "--start-game", "-demo", "--snapshots", shots.string()});
    ASSERT_EQ(run.exitCode, 0) << run.output << run.errors;
    // The progress dialog showed at the start; the main window after the
    // launcher check. Each picture is a real PNG of the window's size.
    for (const char* name : {"progress-01.png", "main-01.png"}) {
        const std::string png = ReadFile(shots / name);
        ASSERT_GT(png.size(), 24u) << name;
        EXPECT_EQ(png.compare(1, 3, "PNG"), 0) << name;
    }
    const std::string main = ReadFile(shots / "main-01.png");
    // Width and height in the IHDR chunk, big-endian: the main background.
    auto be32 = [&](std::size_t at) {
        return (std::uint32_t(std::uint8_t(main[at])) << 24) | (std::uint32_t(std::uint8_t(main[at + 1])) << 16) |
               (std::uint32_t(std::uint8_t(main[at + 2])) << 8) | std::uint32_t(std::uint8_t(main[at + 3]));
    };
    EXPECT_EQ(be32(16), 870u);
    EXPECT_EQ(be32(20), 520u);
}

TEST_F(HeadlessDemo, ASecondRunFindsTheClientCurrentAndDownloadsNothing)
{
    ASSERT_EQ(RunHeadless({"--pc-version", Base() + "/web/index.html", "--start-game", "-demo"}).exitCode, 0);
    // The server may log a request just after its answer went out.
    const std::size_t files = FilesBelow(client).size();
    std::size_t packedAfterFirst = 0;
    for (int i = 0; i < 3000 && (packedAfterFirst = CountOf(ReadFile(serverLog), ".lz ")) < files; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_EQ(packedAfterFirst, files);
    WaitForRecord(ClientFolder() / "qm-started.txt");
    fs::remove(ClientFolder() / "qm-started.txt");

    const ProgramResult second = RunHeadless({"--pc-version", Base() + "/web/index.html", "--start-game", "-demo"});
    ASSERT_EQ(second.exitCode, 0) << second.output << second.errors;
    EXPECT_EQ(CountOf(ReadFile(serverLog), ".lz "), packedAfterFirst);
    EXPECT_NE(WaitForRecord(ClientFolder() / "qm-started.txt").find("argument 0: -demo\n"), std::string::npos);
}

TEST_F(HeadlessDemo, AfterUpdateStartTakesThePagesAnswerAndDataArguments)
{
    const std::string answer = Replace(ReadFile(cdn / "answers/client.txt"), "{server}", Base());
    const ProgramResult run =
        RunHeadless({"--after-update", "--pc-version-data", answer, "--start-game-data", "say \"hi\""});
    ASSERT_EQ(run.exitCode, 0) << run.output << run.errors;

    ExpectClientInstalled();
    // "N:" leaves the launcher path empty; the data text is quoted after MODE2.
    const std::string record = WaitForRecord(ClientFolder() / "qm-started.txt");
    EXPECT_NE(record.find("command line: MODE2 \"say \\\"hi\\\"\" \"\"\n"), std::string::npos) << record;
    EXPECT_NE(record.find("argument 0: MODE2\nargument 1: say \"hi\"\nargument 2: \n"), std::string::npos) << record;
    // No launcher check and no version request: the page handed the answer over.
    const std::string log = ReadFile(serverLog);
    EXPECT_EQ(log.find("/api/launcherversionnew"), std::string::npos) << log;
    EXPECT_EQ(log.find("/web/pcversion"), std::string::npos) << log;
}

TEST_F(HeadlessDemo, AnUnusableVersionAnswerFailsWithTheLaunchersMessage)
{
    const ProgramResult run =
        RunHeadless({"--after-update", "--pc-version-data", "no answer here", "--start-game", "-demo"});
    EXPECT_EQ(run.exitCode, 1) << run.output << run.errors;
    EXPECT_NE(run.errors.find("the update failed: 获取客户端版本索引失败，请重启微端"), std::string::npos) << run.errors;
    EXPECT_FALSE(fs::exists(ClientFolder() / "qm-started.txt"));
}

TEST(HeadlessProgram, HelpAndUsageErrors)
{
    const testsupport::TempDir work;
    const auto run = [&work](const std::vector<std::string>& arguments) {
        std::vector<std::string> argv{QM_HEADLESS_PROGRAM};
        argv.insert(argv.end(), arguments.begin(), arguments.end());
        return RunProgram({argv, work.Path(), {{"XDG_DATA_HOME", work.Str()}}, work.Path() / "out",
                           work.Path() / "err"});
    };
    const ProgramResult help = run({"--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_NE(help.output.find("usage: quillmoor-headless"), std::string::npos) << help.output;

    const ProgramResult noStart = run({"--pc-version", "http://127.0.0.1:1/web/index.html"});
    EXPECT_EQ(noStart.exitCode, 2);
    EXPECT_NE(noStart.errors.find("--start-game or --start-game-data is needed"), std::string::npos) << noStart.errors;
    EXPECT_FALSE(fs::exists(work.Path() / "Quillmoor"));
}
