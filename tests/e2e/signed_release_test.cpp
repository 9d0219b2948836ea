// Signed releases against a CDN that plays a compromised server: the
// launcher installs what the studio signed and nothing else, and a refusal
// leaves the installed client as it was.
#include "tests/e2e/update_fixture.h"
#include "tests/support/diag_lines.h"

#include "codec/ed25519_signature.h"
#include "platform/text.h"
#include "state/launcher_settings.h"
#include "state/message_table.h"
#include "state/view_broser.h"
#include "tools/cdn/publish/publisher.h"
#include "update/download_worker.h"
#include "update/file_list.h"
#include "update/release_trust.h"
#include "update/update_context.h"
#include "update/version_service.h"
#include "wire/release_document.h"
#include "wire/release_keys.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <sstream>

namespace fs = std::filesystem;
using testsupport::RandomBytes;
using testsupport::ReadBytes;
using testsupport::UpdateFixture;
using testsupport::WriteBytes;

namespace {

const char* const kReleaseFiles[] = {"launcher-pv.release", "launcher-pv.release.sig", "client.release",
                                     "client.release.sig"};

class SignedReleases : public ::testing::Test, public UpdateFixture {
protected:
    void SetUp() override {
        WriteBytes(launcherDir / "Launcher.exe", "launcher program v1");
        WriteBytes(launcherDir / "pv.ini", "[Config]\nLanguage=chs\n");
        WriteBytes(clientDir / "qm.exe", "game program v1");
        WriteBytes(clientDir / "data/world.pak", RandomBytes(200000, 7));
        for (const char* name : {"Launcher.exe", "pv.ini"})
            fs::copy_file(launcherDir / name, installedDir / name);
        studioKey = NewKey("studio");
        Trust({studioKey});
    }

    struct Key {
        Ed25519Seed seed{};
        fs::path file;
    };

    Key NewKey(const std::string& name) {
        Key key{NewEd25519Seed().value(), work.Path() / (name + ".key")};
        WriteBytes(key.file, PrivateKeyText(key.seed));
        return key;
    }

    // release.pub beside the installed launcher, read as a start reads it.
    void Trust(const std::vector<Key>& keys) {
        std::string text;
        for (const Key& key : keys)
            text += PublicKeyLine(Ed25519PublicKeyOf(key.seed));
        WriteBytes(installedDir / "release.pub", text);
        LoadReleaseKeys(*GetUpdateContext(), installedDir.wstring());
    }

    // Publishes into folder (cdnDir by default) signed by keys, and serves it.
    void PublishSigned(const std::vector<Key>& keys, const std::string& clientVersion = "C1",
                       const fs::path& folder = {}) {
        const fs::path out = folder.empty() ? cdnDir : folder;
        PublishOptions options = testsupport::FixturePublishOptions(launcherDir, clientDir, out, Base());
        options.clientVersion = clientVersion;
        options.webUrl = PageUrl();
        for (const Key& key : keys)
            options.signing.keyFiles.push_back(key.file);
        std::ostringstream log;
        ::Publish(options, log, false);
        ServeTree(out);
    }

    // Answers, documents and objects of a published folder, as they stand.
    void ServeTree(const fs::path& folder) {
        Serve(folder, Base());
        ServeReleaseFiles(folder / "answers");
    }

    void ServeReleaseFiles(const fs::path& answers) {
        server.SetBody("/api/launcherversionnew.release?platform=pv", ReadBytes(answers / "launcher-pv.release"));
        server.SetBody("/api/launcherversionnew.release.sig?platform=pv",
                       ReadBytes(answers / "launcher-pv.release.sig"));
        server.SetBody("/web/pcversion.release", ReadBytes(answers / "client.release"));
        server.SetBody("/web/pcversion.release.sig", ReadBytes(answers / "client.release.sig"));
    }

    std::string Base() const { return server.BaseUrl() + "/cdn/"; }

    // The client check, the comparison and every download, as the chain runs
    // them; true when the client was brought up to date.
    bool InstallClient() {
        CUpdateContext& context = *GetUpdateContext();
        std::wstring url;
        SetClientVersionUrl(platform::FromUtf8(PageUrl()), url);
        if (!QueryVersionService(L"", context, url) || !CheckClientFiles(context))
            return false;
        while (!context.pendingFiles.empty()) {
            if (RunWorker() != 1)
                return false;
        }
        return true;
    }

    // The version's client files, in the folder the launcher installs into.
    std::string Installed(const std::string& version, const std::string& file) const {
        return ReadBytes(DataPath(version + "/" + file));
    }

    // Nothing was installed for version, and no download was left behind.
    void ExpectNothingOf(const std::string& version) const {
        EXPECT_FALSE(fs::exists(DataPath(version))) << version;
        if (!fs::exists(DataPath("Update/" + version)))
            return;
        for (const auto& entry : fs::recursive_directory_iterator(DataPath("Update/" + version))) {
            EXPECT_FALSE(entry.is_regular_file()) << entry.path();
        }
    }

    // Why the last release was refused, from the diagnostic log.
    static std::string Refusal(const std::vector<std::string>& lines) {
        for (auto line = lines.rbegin(); line != lines.rend(); ++line)
            if (line->rfind("release (problem): ", 0) == 0)
                return *line;
        return "no release problem in " + ::testing::PrintToString(lines);
    }

    // The client's document re-signed by key after edit changed it.
    template <typename Edit>
    void ServeEditedClientRelease(const Key& key, Edit edit) {
        ServeEditedRelease("client", "/web/pcversion", "", key, edit);
    }

    template <typename Edit>
    void ServeEditedRelease(const std::string& stem, const std::string& path, const std::string& query, const Key& key,
                            Edit edit) {
        std::string problem;
        std::optional<ReleaseDocument> document =
            ParseReleaseDocument(ReadBytes(cdnDir / "answers" / (stem + ".release")), problem);
        ASSERT_TRUE(document) << problem;
        edit(*document);
        const std::string text = ReleaseDocumentText(*document);
        server.SetBody(path + ".release" + query, text);
        server.SetBody(path + ".release.sig" + query,
                       ReleaseSignaturesText({{Ed25519PublicKeyOf(key.seed), Ed25519Sign(key.seed, text)}}));
    }

    Key studioKey;
};

}  // namespace

TEST_F(SignedReleases, ASignedReleaseInstallsAndEveryBodyIsChecked) {
    PublishSigned({studioKey});
    testsupport::DiagLines diag;
    ASSERT_TRUE(CheckLauncherVersion(*GetUpdateContext()));
    ASSERT_TRUE(InstallClient()) << ::testing::PrintToString(diag.Take());
    EXPECT_EQ(Installed("C1", "qm.exe"), "game program v1");
    EXPECT_EQ(Installed("C1", "data/world.pak"), ReadBytes(clientDir / "data/world.pak"));
    const std::vector<std::string> lines = diag.Take();
    EXPECT_EQ(std::count_if(lines.begin(), lines.end(),
                            [](const std::string& line) { return line.rfind("release: accepted ", 0) == 0; }),
              2)
        << ::testing::PrintToString(lines);
    // The document comes before the answer it vouches for.
    const auto requests = server.Requests();
    const auto first = std::find_if(requests.begin(), requests.end(), [](const auto& request) {
        return request.target.find("pcversion") != std::string::npos;
    });
    ASSERT_NE(first, requests.end());
    EXPECT_EQ(first->target, "/web/pcversion.release");

    // A launcher's document must be made for its own platform.
    ServeEditedRelease("launcher-pv", "/api/launcherversionnew", "?platform=pv", studioKey,
                       [](ReleaseDocument& document) { document.platform = "xx"; });
    EXPECT_FALSE(CheckLauncherVersion(*GetUpdateContext()));
    EXPECT_NE(Refusal(diag.Take()).find("made for platform \"xx\", not \"pv\""), std::string::npos);
}

// A body continued after a cut is checked whole: the kept part's bytes and
// the rest's, once, against the release's size and SHA-256.
TEST_F(SignedReleases, AContinuedBodyIsCheckedWholeAgainstTheRelease) {
    PublishSigned({studioKey});
    ASSERT_TRUE(CheckLauncherVersion(*GetUpdateContext()));
    std::string target;
    for (const auto& entry : fs::recursive_directory_iterator(cdnDir / "tree"))
        if (entry.path().filename() == "world.pak.lz")
            target = "/cdn/" + fs::relative(entry.path(), cdnDir).generic_string();
    ASSERT_FALSE(target.empty());
    const auto half = static_cast<std::int64_t>(fs::file_size(cdnDir / target.substr(5)) / 2);
    server.SetFault(target, testsupport::Fault{.closeAfterBytes = half, .times = 1});
    server.ClearRequests();
    testsupport::DiagLines diag;
    ASSERT_TRUE(InstallClient()) << ::testing::PrintToString(diag.Take());
    EXPECT_EQ(Installed("C1", "data/world.pak"), ReadBytes(clientDir / "data/world.pak"));
    std::vector<std::string> ranges;
    for (const auto& request : server.Requests())
        if (request.target == target)
            ranges.push_back(request.Header("Range"));
    ASSERT_EQ(ranges.size(), 2u) << ::testing::PrintToString(diag.Take());
    EXPECT_EQ(ranges[0], "bytes=0-");
    EXPECT_NE(ranges[1], "bytes=0-") << ::testing::PrintToString(diag.Take());
}

// A mirror's body is named by its path below cdn_url, as the primary's is:
// with the primary down the mirror's signed bodies install.
TEST_F(SignedReleases, AMirrorsBodiesAreCheckedAgainstTheSameRelease) {
    PublishSigned({studioKey});
    const std::string down = "http://127.0.0.1:" + std::to_string(testsupport::LoopbackServer::RefusedPort()) + "/cdn/";
    server.SetBody("/web/pcversion",
                   testsupport::RebasedAnswer(ReadBytes(cdnDir / "answers/client.txt"), Base(), down));
    GetUpdateContext()->cdnBases.SetMirrors(platform::FromUtf8(Base()));
    testsupport::DiagLines diag;
    ASSERT_TRUE(InstallClient()) << ::testing::PrintToString(diag.Take());
    EXPECT_EQ(Installed("C1", "data/world.pak"), ReadBytes(clientDir / "data/world.pak"));
    const std::vector<std::string> lines = diag.Take();
    EXPECT_EQ(std::count_if(lines.begin(), lines.end(),
                            [](const std::string& line) { return line.rfind("release (problem): ", 0) == 0; }),
              0)
        << ::testing::PrintToString(lines);
}

// Each way a server can pass off what the studio did not sign is refused
// before anything is installed, and the log names why.
TEST_F(SignedReleases, ACompromisedServerInstallsNothing) {
    PublishSigned({studioKey});
    const std::string genuine = ReadBytes(cdnDir / "answers/client.release");
    const std::string genuineSig = ReadBytes(cdnDir / "answers/client.release.sig");

    struct Case {
        const char* name;
        std::function<void()> serve;
        const char* reason;
    };
    const Key otherKey = NewKey("other");
    const std::vector<Case> cases = {
        {"a signature by another key", [&] { ServeEditedClientRelease(otherKey, [](ReleaseDocument&) {}); },
         "not signed by a key in release.pub"},
        {"an expired document",
         [&] {
             ServeEditedClientRelease(studioKey,
                                      [](ReleaseDocument& document) { document.expires = document.published = 1000; });
         },
         "expired"},
        {"the launcher's document for the client",
         [&] {
             server.SetBody("/web/pcversion.release", ReadBytes(cdnDir / "answers/launcher-pv.release"));
             server.SetBody("/web/pcversion.release.sig", ReadBytes(cdnDir / "answers/launcher-pv.release.sig"));
         },
         "the launcher's document where a client's was asked for"},
        {"an empty document", [&] { server.SetBody("/web/pcversion.release", ""); }, "no document"},
        {"a truncated document",
         [&] { server.SetBody("/web/pcversion.release", genuine.substr(0, genuine.size() / 2)); },
         "not signed by a key"},
        {"an oversized signature",
         [&] {
             server.SetBody("/web/pcversion.release.sig", genuineSig + std::string(kMaxReleaseSignatureBytes, '\n'));
         },
         "no signature"},
        {"a truncated signature", [&] { server.SetBody("/web/pcversion.release.sig", genuineSig.substr(0, 40)); },
         "the signature file does not read"},
        // Last: signed by the studio's key, it is accepted, and its serial
        // with it.
        {"a document listing another object for qm.exe",
         [&] {
             ServeEditedClientRelease(studioKey, [](ReleaseDocument& document) {
                 ++document.serial;
                 for (auto& [path, body] : document.bodies)
                     if (path.ends_with("/qm.exe.lz"))
                         body.sha256[0] ^= 1;
             });
         },
         "qm.exe.lz: its SHA-256 is not the one the release lists"},
    };
    for (const Case& scenario : cases) {
        SCOPED_TRACE(scenario.name);
        ServeTree(cdnDir);
        scenario.serve();
        testsupport::DiagLines diag;
        EXPECT_FALSE(InstallClient());
        EXPECT_NE(Refusal(diag.Take()).find(scenario.reason), std::string::npos) << Refusal(diag.Take());
        ExpectNothingOf("C1");
    }
}

// The tree republished by someone without the key, the genuine documents
// left in place; a program replaced together with a matching md5 list; an
// answer of one release with a list of another.
TEST_F(SignedReleases, BodiesOtherThanTheSignedOnesAreRefused) {
    PublishSigned({studioKey});
    const fs::path forged = work.Path() / "forged";
    WriteBytes(clientDir / "qm.exe", "a program the studio never signed");
    PublishOptions options = testsupport::FixturePublishOptions(launcherDir, clientDir, forged, Base());
    options.webUrl = PageUrl();
    std::ostringstream log;
    ::Publish(options, log, false);

    // The forged tree with the genuine documents.
    Serve(forged, Base());
    ServeReleaseFiles(cdnDir / "answers");
    testsupport::DiagLines diag;
    EXPECT_FALSE(InstallClient());
    EXPECT_NE(Refusal(diag.Take()).find("is not the release's"), std::string::npos);
    ExpectNothingOf("C1");

    // The genuine answer and manifests, the forged list and program copied
    // over the genuine ones' paths.
    const fs::path genuineCopy = work.Path() / "genuine";
    fs::copy(cdnDir, genuineCopy, fs::copy_options::recursive);
    for (const char* name : {"qm.md5", "qm.exe.lz"}) {
        fs::path from, to;
        for (const auto& entry : fs::recursive_directory_iterator(forged / "tree"))
            if (entry.path().filename() == name)
                from = entry.path();
        for (const auto& entry : fs::recursive_directory_iterator(genuineCopy / "tree"))
            if (entry.path().filename() == name)
                to = entry.path();
        ASSERT_FALSE(from.empty() || to.empty()) << name;
        WriteBytes(to, ReadBytes(from));
    }
    ServeTree(genuineCopy);
    EXPECT_FALSE(InstallClient());
    EXPECT_NE(Refusal(diag.Take()).find("its SHA-256 is not the one the release lists"), std::string::npos);
    ExpectNothingOf("C1");

    // With only the forged program over the genuine one, the list still
    // names the genuine digest: the download is refused before unpacking.
    fs::remove_all(genuineCopy);
    fs::copy(cdnDir, genuineCopy, fs::copy_options::recursive);
    for (const auto& entry : fs::recursive_directory_iterator(forged / "tree"))
        if (entry.path().filename() == "qm.exe.lz")
            for (const auto& target : fs::recursive_directory_iterator(genuineCopy / "tree"))
                if (target.path().filename() == "qm.exe.lz")
                    WriteBytes(target.path(), ReadBytes(entry.path()));
    ServeTree(genuineCopy);
    EXPECT_FALSE(InstallClient());
    const std::vector<std::string> lines = diag.Take();
    EXPECT_NE(std::find_if(lines.begin(), lines.end(),
                           [](const std::string& line) {
                               return line.find("qm.exe: attempt 5: the release does not list what arrived") !=
                                      std::string::npos;
                           }),
              lines.end())
        << ::testing::PrintToString(lines);
    EXPECT_FALSE(fs::exists(DataPath("C1/qm.exe")));
}

// A proxy that sends manifests and md5 lists chunked, without a length,
// changes nothing about what a release vouches for: other bytes are refused,
// the genuine ones install.
TEST_F(SignedReleases, ChunkedManifestsAndListsAreCheckedLikeAnyOtherBody) {
    PublishSigned({studioKey});
    std::string clientList;
    std::vector<std::string> targets;
    for (const auto& entry : fs::recursive_directory_iterator(cdnDir)) {
        const fs::path& file = entry.path();
        const std::string target = "/cdn/" + fs::relative(file, cdnDir).generic_string();
        if (file.parent_path().filename() == "index" || file.extension() == ".md5")
            targets.push_back(target);
        if (file.filename() == "qm.md5")
            clientList = target;
    }
    ASSERT_EQ(targets.size(), 3u);  // the index and both lists
    ASSERT_FALSE(clientList.empty());

    // The client's list with one digit of a digest changed, same size.
    std::string forged = ReadBytes(cdnDir / clientList.substr(5));
    forged[forged.size() - 4] ^= 1;
    server.SetFault(clientList, testsupport::Fault{.chunked = true, .body = forged});
    testsupport::DiagLines diag;
    ASSERT_TRUE(CheckLauncherVersion(*GetUpdateContext()));
    EXPECT_FALSE(InstallClient());
    EXPECT_NE(Refusal(diag.Take()).find("its SHA-256 is not the one the release lists"), std::string::npos);
    ExpectNothingOf("C1");

    for (const std::string& target : targets)
        server.SetFault(target, testsupport::Fault{.chunked = true});
    ASSERT_TRUE(CheckLauncherVersion(*GetUpdateContext()));
    ASSERT_TRUE(InstallClient()) << ::testing::PrintToString(diag.Take());
    EXPECT_EQ(Installed("C1", "qm.exe"), "game program v1");
    EXPECT_EQ(Installed("C1", "data/world.pak"), ReadBytes(clientDir / "data/world.pak"));
}

// An older genuine release is refused once a newer one was accepted; the
// studio rolls back by publishing the older folders again, which makes a
// new serial.
TEST_F(SignedReleases, AnOlderReleaseIsRefusedAndRollingBackRepublishes) {
    PublishSigned({studioKey}, "C1");
    ASSERT_TRUE(InstallClient());
    const fs::path firstAnswers = work.Path() / "first-answers";
    fs::copy(cdnDir / "answers", firstAnswers);

    WriteBytes(clientDir / "qm.exe", "game program v2");
    PublishSigned({studioKey}, "C2");
    ASSERT_TRUE(InstallClient());
    EXPECT_EQ(Installed("C2", "qm.exe"), "game program v2");

    // The first release's answer and documents served again.
    server.SetBody("/web/pcversion",
                   testsupport::RebasedAnswer(ReadBytes(firstAnswers / "client.txt"), Base(), Base()));
    ServeReleaseFiles(firstAnswers);
    testsupport::DiagLines diag;
    EXPECT_FALSE(InstallClient());
    EXPECT_NE(Refusal(diag.Take()).find("is older than the"), std::string::npos);

    // The same serial with another document is refused as well.
    ServeTree(cdnDir);
    ServeEditedClientRelease(studioKey, [&](ReleaseDocument& document) { document.expires += 1; });
    EXPECT_FALSE(InstallClient());
    EXPECT_NE(Refusal(diag.Take()).find("was accepted before with another document"), std::string::npos);

    // Rollback: the first release's folders published again.
    WriteBytes(clientDir / "qm.exe", "game program v1");
    PublishSigned({studioKey}, "C1");
    ASSERT_TRUE(InstallClient()) << ::testing::PrintToString(diag.Take());
    EXPECT_EQ(cdn_path, L"C1/");
    EXPECT_EQ(Installed("C1", "qm.exe"), "game program v1");
}

// A launcher update brings a release.pub that adds the new key; releases
// signed by the new key alone are then accepted, and not before.
TEST_F(SignedReleases, AKeyChangeOverTravelsWithALauncherUpdate) {
    const Key newKey = NewKey("new");
    PublishSigned({newKey});
    EXPECT_FALSE(InstallClient());

    WriteBytes(launcherDir / "release.pub",
               PublicKeyLine(Ed25519PublicKeyOf(studioKey.seed)) + PublicKeyLine(Ed25519PublicKeyOf(newKey.seed)));
    WriteBytes(launcherDir / "Launcher.exe", "launcher program v2");
    PublishSigned({studioKey, newKey});
    CUpdateContext& context = *GetUpdateContext();
    ASSERT_TRUE(CheckLauncherVersion(context));
    ASSERT_EQ(context.launcherUpdatePending, 1);
    while (!context.pendingFiles.empty())
        ASSERT_EQ(RunWorker(), 1u);
    // Copy-and-restart puts the new launcher's files in place; its next
    // start reads their release.pub.
    WriteBytes(installedDir / "release.pub", ReadBytes(DataPath("launcher/L1/release.pub")));
    LoadReleaseKeys(context, installedDir.wstring());

    PublishSigned({newKey});
    EXPECT_TRUE(InstallClient());
    EXPECT_EQ(Installed("C1", "qm.exe"), "game program v1");
}
