#include "wire/release_document.h"

#include "wire/release_keys.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

ReleaseDocument SomeDocument() {
    ReleaseDocument document;
    document.kind = ReleaseKind::Launcher;
    document.platform = "pv";
    document.serial = 1765170000;
    document.published = 1765170000;
    document.expires = 1767762000;
    document.answer = "cdn_path=L1/|cdn_index=abc|web_url=https://h/w";
    document.bodies["index/abc"] = {25, Sha256Of("index")};
    document.bodies["tree/00ff/世界 1.pak.lz"] = {5368709120ULL, Sha256Of("pak")};
    return document;
}

}  // namespace

TEST(ReleaseDocument, ReadsBackWhatItWritesAndNothingElse) {
    const std::string text = ReleaseDocumentText(SomeDocument());
    std::string problem;
    const auto read = ParseReleaseDocument(text, problem);
    ASSERT_TRUE(read) << problem;
    EXPECT_EQ(*read, SomeDocument());

    const std::vector<std::string> refused = {
        "",
        text.substr(0, text.size() - 1),                           // no last line end
        text.substr(0, text.find("answer")),                       // cut before the answer
        "quillmoor-release 2" + text.substr(text.find('\n')),      // another version
        text + "body " + std::string(64, 'a') + " 1 index/abc\n",  // a path twice
        text + "body " + std::string(64, 'A') + " 1 zz\n",         // uppercase digest
        text + "body " + std::string(64, 'a') + " -1 zz\n",
        text + "body " + std::string(64, 'a') + " 01 zz\n",
        text + "body " + std::string(64, 'a') + " 1\n",
        text + "note x\n",
        [&] {
            // The writer refuses an empty platform code, so the reader does too.
            std::string blank = text;
            blank.replace(blank.find("platform pv"), 11, "platform ");
            return blank;
        }(),
        [&] {
            std::string swapped = text;
            swapped.replace(swapped.find("kind launcher"), 13, "kind launcheR");
            return swapped;
        }(),
    };
    for (const std::string& bad : refused) {
        std::string why;
        EXPECT_FALSE(ParseReleaseDocument(bad, why)) << bad;
        EXPECT_FALSE(why.empty());
    }
}

TEST(ReleaseDocument, TheAnswerIsNamedWithoutItsCdnUrl) {
    EXPECT_EQ(AnswerWithoutCdnUrl("cdn_url=http://a:1/cdn/|cdn_path=C1/|cdn_index=x|web_url=http://a:1/w"),
              "cdn_path=C1/|cdn_index=x|web_url=http://a:1/w");
    // Split as the launcher splits: the sixth field is never read.
    EXPECT_EQ(AnswerWithoutCdnUrl("a=1|b=2|cdn_url=u|c=3|d=4|e=5"), "a=1|b=2|c=3|d=4");
}

TEST(ReleaseKeys, KeyAndSignatureFilesReadBack) {
    const auto seed = NewEd25519Seed();
    ASSERT_TRUE(seed);
    EXPECT_EQ(ParsePrivateKey(PrivateKeyText(*seed)), seed);
    EXPECT_FALSE(ParsePrivateKey(PublicKeyLine(Ed25519PublicKeyOf(*seed))));

    const Ed25519PublicKey key = Ed25519PublicKeyOf(*seed);
    const auto keys = ParsePublicKeys("# studio key 2026\n\n" + PublicKeyLine(key) + PublicKeyLine(key));
    ASSERT_TRUE(keys);
    EXPECT_EQ(*keys, (std::vector<Ed25519PublicKey>{key, key}));
    EXPECT_FALSE(ParsePublicKeys("ed25519 1234\n"));

    const ReleaseSignature signature{key, Ed25519Sign(*seed, "doc")};
    const auto signatures = ParseReleaseSignatures(ReleaseSignaturesText({signature, signature}));
    ASSERT_TRUE(signatures);
    ASSERT_EQ(signatures->size(), 2u);
    EXPECT_EQ((*signatures)[1].signature, signature.signature);
    EXPECT_FALSE(ParseReleaseSignatures(""));
    EXPECT_FALSE(ParseReleaseSignatures(ReleaseSignaturesText({signature}).substr(1)));
    EXPECT_FALSE(ParseReleaseSignatures(std::string(kMaxReleaseSignatureBytes + 1, '\n')));
    std::string crlf = ReleaseSignaturesText({signature});
    crlf.insert(crlf.size() - 1, "\r");
    EXPECT_FALSE(ParseReleaseSignatures(crlf));
}
