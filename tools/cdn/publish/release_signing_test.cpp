#include "tools/cdn/publish/release_signer.h"

#include "tools/cdn/publish/publisher_test_support.h"
#include "tools/cdn/publish/release_key_files.h"
#include "tools/cdn/publish/sign_publish.h"
#include "wire/release_keys.h"

#include <gtest/gtest.h>

#include <set>

namespace {

using namespace cdntest;

constexpr std::int64_t kDay = 86400;

// The path below cdn_url of a file in the published folder.
std::string BelowRoot(const fs::path& file, const fs::path& root) {
    const std::u8string path = fs::relative(file, root).generic_u8string();
    return std::string(path.begin(), path.end());
}

// What the launcher fetches for an answer, walked with the test's own
// reader of the folder.
std::set<std::string> LauncherFetches(const fs::path& root, const std::string& answerName, bool launcher) {
    const LauncherView view(root, answerName);
    std::set<std::string> bodies = {"index/" + view.Field("cdn_index")};
    if (!view.Field("cdn_diff_index").empty()) {
        bodies.insert("diff/" + view.Field("cdn_index") + ".." + view.Field("cdn_diff_index"));
    }
    const std::wstring version = (launcher ? L"launcher/" : L"") + platform::FromUtf8(view.Field("cdn_path"));
    auto fetch = [&](const std::wstring& cdnPath) {
        const fs::path object = view.Resolve(cdnPath);
        EXPECT_FALSE(object.empty()) << platform::ToUtf8(cdnPath);
        bodies.insert(BelowRoot(object, root));
        return object;
    };
    const fs::path list = fetch(version + (launcher ? L"launcher.md5" : L"qm.md5"));
    for (const ListEntry& entry : ReadMd5List(list)) {
        fetch(version + (launcher ? entry.path.substr(9) + L".z" : entry.path + L".lz"));
    }
    if (launcher) {
        fetch(L"launcher/pv.ini");
    }
    return bodies;
}

std::set<std::string> PathsOf(const ReleaseDocument& document) {
    std::set<std::string> paths;
    for (const auto& [path, body] : document.bodies) {
        paths.insert(path);
    }
    return paths;
}

// Every file of a folder but the release documents and their signatures.
std::map<std::string, std::string> AllButReleases(const fs::path& root) {
    std::map<std::string, std::string> files = Snapshot(root);
    std::erase_if(files, [](const auto& file) { return file.first.find(".release") != std::string::npos; });
    return files;
}

class SignedPublishTest : public PublisherTest {
protected:
    void SetUp() override {
        PublisherTest::SetUp();
        WriteNewKeyPair(m_dir.Path() / "keys");
        m_key = ReadSigningKey(KeyFile());
    }

    fs::path KeyFile() const { return m_dir.Path() / "keys" / "release.key"; }
    fs::path Root() const { return m_dir.Path() / "cdn"; }

    PublishOptions Signed() const {
        PublishOptions options = Options();
        options.baseUrl = "http://cdn.example/cdn/";
        options.webUrl = "http://www.example/index.html";
        options.signing.keyFiles = {KeyFile()};
        return options;
    }

    // answers/<stem>.release, read whole, its signature by each key checked
    // and each body checked against the file at its path.
    ReleaseDocument Release(const std::string& stem, const std::vector<Ed25519Seed>& keys) const {
        const fs::path answers = Root() / "answers";
        const std::string text = ReadBytes(answers / (stem + ".release"));
        std::string problem;
        const std::optional<ReleaseDocument> document = ParseReleaseDocument(text, problem);
        EXPECT_TRUE(document) << stem << ": " << problem;
        if (!document) {
            return {};
        }
        const auto signatures = ParseReleaseSignatures(ReadBytes(answers / (stem + ".release.sig")));
        EXPECT_TRUE(signatures) << stem;
        EXPECT_EQ(signatures.value_or(std::vector<ReleaseSignature>()).size(), keys.size()) << stem;
        for (std::size_t i = 0; signatures && i < std::min(keys.size(), signatures->size()); ++i) {
            EXPECT_EQ((*signatures)[i].key, Ed25519PublicKeyOf(keys[i])) << stem << " " << i;
            EXPECT_TRUE(Ed25519Verify((*signatures)[i].key, text, (*signatures)[i].signature)) << stem << " " << i;
        }
        EXPECT_EQ(document->answer, AnswerWithoutCdnUrl(ReadBytes(answers / (stem + ".txt")))) << stem;
        for (const auto& [path, body] : document->bodies) {
            const std::string bytes = ReadBytes(Root() / testsupport::Utf8Path(path));
            EXPECT_EQ(body.size, bytes.size()) << path;
            EXPECT_EQ(body.sha256, Sha256Of(bytes)) << path;
        }
        return *document;
    }

    Ed25519Seed m_key{};
};

TEST_F(SignedPublishTest, ReleasesNameExactlyWhatTheLauncherFetchesSigned) {
    const std::int64_t before = UnixTimeNow();
    const PublishSummary summary = Run(Signed());
    const std::int64_t after = UnixTimeNow();

    const ReleaseDocument launcher = Release("launcher-pv", {m_key});
    const ReleaseDocument client = Release("client", {m_key});
    EXPECT_EQ(launcher.kind, ReleaseKind::Launcher);
    EXPECT_EQ(client.kind, ReleaseKind::Client);
    for (const ReleaseDocument* document : {&launcher, &client}) {
        EXPECT_EQ(document->platform, "pv");
        EXPECT_EQ(document->serial, summary.releaseSerial);
        EXPECT_GE(document->published, before);
        EXPECT_LE(document->published, after);
        EXPECT_EQ(static_cast<std::int64_t>(document->serial), document->published);
        EXPECT_EQ(document->expires, document->published + 30 * kDay);
    }
    EXPECT_EQ(client.answer, "cdn_path=C1/|cdn_index=" + summary.indexName + "|web_url=http://www.example/index.html");
    EXPECT_EQ(PathsOf(launcher), LauncherFetches(Root(), "launcher-pv.txt", true));
    EXPECT_EQ(PathsOf(client), LauncherFetches(Root(), "client.txt", false));
    // 3 launcher files and its list, the settings file and the index.
    EXPECT_EQ(launcher.bodies.size(), 6u);
    EXPECT_EQ(client.bodies.size(), 6u);

    // A changed client file against the publish before: the diff manifest
    // and the object's second name join both releases.
    Client("data/maps/world.pak", "a new world");
    PublishOptions next = Signed();
    next.previousDir = Root();
    const PublishSummary changed = Run(next);
    ASSERT_FALSE(changed.diffName.empty());
    const ReleaseDocument changedClient = Release("client", {m_key});
    EXPECT_EQ(PathsOf(changedClient), LauncherFetches(Root(), "client.txt", false));
    EXPECT_EQ(PathsOf(Release("launcher-pv", {m_key})), LauncherFetches(Root(), "launcher-pv.txt", true));
    EXPECT_TRUE(changedClient.bodies.count("diff/" + changed.indexName + ".." + changed.diffName));
    const auto world = std::find_if(changedClient.bodies.begin(), changedClient.bodies.end(), [](const auto& body) {
        return body.first.starts_with("file/") && body.first.ends_with("/world.pak.lz");
    });
    EXPECT_NE(world, changedClient.bodies.end());
    EXPECT_GT(changedClient.serial, client.serial);
}

TEST_F(SignedPublishTest, SerialNeverGoesDownAndASignedFolderStaysSigned) {
    Run(Signed());
    // The last release came from a machine whose clock runs ahead.
    std::string problem;
    ReleaseDocument ahead = *ParseReleaseDocument(ReadBytes(Root() / "answers" / "client.release"), problem);
    ahead.serial = static_cast<std::uint64_t>(UnixTimeNow()) + 100000;
    testsupport::WriteBytes(Root() / "answers" / "client.release", ReleaseDocumentText(ahead));
    EXPECT_EQ(Run(Signed()).releaseSerial, ahead.serial + 1);
    EXPECT_EQ(Release("launcher-pv", {m_key}).serial, ahead.serial + 1);
    // The same content once more is a newer release still.
    EXPECT_EQ(Run(Signed()).releaseSerial, ahead.serial + 2);
    EXPECT_EQ(Release("client", {m_key}).serial, ahead.serial + 2);

    // Unsigned answers beside the last documents would be refused by every
    // launcher that trusts the key.
    const auto published = Snapshot(Root());
    PublishOptions unsigned_ = Signed();
    unsigned_.signing.keyFiles.clear();
    EXPECT_NE(ErrorOf(unsigned_).find("holds signed releases"), std::string::npos);
    EXPECT_EQ(Snapshot(Root()), published);

    // A document whose serial cannot be read is reported before any packing.
    testsupport::WriteBytes(Root() / "answers" / "client.release", "quillmoor-release 1\nkind client\n");
    Client("data/late.bin", RandomBytes(5000, 9));
    EXPECT_NE(ErrorOf(Signed()).find("client.release is no release document"), std::string::npos);
    EXPECT_EQ(m_log.str().find("late.bin"), std::string::npos) << m_log.str();
    EXPECT_EQ(ReadBytes(Root() / "answers" / "client.txt"), published.at("answers/client.txt"));
}

TEST_F(SignedPublishTest, SignRenewsTheReleaseWithEveryKeyAndPacksNothing) {
    Run(Signed());
    const ReleaseDocument launcher = Release("launcher-pv", {m_key});
    const ReleaseDocument client = Release("client", {m_key});
    const auto published = AllButReleases(Root());

    WriteNewKeyPair(m_dir.Path() / "next");
    const Ed25519Seed nextKey = ReadSigningKey(m_dir.Path() / "next" / "release.key");
    SignOptions sign;
    sign.outDir = Root();
    sign.signing.keyFiles = {KeyFile(), m_dir.Path() / "next" / "release.key"};
    sign.signing.expiresDays = 90;
    const std::int64_t later = UnixTimeNow() + 1000;
    const SignSummary summary = SignPublish(sign, later);
    EXPECT_EQ(summary.platformCode, "pv");
    EXPECT_EQ(summary.serial, static_cast<std::uint64_t>(later));
    EXPECT_EQ(summary.expires, later + 90 * kDay);
    for (const auto& [stem, before] : {std::pair{"launcher-pv", &launcher}, std::pair{"client", &client}}) {
        const ReleaseDocument renewed = Release(stem, {m_key, nextKey});
        EXPECT_EQ(renewed.bodies, before->bodies) << stem;
        EXPECT_EQ(renewed.answer, before->answer) << stem;
        EXPECT_EQ(renewed.serial, summary.serial) << stem;
        EXPECT_EQ(renewed.published, later) << stem;
        EXPECT_EQ(renewed.expires, summary.expires) << stem;
    }
    EXPECT_EQ(AllButReleases(Root()), published);
    // Signed again at the same second: still a newer release.
    EXPECT_EQ(SignPublish(sign, later).serial, summary.serial + 1);

    auto problemOf = [](const SignOptions& options) -> std::string {
        try {
            SignPublish(options, UnixTimeNow());
        } catch (const PublishError& failure) {
            return failure.what();
        }
        return "no error";
    };
    // Two launcher answers: which one is meant must be said.
    fs::copy_file(Root() / "answers" / "launcher-pv.txt", Root() / "answers" / "launcher-xy.txt");
    EXPECT_NE(problemOf(sign).find("launcher answers for pv, xy: name the one to sign with --platform"),
              std::string::npos)
        << problemOf(sign);
    sign.platformCode = "pv";
    EXPECT_EQ(problemOf(sign), "no error");
    // A body the answers lead to is gone: nothing is signed.
    const auto documents = Snapshot(Root() / "answers");
    fs::remove(LauncherView(Root(), "client.txt").Resolve(L"C1/qm.exe.lz"));
    EXPECT_NE(problemOf(sign).find("qm.exe.lz is missing"), std::string::npos) << problemOf(sign);
    EXPECT_EQ(Snapshot(Root() / "answers"), documents);
    sign.outDir = m_dir.Path() / "client";
    EXPECT_NE(problemOf(sign).find("holds no publish"), std::string::npos);
}

TEST_F(SignedPublishTest, WhatCannotBeSignedIsRefusedBeforeAnythingIsPublished) {
    // The page address is signed as it stands: only "serve" fills "{server}" in.
    PublishOptions options = Signed();
    options.webUrl = PublishOptions().webUrl;
    EXPECT_NE(ErrorOf(options).find("--web-url \"{server}/web/index.html\" holds \"{server}\""), std::string::npos)
        << ErrorOf(options);
    options = Signed();
    options.signing.keyFiles.push_back(m_dir.Path() / "keys" / "release.pub");
    EXPECT_NE(ErrorOf(options).find("not a private key"), std::string::npos) << ErrorOf(options);
    EXPECT_FALSE(fs::exists(Root()));

    // cdn_url may keep it: the launcher does not check it against the document.
    options = Signed();
    options.baseUrl = PublishOptions().baseUrl;
    Run(options);
    EXPECT_EQ(Release("client", {m_key}).answer.find("{server}"), std::string::npos);

    // An unsigned publish for "serve" cannot be signed afterwards either.
    Run(Options("plain"));
    SignOptions sign;
    sign.outDir = m_dir.Path() / "plain";
    sign.signing.keyFiles = {KeyFile()};
    try {
        SignPublish(sign, UnixTimeNow());
        ADD_FAILURE() << "signed a page address holding {server}";
    } catch (const PublishError& failure) {
        EXPECT_NE(std::string(failure.what()).find("launcher-pv.txt holds \"{server}\""), std::string::npos)
            << failure.what();
    }
    EXPECT_TRUE(ReleaseDocumentsIn(m_dir.Path() / "plain").empty());
}

}  // namespace
