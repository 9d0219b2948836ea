#include "tools/cdn/serve/cdn_server.h"

#include "codec/md5_functions.h"
#include "codec/path_key.h"
#include "tests/support/temp_dir.h"
#include "tests/support/test_files.h"
#include "tools/cdn/publish/publisher.h"
#include "tools/cdn/publish/release_key_files.h"

#include <httplib.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <mutex>
#include <sstream>

namespace fs = std::filesystem;

namespace {

using testsupport::ReadBytes;

std::string Field(const std::string& answer, const std::string& key) {
    std::stringstream fields(answer);
    for (std::string field; std::getline(fields, field, '|');) {
        if (field.rfind(key + "=", 0) == 0) {
            return field.substr(key.size() + 1);
        }
    }
    return "";
}

class CdnServerTest : public ::testing::Test {
protected:
    void SetUp() override {
        LoadMd5Functions();
        m_dir.Write("launcher/Launcher.exe", "MZ program");
        m_dir.Write("launcher/pv.ini", "[Config]\nWeb=http://h/web/index.html\n");
        m_dir.Write("client/qm.exe", "abc");
        m_dir.Write("web/index.html", "<html>page</html>");
        PublishOptions options;
        options.launcherDir = m_dir.Path() / "launcher";
        options.clientDir = m_dir.Path() / "client";
        options.platformCode = "pv";
        options.outDir = Root();
        std::ostringstream log;
        Publish(options, log, false);

        ServeOptions serve;
        serve.root = Root();
        serve.webDir = m_dir.Path() / "web";
        m_server = std::make_unique<CdnServer>(serve, [this](const std::string& line) {
            std::lock_guard<std::mutex> lock(m_logMutex);
            m_log.push_back(line);
        });
        m_port = m_server->Start();
        m_client = std::make_unique<httplib::Client>("127.0.0.1", m_port);
    }

    fs::path Root() const { return m_dir.Path() / "cdn"; }
    std::string Base() const { return "http://127.0.0.1:" + std::to_string(m_port); }

    httplib::Result Get(const std::string& target, const httplib::Headers& headers = {}) {
        return m_client->Get(target.c_str(), headers);
    }

    std::vector<std::string> Log() {
        std::lock_guard<std::mutex> lock(m_logMutex);
        return m_log;
    }

    testsupport::TempDir m_dir;
    // Declared before the server: its threads log until it is destroyed.
    std::mutex m_logMutex;
    std::vector<std::string> m_log;
    std::unique_ptr<CdnServer> m_server;
    int m_port = 0;
    std::unique_ptr<httplib::Client> m_client;
};

TEST_F(CdnServerTest, VersionServiceAnswersWithThisServersAddress) {
    const auto res = Get("/api/launcherversionnew?platform=pv");
    ASSERT_TRUE(res);
    EXPECT_EQ(res->status, 200);
    EXPECT_EQ(res->body, "cdn_url=" + Base() + "/cdn/|cdn_path=L1/|cdn_index=" +
                             Field(ReadBytes(Root() / "answers" / "launcher-pv.txt"), "cdn_index") +
                             "|web_url=" + Base() + "/web/index.html");
}

TEST_F(CdnServerTest, UnknownOrMissingPlatformIsRefused) {
    EXPECT_EQ(Get("/api/launcherversionnew?platform=xx")->status, 404);
    EXPECT_EQ(Get("/api/launcherversionnew?platform=..%2Fclient")->status, 404);
    EXPECT_EQ(Get("/api/launcherversionnew")->status, 400);
}

TEST_F(CdnServerTest, ClientAnswerBesideThePage) {
    const auto page = Get("/web/index.html");
    ASSERT_TRUE(page);
    EXPECT_EQ(page->status, 200);
    EXPECT_EQ(page->body, "<html>page</html>");
    EXPECT_EQ(page->get_header_value("Content-Type"), "text/html; charset=utf-8");
    // The launcher replaces the page's last path component with "pcversion".
    const auto answer = Get("/web/pcversion");
    ASSERT_TRUE(answer);
    EXPECT_EQ(answer->status, 200);
    EXPECT_EQ(Field(answer->body, "cdn_path"), "C1/");
    EXPECT_EQ(Field(answer->body, "cdn_url"), Base() + "/cdn/");
}

// The launcher's way: answer, index manifest, then the tree URL of a list.
TEST_F(CdnServerTest, ObjectsReachableThroughTheAnswersAndIndex) {
    const std::string answer = Get("/web/pcversion")->body;
    const std::string cdn = Field(answer, "cdn_url").substr(Base().size());
    const auto index = Get(cdn + "index/" + Field(answer, "cdn_index"), {{"Range", "bytes=0-"}});
    ASSERT_TRUE(index);
    EXPECT_EQ(index->status, 206);
    ASSERT_EQ(index->body.size() % 25, 0u);
    std::string treeId;
    for (std::size_t offset = 0; offset < index->body.size(); offset += 25) {
        const auto* record = reinterpret_cast<const unsigned char*>(index->body.data() + offset);
        if (HexEncode(record, 5) == PathKey(L"C1")) {
            treeId = HexEncode(record + 5, 20);
        }
    }
    ASSERT_FALSE(treeId.empty());
    const std::string url = cdn + "tree/" + treeId + "/qm.md5";
    const std::string stored = ReadBytes(Root() / "tree" / treeId / "qm.md5");
    const auto whole = Get(url, {{"Range", "bytes=0-"}});
    ASSERT_TRUE(whole);
    EXPECT_EQ(whole->status, 206);
    EXPECT_EQ(whole->body, stored);
    const auto part = Get(url, {{"Range", "bytes=2-9"}});
    ASSERT_TRUE(part);
    EXPECT_EQ(part->status, 206);
    EXPECT_EQ(part->body, stored.substr(2, 8));
    EXPECT_EQ(part->get_header_value("Content-Range"), "bytes 2-9/" + std::to_string(stored.size()));
    const auto plain = Get(url);
    ASSERT_TRUE(plain);
    EXPECT_EQ(plain->status, 200);
    EXPECT_EQ(plain->body, stored);
}

TEST_F(CdnServerTest, RangePastTheEndIsNotSatisfiable) {
    fs::path file;
    for (const auto& entry : fs::recursive_directory_iterator(Root() / "tree")) {
        if (entry.is_regular_file()) {
            file = entry.path();
        }
    }
    const std::string url = "/cdn/" + fs::relative(file, Root()).generic_string();
    const auto res = Get(url, {{"Range", "bytes=" + std::to_string(fs::file_size(file)) + "-"}});
    ASSERT_TRUE(res);
    EXPECT_EQ(res->status, 416);
    EXPECT_TRUE(res->body.empty());
}

// As nginx: ETag "MTIME-SIZE" and Last-Modified, and a range only of the
// file an If-Range names by either; another one gets the whole file.
TEST_F(CdnServerTest, RangesFollowIfRangeAsNginxAnswersThem) {
    fs::path file;
    for (const auto& entry : fs::recursive_directory_iterator(Root() / "tree")) {
        if (entry.is_regular_file()) {
            file = entry.path();
        }
    }
    const std::string url = "/cdn/" + fs::relative(file, Root()).generic_string();
    const std::string stored = testsupport::ReadBytes(file);
    const auto whole = Get(url);
    ASSERT_TRUE(whole);
    const std::string etag = whole->get_header_value("ETag");
    const std::string lastModified = whole->get_header_value("Last-Modified");
    char expected[64];
    std::snprintf(expected, sizeof expected, "-%llx\"", static_cast<unsigned long long>(stored.size()));
    EXPECT_EQ(etag.front(), '"');
    EXPECT_NE(etag.find(expected), std::string::npos) << etag;
    EXPECT_EQ(lastModified.size(), std::string("Tue, 15 Nov 1994 12:45:26 GMT").size()) << lastModified;
    EXPECT_EQ(lastModified.substr(lastModified.size() - 4), " GMT") << lastModified;

    for (const std::string& validator : {etag, lastModified}) {
        const auto rest = Get(url, {{"Range", "bytes=1-"}, {"If-Range", validator}});
        ASSERT_TRUE(rest);
        EXPECT_EQ(rest->status, 206) << validator;
        EXPECT_EQ(rest->body, stored.substr(1)) << validator;
        EXPECT_EQ(rest->get_header_value("Content-Range"),
                  "bytes 1-" + std::to_string(stored.size() - 1) + "/" + std::to_string(stored.size()));
    }
    const auto changed = Get(url, {{"Range", "bytes=1-"}, {"If-Range", "\"1-1\""}});
    ASSERT_TRUE(changed);
    EXPECT_EQ(changed->status, 200);
    EXPECT_EQ(changed->body, stored);
}

TEST_F(CdnServerTest, OnlyPublishedObjectsAreServed) {
    m_dir.Write("cdn/tree/.staging-1/secret", "x");
    m_dir.Write("secret.txt", "x");
    std::error_code noLinks;
    fs::create_directory_symlink(m_dir.Path(), m_dir.Path() / "web" / "up", noLinks);
    if (!noLinks)
        fs::create_symlink(m_dir.Path() / "secret.txt", m_dir.Path() / "web" / "secret.txt", noLinks);
    for (const char* target :
         {"/cdn/answers/client.txt", "/cdn/tree/.staging-1/secret", "/cdn/tree/../answers/client.txt",
          "/cdn/tree/%2e%2e/%2e%2e/secret.txt", "/cdn/index/", "/cdn/tree", "/web/../cdn/answers/client.txt",
          "/web/%2e%2e/secret.txt", "/web/up/secret.txt", "/web/secret.txt"}) {
        const auto res = Get(target);
        ASSERT_TRUE(res) << target;
        EXPECT_TRUE(res->status == 404 || res->status == 400) << target << ": " << res->status;
    }
    if (noLinks)
        GTEST_SKIP() << "links not checked: no symbolic links here (mingw's std::filesystem makes none)";
}

TEST_F(CdnServerTest, ObjectsNamedWithALeadingDotOrABlankAreServed) {
    const std::string tree = "tree/" + std::string(40, 'a') + "/";
    m_dir.Write("cdn/" + tree + ".settings.lz", "dot");
    m_dir.Write("cdn/" + tree + "old town.map.lz", "blank");
    m_dir.Write("web/.hidden", "not for players");
    const auto dot = Get("/cdn/" + tree + ".settings.lz");
    ASSERT_TRUE(dot);
    EXPECT_EQ(dot->status, 200);
    EXPECT_EQ(dot->body, "dot");
    const auto blank = Get("/cdn/" + tree + "old%20town.map.lz");
    ASSERT_TRUE(blank);
    EXPECT_EQ(blank->status, 200);
    EXPECT_EQ(blank->body, "blank");
    const auto hidden = Get("/web/.hidden");
    ASSERT_TRUE(hidden);
    EXPECT_EQ(hidden->status, 404);
}

TEST_F(CdnServerTest, PlaceholderTakesTheRequestsHost) {
    const auto named = Get("/web/pcversion", {{"Host", "cdn.example:8080"}});
    ASSERT_TRUE(named);
    EXPECT_EQ(Field(named->body, "cdn_url"), "http://cdn.example:8080/cdn/");
    // A Host that could break the answer's fields is not echoed.
    const auto odd = Get("/web/pcversion", {{"Host", "x|cdn_index=y"}});
    ASSERT_TRUE(odd);
    EXPECT_EQ(Field(odd->body, "cdn_url"), Base() + "/cdn/");
}

TEST_F(CdnServerTest, AnswersAreReadPerRequest) {
    std::ofstream(Root() / "answers" / "client.txt", std::ios::binary) << "cdn_url={server}/next/|cdn_path=C2/";
    EXPECT_EQ(Get("/web/pcversion")->body, "cdn_url=" + Base() + "/next/|cdn_path=C2/");
    std::ofstream(Root() / "answers" / "client.txt", std::ios::binary) << std::string(1020, 'x') + "{server}";
    EXPECT_EQ(Get("/web/pcversion")->status, 500);
}

TEST_F(CdnServerTest, SignedReleasesBesideTheAnswersAsTheyStand) {
    const std::vector<std::pair<std::string, std::string>> routes = {
        {"/api/launcherversionnew.release?platform=pv", "launcher-pv.release"},
        {"/api/launcherversionnew.release.sig?platform=pv", "launcher-pv.release.sig"},
        {"/web/pcversion.release", "client.release"},
        {"/web/pcversion.release.sig", "client.release.sig"}};
    for (const auto& [target, file] : routes) {
        EXPECT_EQ(Get(target)->status, 404) << target << ": the publish is not signed";
    }

    WriteNewKeyPair(m_dir.Path() / "keys");
    PublishOptions options;
    options.launcherDir = m_dir.Path() / "launcher";
    options.clientDir = m_dir.Path() / "client";
    options.platformCode = "pv";
    options.outDir = Root();
    options.webUrl = "http://h/web/index.html";
    options.signing.keyFiles = {m_dir.Path() / "keys" / "release.key"};
    std::ostringstream log;
    Publish(options, log, false);
    for (const auto& [target, file] : routes) {
        const auto res = Get(target);
        ASSERT_TRUE(res) << target;
        EXPECT_EQ(res->status, 200) << target;
        EXPECT_EQ(res->body, ReadBytes(Root() / "answers" / file)) << target;
        EXPECT_EQ(res->get_header_value("Content-Type"), "text/plain; charset=utf-8") << target;
    }
    // Signed bytes are never rewritten.
    std::ofstream(Root() / "answers" / "client.release", std::ios::binary) << "{server}";
    EXPECT_EQ(Get("/web/pcversion.release")->body, "{server}");
    EXPECT_EQ(Get("/api/launcherversionnew.release?platform=xx")->status, 404);
    EXPECT_EQ(Get("/api/launcherversionnew.release?platform=..%2Fclient")->status, 404);
    EXPECT_EQ(Get("/api/launcherversionnew.release")->status, 404);
}

TEST_F(CdnServerTest, LogsOneLinePerRequest) {
    const std::size_t answerBytes = Get("/api/launcherversionnew?platform=pv")->body.size();
    Get("/cdn/index/missing");
    // A line is written after its response; stopping waits for every request.
    m_server->Stop();
    // Lines come in the order requests end, which need not be the order sent.
    std::vector<std::string> log = Log();
    std::sort(log.begin(), log.end());
    EXPECT_EQ(log,
              (std::vector<std::string>{"GET /api/launcherversionnew?platform=pv 200 " + std::to_string(answerBytes),
                                        "GET /cdn/index/missing 404 15"}));
}

TEST_F(CdnServerTest, PortInUseIsAnError) {
    ServeOptions taken;
    taken.root = Root();
    taken.port = m_port;
    CdnServer second(taken, {});
    try {
        second.Start();
        ADD_FAILURE() << "started on a port in use";
    } catch (const std::runtime_error& failure) {
        // The system's own reason, in its own words ("Address already in use"
        // on Linux), never the fallback.
        const std::string what = failure.what();
        const std::string prefix = "cannot listen on 127.0.0.1 port " + std::to_string(m_port) + ": ";
        EXPECT_EQ(what.rfind(prefix, 0), 0u) << what;
        EXPECT_NE(what.substr(std::min(prefix.size(), what.size())), "the address cannot be bound") << what;
    }
}

TEST_F(CdnServerTest, FoldersThatCannotBeServedAreRefusedAndAnEmptyRootIsWarnedAbout) {
    EXPECT_FALSE(ServeWarning({Root(), {}, "127.0.0.1", 0}).has_value());
    m_dir.Write("empty/.keep", "");
    const std::string warning = ServeWarning({m_dir.Path() / "empty", {}, "127.0.0.1", 0}).value_or("");
    EXPECT_NE(warning.find("holds no publish yet"), std::string::npos) << warning;

    const auto problemOf = [](const ServeOptions& options) -> std::string {
        try {
            CdnServer(options, {}).Start();
        } catch (const std::runtime_error& failure) {
            return failure.what();
        }
        return "started";
    };
    EXPECT_EQ(problemOf({m_dir.Path() / "nowhere", {}, "127.0.0.1", 0}),
              "the root " + (m_dir.Path() / "nowhere").string() + " is not a folder");
    EXPECT_EQ(problemOf({Root(), m_dir.Path() / "no-page", "127.0.0.1", 0}),
              "the page folder " + (m_dir.Path() / "no-page").string() + " is not a folder");
    EXPECT_FALSE(ServeWarning({m_dir.Path() / "nowhere", {}, "127.0.0.1", 0}).has_value());
}

TEST_F(CdnServerTest, StopsAndCanBeStoppedTwice) {
    m_server->Stop();
    m_server->Stop();
    httplib::Client late("127.0.0.1", m_port);
    EXPECT_FALSE(late.Get("/web/pcversion"));
}

}  // namespace
