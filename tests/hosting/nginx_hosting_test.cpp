// The publishing guide, done as a studio does it: the demo is published for
// a server address with --base-url and --web-url, "quillmoor-cdn nginx-conf"
// writes the server block, and a real nginx (Debian's) serves it on a free
// port of 127.0.0.1 from a configuration in the test's own folder, as an
// unprivileged program: pid file, logs and temporary folders stay there.
// quillmoor-headless then installs the client through it, finds nothing to
// do the second time, and replaces itself when a new launcher is published.
#include "tests/support/demo_install.h"
#include "tests/support/loopback_server.h"
#include "tests/support/temp_dir.h"
#include "tests/support/test_files.h"
#include "tests/support/test_process.h"

#include <httplib.h>

#include <gtest/gtest.h>

#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <map>
#include <optional>
#include <thread>

namespace fs = std::filesystem;

namespace {

using testsupport::CountOf;
using testsupport::FilesBelow;
using testsupport::ProcessStart;
using testsupport::ProgramResult;
using testsupport::ReadBytes;
using testsupport::WriteBytes;

const fs::path kDemoFolder = QM_DEMO_FOLDER;
const testsupport::DemoParts kDemo{kDemoFolder, QM_LAUNCHER_PROGRAM, QM_LAUNCHER_STYLES, QM_DEMO_GAME_PROGRAM};
// Bounds that only end a test whose programs hang.
constexpr auto kProgramLimit = std::chrono::minutes(5);
constexpr auto kServerStartLimit = std::chrono::seconds(20);
constexpr auto kRelaunchLimit = std::chrono::seconds(60);
constexpr auto kPoll = std::chrono::milliseconds(20);

std::optional<fs::path> FindNginx() {
    if (auto onPath = testsupport::FindProgram("nginx"))
        return onPath;
    // Not on an ordinary user's PATH.
    return testsupport::FindProgram("/usr/sbin/nginx");
}

// The http block around the server block that "nginx-conf" printed, with
// everything nginx writes kept in folder; httpExtras go into the http block,
// where they stand for what a cache or proxy in front of nginx would do.
std::string MainConfig(const fs::path& folder, const fs::path& serverBlock, const std::string& httpExtras = {}) {
    const std::string f = folder.string();
    std::string config = "daemon off;\nworker_processes 1;\npid " + f + "/nginx.pid;\nerror_log " + f +
                         "/error.log;\nevents {\n    worker_connections 64;\n}\nhttp {\n    access_log " + f +
                         "/access.log;\n";
    for (const char* temp : {"client_body", "proxy", "fastcgi", "uwsgi", "scgi"})
        config += std::string("    ") + temp + "_temp_path " + f + "/" + temp + ";\n";
    config += httpExtras;
    config += "    include " + serverBlock.string() + ";\n}\n";
    // Started by root, nginx would hand its workers to "nobody", who may not
    // read a test's folder.
    if (geteuid() == 0)
        config = "user root;\n" + config;
    return config;
}

class NginxHosting : public ::testing::Test, protected testsupport::DemoMachine {
protected:
    void SetUp() override {
        const std::optional<fs::path> program = FindNginx();
        if (!program)
            GTEST_SKIP() << "nginx is not installed (scripts/setup installs nginx-light)";
        nginxProgram = *program;
        port = testsupport::LoopbackServer::RefusedPort();

        testsupport::LayOutDemoClient(kDemo, client, 1 << 20);
        // Names that must travel: a blank (sent as %20), a Chinese name
        // (its UTF-8 escaped) and a leading dot.
        WriteBytes(client / "maps/old town.map", "cobbles and gables");
        WriteBytes(client / "maps/\xe6\x97\xa7\xe5\x9f\x8e.map", "old walls");
        WriteBytes(client / ".settings", "volume=7");
        testsupport::LayOutDemoLauncher(kDemo, launcher);
        WriteBytes(launcher / "ui.dll", "interface library v1");
        // Signed, as the guide says: the key made once, its public half
        // beside the launcher that players get.
        const ProgramResult keygen = RunTool({"keygen", "--out", keys.string()});
        ASSERT_EQ(keygen.exitCode, 0) << keygen.errors;
        fs::copy_file(keys / "release.pub", launcher / "release.pub");
        WriteBytes(launcher / "demo.ini", testsupport::DemoSettings(kDemo, port));
        fs::copy(launcher, install, fs::copy_options::recursive);
        fs::copy(kDemoFolder / "web", page, fs::copy_options::recursive);
        WriteBytes(page / ".private", "not for players");

        ASSERT_EQ(Publish({}).exitCode, 0);
        const ProgramResult conf = RunTool({"nginx-conf", "--root", cdn.string(), "--listen",
                                            "127.0.0.1:" + std::to_string(port), "--web", page.string()});
        ASSERT_EQ(conf.exitCode, 0) << conf.errors;
        WriteBytes(nginxFolder / "quillmoor.conf", conf.output);
        WriteBytes(nginxFolder / "nginx.conf", MainConfig(nginxFolder, nginxFolder / "quillmoor.conf"));
        StartNginx();
    }

    // Stops nginx and starts it again on the same port with httpExtras.
    void RestartNginx(const std::string& httpExtras) {
        nginx.reset();
        WriteBytes(nginxFolder / "nginx.conf", MainConfig(nginxFolder, nginxFolder / "quillmoor.conf", httpExtras));
        StartNginx();
    }

    void StartNginx() {
        ProcessStart start;
        start.argv = {nginxProgram.string(),
                      "-p",
                      nginxFolder.string(),
                      "-c",
                      (nginxFolder / "nginx.conf").string(),
                      "-e",
                      (nginxFolder / "error.log").string()};
        start.folder = nginxFolder;
        start.outputFile = nginxFolder / "nginx.out";
        start.errorFile = nginxFolder / "nginx.err";
        nginx = std::make_unique<testsupport::TestProcess>(start);
        const auto deadline = std::chrono::steady_clock::now() + kServerStartLimit;
        httplib::Client probe("127.0.0.1", port);
        while (!probe.Get("/web/pcversion") && nginx->Running() && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(kPoll);
        ASSERT_TRUE(nginx->Running()) << ReadBytes(nginxFolder / "nginx.err") << ReadBytes(nginxFolder / "error.log");
        ASSERT_TRUE(probe.Get("/web/pcversion")) << ReadBytes(nginxFolder / "error.log");
    }

    ProgramResult RunTool(const std::vector<std::string>& arguments) {
        std::vector<std::string> argv{QM_CDN_PROGRAM};
        argv.insert(argv.end(), arguments.begin(), arguments.end());
        return testsupport::RunToEnd({argv, work.Path(), {}, work.Path() / "cdn.out", work.Path() / "cdn.err"},
                                     kProgramLimit);
    }

    ProgramResult Publish(const std::vector<std::string>& more) { return PublishFor(Base(), more); }

    // Published for the server at base.
    ProgramResult PublishFor(const std::string& base, const std::vector<std::string>& more) {
        std::vector<std::string> arguments = {"publish",
                                              "--launcher",
                                              launcher.string(),
                                              "--client",
                                              client.string(),
                                              "--platform",
                                              "demo",
                                              "--out",
                                              cdn.string(),
                                              "--base-url",
                                              base + "/cdn/",
                                              "--web-url",
                                              base + "/web/index.html",
                                              "--sign-key",
                                              (keys / "release.key").string()};
        arguments.insert(arguments.end(), more.begin(), more.end());
        const ProgramResult published = RunTool(arguments);
        // Published for a server: nothing left for "serve" to fill in.
        EXPECT_EQ(published.errors.find("warning"), std::string::npos) << published.errors;
        return published;
    }

    ProgramResult RunHeadless() { return RunHeadlessAt(Base(), {}); }

    // With the page at base, and more of the environment.
    ProgramResult RunHeadlessAt(const std::string& base, std::map<std::string, std::string> environment) {
        environment["XDG_DATA_HOME"] = data.string();
        return testsupport::RunToEnd({{QM_HEADLESS_PROGRAM, "--pc-version", base + "/web/index.html", "--start-game",
                                       "-demo", "--timeout", "240"},
                                      install,
                                      environment,
                                      work.Path() / "headless.out",
                                      work.Path() / "headless.err"},
                                     kProgramLimit);
    }

    std::string Base() const { return "http://127.0.0.1:" + std::to_string(port); }
    std::string AccessLog() const { return ReadBytes(nginxFolder / "access.log"); }
    std::string DiagLog() const { return ReadBytes(data / "Quillmoor/launcher-diag.log"); }

    // Waits for the diagnostic log to hold text; the launchers of a
    // self-update run on after the program the test started has ended.
    bool DiagLogReaches(const std::string& text) const {
        const auto deadline = std::chrono::steady_clock::now() + kRelaunchLimit;
        while (DiagLog().find(text) == std::string::npos && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(kPoll);
        return DiagLog().find(text) != std::string::npos;
    }

    const fs::path page = work.Path() / "web";
    const fs::path keys = work.Path() / "keys";
    const fs::path nginxFolder = work.Path() / "nginx";
    fs::path nginxProgram;
    int port = 0;
    std::unique_ptr<testsupport::TestProcess> nginx;
};

}  // namespace

TEST_F(NginxHosting, RoutesAndCachingAsTheGuideSays) {
    httplib::Client http("127.0.0.1", port);
    const auto launcherAnswer = http.Get("/api/launcherversionnew?platform=demo");
    ASSERT_TRUE(launcherAnswer);
    EXPECT_EQ(launcherAnswer->status, 200);
    EXPECT_EQ(launcherAnswer->body, ReadBytes(cdn / "answers/launcher-demo.txt"));
    EXPECT_EQ(launcherAnswer->get_header_value("Cache-Control"), "no-cache");
    const auto clientAnswer = http.Get("/web/pcversion", {{"Range", "bytes=0-"}});
    ASSERT_TRUE(clientAnswer);
    EXPECT_EQ(clientAnswer->status, 206);
    EXPECT_EQ(clientAnswer->body, ReadBytes(cdn / "answers/client.txt"));
    EXPECT_EQ(clientAnswer->get_header_value("Cache-Control"), "no-cache");
    // The signed releases beside the answers, as they were written.
    for (const auto& [target, file] : std::vector<std::pair<std::string, std::string>>{
             {"/api/launcherversionnew.release?platform=demo", "launcher-demo.release"},
             {"/api/launcherversionnew.release.sig?platform=demo", "launcher-demo.release.sig"},
             {"/web/pcversion.release", "client.release"},
             {"/web/pcversion.release.sig", "client.release.sig"}}) {
        const auto release = http.Get(target);
        ASSERT_TRUE(release) << target;
        EXPECT_EQ(release->status, 200) << target;
        EXPECT_EQ(release->body, ReadBytes(cdn / "answers" / file)) << target;
        EXPECT_EQ(release->get_header_value("Cache-Control"), "no-cache") << target;
    }

    const std::string index = fs::directory_iterator(cdn / "index")->path().filename().string();
    const auto object = http.Get("/cdn/index/" + index, {{"Range", "bytes=0-"}});
    ASSERT_TRUE(object);
    EXPECT_EQ(object->status, 206);
    EXPECT_EQ(object->body, ReadBytes(cdn / "index" / index));
    EXPECT_EQ(object->get_header_value("Content-Length"), std::to_string(object->body.size()));
    EXPECT_EQ(object->get_header_value("Cache-Control"), "public, max-age=31536000, immutable");

    // Nothing but the routes; a missing object is not cached for good.
    const std::vector<std::string> refusedTargets = {"/cdn/answers/client.txt",
                                                     "/cdn/packing/sources",
                                                     "/cdn/tree/../answers/client.txt",
                                                     "/api/launcherversionnew?platform=../answers/client",
                                                     "/api/launcherversionnew",
                                                     "/cdn/tree/" + std::string(40, '0') + "/qm.exe.lz",
                                                     "/web/.private",
                                                     "/answers/client.txt"};
    for (const std::string& target : refusedTargets) {
        const auto refused = http.Get(target);
        ASSERT_TRUE(refused) << target;
        EXPECT_TRUE(refused->status == 404 || refused->status == 400) << target << ": " << refused->status;
        EXPECT_NE(refused->body, ReadBytes(cdn / "answers/client.txt")) << target;
        EXPECT_EQ(refused->get_header_value("Cache-Control").find("immutable"), std::string::npos) << target;
    }
    const auto pageFile = http.Get("/web/index.html");
    ASSERT_TRUE(pageFile);
    EXPECT_EQ(pageFile->status, 200);
    EXPECT_EQ(pageFile->body, ReadBytes(page / "index.html"));
}

TEST_F(NginxHosting, InstallThenNothingToDoThenTheLauncherReplacesItself) {
    // A fresh install: every client file through nginx, odd names included.
    const ProgramResult first = RunHeadless();
    ASSERT_EQ(first.exitCode, 0) << first.output << first.errors;
    for (const fs::path& file : FilesBelow(client))
        EXPECT_EQ(ReadBytes(clientFolder / file), ReadBytes(client / file)) << file;
    EXPECT_EQ(ReadBytes(clientFolder / "maps/old town.map"), "cobbles and gables");
    EXPECT_EQ(ReadBytes(clientFolder / ".settings"), "volume=7");
    EXPECT_NE(testsupport::WaitForGameRecord(clientFolder / "qm-started.txt", kRelaunchLimit).find("argument 0: -demo"),
              std::string::npos);
    const std::string afterFirst = AccessLog();
    EXPECT_EQ(CountOf(afterFirst, ".lz HTTP/1.1\" 206 "), FilesBelow(client).size()) << afterFirst;
    EXPECT_NE(afterFirst.find("/old%20town.map.lz HTTP/1.1\" 206 "), std::string::npos) << afterFirst;
    EXPECT_NE(afterFirst.find("/%E6%97%A7%E5%9F%8E.map.lz HTTP/1.1\" 206 "), std::string::npos) << afterFirst;
    EXPECT_EQ(DiagLog().find("(problem)"), std::string::npos) << DiagLog();
    EXPECT_NE(DiagLog().find("release: accepted " + Base() + "/web/pcversion.release: serial "), std::string::npos)
        << DiagLog();

    // The second run asks again and fetches nothing.
    const ProgramResult second = RunHeadless();
    ASSERT_EQ(second.exitCode, 0) << second.output << second.errors;
    const std::string afterSecond = AccessLog();
    EXPECT_EQ(CountOf(afterSecond, ".lz HTTP/1.1\""), CountOf(afterFirst, ".lz HTTP/1.1\""));
    const std::string versionAsked = "GET /web/pcversion HTTP/1.1\" 206 ";
    EXPECT_EQ(CountOf(afterSecond, versionAsked), CountOf(afterFirst, versionAsked) + 1);

    // A new launcher, published into the served folder with a diff against
    // the publish before: the next start downloads it, starts it, and it
    // copies itself over the installation and starts that again.
    WriteBytes(launcher / "ui.dll", "interface library v2");
    ASSERT_EQ(Publish({"--launcher-version", "L2", "--previous", cdn.string()}).exitCode, 0);
    const ProgramResult update = RunHeadless();
    EXPECT_EQ(update.exitCode, 3) << update.output << update.errors;
    EXPECT_TRUE(DiagLogReaches("process: copy-and-restart: copied at attempt ")) << DiagLog();
    EXPECT_EQ(ReadBytes(install / "ui.dll"), "interface library v2");
    EXPECT_EQ(ReadBytes(install / "Launcher.exe"), ReadBytes(launcher / "Launcher.exe"));
    // The installed copy was started again with "N:"; without a display it
    // says so and ends, which closes the chain.
    EXPECT_TRUE(DiagLogReaches("] start: start after a self-update (N:) in " + install.string())) << DiagLog();
    EXPECT_TRUE(DiagLogReaches("start (problem): Launcher.exe needs a display")) << DiagLog();
    EXPECT_NE(AccessLog().find("GET /cdn/file/"), std::string::npos) << "the diff was not used";
}

// A launcher killed in the middle of the big file, behind a slow nginx: the
// next start asks nginx for the rest, from the byte where the first stopped,
// with the ETag nginx gave as If-Range; nginx sends only the rest, and the
// signed release accepts the whole.
TEST_F(NginxHosting, AKilledDownloadIsContinuedThroughNginx) {
    const std::string ranges =
        "    log_format ranges escape=none "
        "'$request|$status|$body_bytes_sent|$http_range|$http_if_range|$sent_http_etag';\n"
        "    access_log " +
        (nginxFolder / "ranges.log").string() + " ranges;\n";
    // The launcher writes what arrives in blocks of its 1 MiB transfer
    // buffer: a big file of several blocks, so that the kill lands between
    // two of them with a block kept.
    WriteBytes(client / "data/world.pak", testsupport::RandomBytes(std::size_t{3} << 20, 7));
    ASSERT_EQ(Publish({"--previous", cdn.string()}).exitCode, 0);
    RestartNginx(ranges + "    limit_rate 512k;\n");
    testsupport::TestProcess first(
        {{QM_HEADLESS_PROGRAM, "--pc-version", Base() + "/web/index.html", "--start-game", "-demo", "--timeout", "240"},
         install,
         {{"XDG_DATA_HOME", data.string()}},
         work.Path() / "killed.out",
         work.Path() / "killed.err"});
    const fs::path part = data / "Quillmoor/Update/C1/data/world.pak.lz.part";
    const auto partSize = [&] {
        std::error_code error;
        const std::uintmax_t size = fs::file_size(part, error);
        return error ? std::uintmax_t{0} : size;
    };
    for (int i = 0; i < 6000 && first.Running() && partSize() < (1u << 20); ++i)
        std::this_thread::sleep_for(kPoll);
    ASSERT_TRUE(first.Running()) << "the first run ended before it was killed:\n"
                                 << ReadBytes(work.Path() / "killed.out") << ReadBytes(work.Path() / "killed.err")
                                 << DiagLog();
    kill(static_cast<pid_t>(first.Pid()), SIGKILL);
    first.WaitFor(std::chrono::seconds(30));
    const std::uintmax_t kept = partSize();
    ASSERT_GE(kept, 1u << 20);

    RestartNginx(ranges);
    const ProgramResult second = RunHeadless();
    ASSERT_EQ(second.exitCode, 0) << second.output << second.errors << DiagLog();
    for (const fs::path& file : FilesBelow(client))
        EXPECT_EQ(ReadBytes(clientFolder / file), ReadBytes(client / file)) << file;
    EXPECT_FALSE(fs::exists(part));
    EXPECT_EQ(DiagLog().find("release (problem)"), std::string::npos) << DiagLog();

    // The request for the rest: 206 with only the rest's bytes, the ETag
    // nginx gives as If-Range.
    std::uintmax_t object = 0;
    for (const auto& entry : fs::recursive_directory_iterator(cdn / "tree"))
        if (entry.path().filename() == "world.pak.lz")
            object = fs::file_size(entry.path());
    const std::string log = ReadBytes(nginxFolder / "ranges.log");
    const std::size_t at = log.find("|bytes=" + std::to_string(kept) + "-|");
    ASSERT_NE(at, std::string::npos) << log;
    const std::size_t begin = log.rfind('\n', at) == std::string::npos ? 0 : log.rfind('\n', at) + 1;
    std::vector<std::string> fields;
    std::string line = log.substr(begin, log.find('\n', at) - begin);
    for (std::size_t start = 0;;) {
        const std::size_t bar = line.find('|', start);
        fields.push_back(line.substr(start, bar - start));
        if (bar == std::string::npos)
            break;
        start = bar + 1;
    }
    ASSERT_EQ(fields.size(), 6u) << line;
    EXPECT_NE(fields[0].find("world.pak.lz HTTP/1.1"), std::string::npos) << line;
    EXPECT_EQ(fields[1], "206") << line;
    EXPECT_EQ(fields[2], std::to_string(object - kept)) << line;
    EXPECT_FALSE(fields[4].empty()) << line;
    EXPECT_EQ(fields[4], fields[5]) << line;
}

// A proxy or a CDN that rewrites bodies on the way sends them chunked, with
// no Content-Length and no ranges. nginx's sub_filter does the same to every
// answer when it may rewrite any type: its pattern never matches, so the
// bytes stay as published. The signed release checks every one of them.
TEST_F(NginxHosting, AnInstallThroughChunkedAnswers) {
    RestartNginx("    sub_filter_types *;\n    sub_filter \"@no body holds this@\" \"\";\n");
    httplib::Client http("127.0.0.1", port);
    const std::string index = fs::directory_iterator(cdn / "index")->path().filename().string();
    const auto object = http.Get("/cdn/index/" + index, {{"Range", "bytes=0-"}});
    ASSERT_TRUE(object);
    EXPECT_EQ(object->status, 200);
    EXPECT_FALSE(object->has_header("Content-Length"));
    EXPECT_EQ(object->get_header_value("Transfer-Encoding"), "chunked");
    EXPECT_EQ(object->body, ReadBytes(cdn / "index" / index));

    const ProgramResult install = RunHeadless();
    ASSERT_EQ(install.exitCode, 0) << install.output << install.errors << DiagLog();
    for (const fs::path& file : FilesBelow(client))
        EXPECT_EQ(ReadBytes(clientFolder / file), ReadBytes(client / file)) << file;
    EXPECT_EQ(DiagLog().find("(problem)"), std::string::npos) << DiagLog();
    EXPECT_NE(DiagLog().find("release: accepted " + Base() + "/web/pcversion.release: serial "), std::string::npos)
        << DiagLog();
    const std::string log = AccessLog();
    EXPECT_NE(log.find("GET /cdn/index/" + index + " HTTP/1.1\" 200 "), std::string::npos) << log;
    EXPECT_NE(log.find("/qm.md5 HTTP/1.1\" 200 "), std::string::npos) << log;
    EXPECT_EQ(log.find(" 206 "), std::string::npos) << log;
}

namespace {

// Runs openssl in folder; its messages on failure.
std::string RunOpenssl(const fs::path& openssl, const fs::path& folder, std::vector<std::string> arguments) {
    arguments.insert(arguments.begin(), openssl.string());
    const ProgramResult result =
        testsupport::RunToEnd({arguments, folder, {}, folder / "openssl.out", folder / "openssl.err"}, kProgramLimit);
    return result.exitCode == 0 ? std::string() : result.errors + " (openssl " + arguments[1] + ")";
}

// A throwaway certificate authority (ca.pem) and a certificate for
// 127.0.0.1 signed by it (server.pem, server.key), made in folder.
std::string MakeCertificates(const fs::path& openssl, const fs::path& folder) {
    fs::create_directories(folder);
    WriteBytes(folder / "server.ext",
               "basicConstraints=CA:FALSE\nsubjectAltName=IP:127.0.0.1\nextendedKeyUsage=serverAuth\n");
    const std::vector<std::vector<std::string>> steps = {
        {"req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes", "-keyout", "ca.key",
         "-out", "ca.pem", "-days", "2", "-subj", "/CN=Quillmoor hosting test CA", "-addext",
         "basicConstraints=critical,CA:TRUE", "-addext", "keyUsage=critical,keyCertSign,cRLSign"},
        {"req", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes", "-keyout", "server.key", "-out",
         "server.csr", "-subj", "/CN=127.0.0.1"},
        {"x509", "-req", "-in", "server.csr", "-CA", "ca.pem", "-CAkey", "ca.key", "-CAcreateserial", "-out",
         "server.pem", "-days", "2", "-extfile", "server.ext"},
    };
    for (const auto& step : steps)
        if (std::string problem = RunOpenssl(openssl, folder, step); !problem.empty())
            return problem;
    return std::string();
}

}  // namespace

// HTTPS as the guide sets it up: a certificate signed by the test's own
// authority, the block "nginx-conf --tls-certificate --tls-key
// --redirect-http" prints, and a launcher that trusts that authority
// installing through it. Plain HTTP only redirects.
TEST_F(NginxHosting, HttpsWithTheStudiosCertificateAndPlainHttpRedirected) {
    const std::optional<fs::path> openssl = testsupport::FindProgram("openssl");
    if (!openssl)
        GTEST_SKIP() << "openssl is not installed";
    const fs::path tls = work.Path() / "tls";
    ASSERT_EQ(MakeCertificates(*openssl, tls), "");
    const int httpsPort = testsupport::LoopbackServer::RefusedPort();
    const std::string https = "https://127.0.0.1:" + std::to_string(httpsPort);

    // The launcher and its players' copy are given the https:// addresses.
    const std::string settings = testsupport::ReplaceAll(testsupport::DemoSettings(kDemo, port), Base(), https);
    WriteBytes(launcher / "demo.ini", settings);
    WriteBytes(install / "demo.ini", settings);
    ASSERT_EQ(PublishFor(https, {"--previous", cdn.string()}).exitCode, 0);
    const ProgramResult conf =
        RunTool({"nginx-conf", "--root", cdn.string(), "--listen", "127.0.0.1:" + std::to_string(httpsPort), "--web",
                 page.string(), "--tls-certificate", (tls / "server.pem").string(), "--tls-key",
                 (tls / "server.key").string(), "--redirect-http", "127.0.0.1:" + std::to_string(port)});
    ASSERT_EQ(conf.exitCode, 0) << conf.errors;
    WriteBytes(nginxFolder / "quillmoor.conf", conf.output);
    RestartNginx("");

    httplib::Client http("127.0.0.1", port);
    const auto moved = http.Get("/web/pcversion");
    ASSERT_TRUE(moved);
    EXPECT_EQ(moved->status, 301);
    EXPECT_EQ(moved->get_header_value("Location"), https + "/web/pcversion");

    // The Linux stand-in's test-only hook (platform/linux/wininet/): the
    // test's authority in place of the system's.
    const ProgramResult installed = RunHeadlessAt(https, {{"QM_TEST_CA_BUNDLE", (tls / "ca.pem").string()}});
    ASSERT_EQ(installed.exitCode, 0) << installed.output << installed.errors << DiagLog();
    for (const fs::path& file : FilesBelow(client))
        EXPECT_EQ(ReadBytes(clientFolder / file), ReadBytes(client / file)) << file;
    EXPECT_EQ(DiagLog().find("(problem)"), std::string::npos) << DiagLog();
    EXPECT_NE(DiagLog().find("release: accepted " + https + "/web/pcversion.release: serial "), std::string::npos)
        << DiagLog();
    EXPECT_EQ(CountOf(AccessLog(), ".lz HTTP/1.1\" 206 "), FilesBelow(client).size()) << AccessLog();
}
