// A CDN host that fails and the mirrors the settings file names, over real
// HTTP on 127.0.0.1: a second server plays the primary host, the fixture's
// own the mirror, and the answers name the primary as cdn_url.
#include "tests/e2e/update_fixture.h"
#include "tests/support/diag_lines.h"

#include "platform/text.h"
#include "state/launcher_settings.h"
#include "state/message_table.h"
#include "state/view_broser.h"
#include "update/file_list.h"
#include "update/update_context.h"
#include "update/version_service.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace fs = std::filesystem;
using testsupport::LoopbackServer;
using testsupport::RandomBytes;
using testsupport::ReadBytes;
using testsupport::WriteBytes;

namespace {

class Mirrors : public ::testing::Test, public testsupport::UpdateFixture {
protected:
    void SetUp() override {
        WriteBytes(launcherDir / "Launcher.exe", "launcher program v1");
        WriteBytes(launcherDir / "pv.ini", "[Config]\nLanguage=chs\n");
        WriteBytes(clientDir / "qm.exe", "game program");
        WriteBytes(clientDir / "data/world.pak", RandomBytes(300000, 1));
        WriteBytes(clientDir / "data/readme.txt", "read me");
        for (const char* name : {"Launcher.exe", "pv.ini"})
            fs::copy_file(launcherDir / name, installedDir / name);
        Publish();
    }

    std::string MirrorBase() const { return server.BaseUrl() + "/cdn/"; }

    // The answers name primaryBase as cdn_url.
    void AnswerWithPrimary(const std::string& primaryBase) {
        for (const auto& [target, name] : {std::pair{"/api/launcherversionnew?platform=pv", "launcher-pv.txt"},
                                           std::pair{"/web/pcversion", "client.txt"}})
            server.SetBody(target, Answer(name, primaryBase));
    }
    std::string Answer(const char* name, const std::string& primaryBase) const {
        return testsupport::RebasedAnswer(ReadBytes(cdnDir / "answers" / name), MirrorBase(), primaryBase);
    }
    // The fixture's server, which holds the tree, as the one mirror.
    static void UseMirror(const std::string& base) {
        GetUpdateContext()->cdnBases.SetMirrors(platform::FromUtf8(base));
    }

    // The launcher check, then the client check and every download.
    void Install() {
        CUpdateContext& context = *GetUpdateContext();
        ASSERT_TRUE(CheckLauncherVersion(context));
        std::wstring url;
        SetClientVersionUrl(platform::FromUtf8(PageUrl()), url);
        ASSERT_TRUE(QueryVersionService(L"", context, url));
        ASSERT_TRUE(CheckClientFiles(context));
        RunClientDownload();
        EXPECT_EQ(GetViewBroser()->GetErrorText(), L"");
        EXPECT_TRUE(context.pendingFiles.empty());
        for (const char* file : {"qm.exe", "data/world.pak", "data/readme.txt"})
            EXPECT_EQ(ReadBytes(DataPath("C1") / file), ReadBytes(clientDir / file)) << file;
    }

    // The requests to host whose target holds part.
    static std::size_t CountIf(const LoopbackServer& host, const std::string& part) {
        const auto requests = host.Requests();
        return std::count_if(requests.begin(), requests.end(),
                             [&](const auto& request) { return request.target.find(part) != std::string::npos; });
    }

    static std::size_t LinesWith(const std::vector<std::string>& lines, const std::string& part) {
        return std::count_if(lines.begin(), lines.end(),
                             [&](const std::string& line) { return line.find(part) != std::string::npos; });
    }
};

}  // namespace

TEST_F(Mirrors, PrimaryDownTheMirrorInstallsAndIsAskedFirstFromThen) {
    LoopbackServer primary;  // serves nothing: every request gets a 404
    AnswerWithPrimary(primary.BaseUrl() + "/cdn/");
    UseMirror(MirrorBase());
    testsupport::DiagLines diag;
    Install();

    // The primary was asked once, for the launcher's index; every later
    // request went straight to the mirror, and no attempt failed.
    const auto asked = primary.Requests();
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_TRUE(asked[0].target.starts_with("/cdn/index/")) << asked[0].target;
    EXPECT_EQ(CountIf(server, ".lz"), 3u);
    EXPECT_EQ(CountIf(server, "qm.md5"), 1u);
    EXPECT_EQ(CountIf(server, "launcher.md5"), 1u);
    EXPECT_TRUE(sleeps.empty());
    const std::vector<std::string> lines = diag.Take();
    EXPECT_EQ(LinesWith(lines, "; trying " + MirrorBase()), 1u);
    EXPECT_EQ(LinesWith(lines, "mirror: " + MirrorBase() + " answered for index/"), 1u);
}

TEST_F(Mirrors, CorruptObjectsOnThePrimaryGiveWayToTheMirrors) {
    // The primary's copy of the tree: manifests and lists whole, every packed
    // file garbage of its own length.
    const fs::path corrupt = work.Path() / "corrupt";
    fs::copy(cdnDir, corrupt, fs::copy_options::recursive);
    unsigned seed = 7;
    for (const auto& entry : fs::recursive_directory_iterator(corrupt))
        if (entry.is_regular_file() && entry.path().extension() == ".lz")
            WriteBytes(entry.path(), RandomBytes(entry.file_size(), ++seed));
    LoopbackServer primary;
    primary.ServeFolder("/cdn/", corrupt.string());
    AnswerWithPrimary(primary.BaseUrl() + "/cdn/");
    UseMirror(MirrorBase());
    testsupport::DiagLines diag;
    Install();

    // The first packed file failed its digest on the primary and came from
    // the mirror in the same attempt; the others from the mirror alone,
    // except those whose transfer began while the first was still being
    // unpacked (files install side by side): each of them fails once on
    // the primary too.
    const std::size_t onPrimary = CountIf(primary, ".lz");
    EXPECT_GE(onPrimary, 1u);
    EXPECT_LE(onPrimary, 3u);
    EXPECT_EQ(CountIf(server, ".lz"), 3u);
    EXPECT_GE(CountIf(primary, "qm.md5"), 1u);
    EXPECT_TRUE(sleeps.empty());
    const std::vector<std::string> lines = diag.Take();
    // One failed try for each of them, and every file up to date in its
    // first attempt.
    EXPECT_EQ(LinesWith(lines, "file (problem): "), onPrimary);
    EXPECT_EQ(LinesWith(lines, ": attempt 1: up to date"), 3u);
    EXPECT_EQ(LinesWith(lines, "mirror: " + MirrorBase() + " answered for tree/"), onPrimary);
}

TEST_F(Mirrors, AManifestOfBrokenRecordsIsTakenFromTheNextHost) {
    const fs::path broken = work.Path() / "broken";
    fs::copy(cdnDir, broken, fs::copy_options::recursive);
    for (const auto& entry : fs::directory_iterator(broken / "index"))
        WriteBytes(entry.path(), ReadBytes(entry.path()) + "x");
    LoopbackServer primary;
    primary.ServeFolder("/cdn/", broken.string());
    const std::wstring answer = platform::FromUtf8(Answer("client.txt", primary.BaseUrl() + "/cdn/"));
    CUpdateContext& context = *GetUpdateContext();
    // From one host it is taken at once, with no record, and the answer fails.
    EXPECT_FALSE(ParseVersionAnswer(answer, L"", context));
    EXPECT_TRUE(context.indexMap.empty());
    // With a mirror, the mirror's whole one is taken in the same attempt.
    UseMirror(MirrorBase());
    EXPECT_TRUE(ParseVersionAnswer(answer, L"", context));
    EXPECT_FALSE(context.indexMap.empty());
    EXPECT_EQ(CountIf(primary, "/cdn/index/"), 2u);
    EXPECT_EQ(CountIf(server, "/cdn/index/"), 1u);
    EXPECT_TRUE(sleeps.empty());
}

TEST_F(Mirrors, AllHostsDownGiveTheErrorTextAfterTheWaitsOfOneHost) {
    // The baseline: one host that refuses connections.
    const std::string refused = "http://127.0.0.1:" + std::to_string(LoopbackServer::RefusedPort()) + "/cdn/";
    AnswerWithPrimary(refused);
    CUpdateContext& context = *GetUpdateContext();
    EXPECT_FALSE(CheckLauncherVersion(context));
    const std::wstring oneHostError = GetViewBroser()->GetErrorText();
    const std::vector<DWORD> oneHostWaits = std::exchange(sleeps, {});
    EXPECT_EQ(oneHostError, g_messages.entries[message::kLauncherVersionUnavailable]);

    // The same with a mirror that answers 404 to everything.
    LoopbackServer mirror;
    UseMirror(mirror.BaseUrl() + "/cdn/");
    GetViewBroser()->SetErrorText(L"");
    EXPECT_FALSE(CheckLauncherVersion(context));
    EXPECT_EQ(GetViewBroser()->GetErrorText(), oneHostError);
    EXPECT_EQ(sleeps, oneHostWaits);
    // Five answers, each with five attempts at its index: one request to the
    // mirror per attempt.
    EXPECT_EQ(mirror.Requests().size(), 25u);
}
