#include "tools/cdn/publish/manifest.h"

#include "codec/md5_functions.h"
#include "codec/path_key.h"
#include "tools/cdn/publish/publish_error.h"

#include <gtest/gtest.h>

namespace {

ContentId IdOf(unsigned char fill) {
    ContentId id{};
    id.fill(fill);
    return id;
}

TEST(ManifestTest, RecordsAreKeyThenIdSortedByKey) {
    const std::string bytes = ManifestBytes({{L"launcher/L1", IdOf(1)}, {L".", IdOf(2)}, {L"C1/data", IdOf(3)}});
    ASSERT_EQ(bytes.size(), 3 * kManifestRecordSize);
    std::map<std::string, ContentId> expected = {
        {PathKey(L"launcher/L1"), IdOf(1)}, {PathKey(L"."), IdOf(2)}, {PathKey(L"C1/data"), IdOf(3)}};
    auto want = expected.begin();
    for (std::size_t offset = 0; offset < bytes.size(); offset += kManifestRecordSize, ++want) {
        const auto* record = reinterpret_cast<const unsigned char*>(bytes.data() + offset);
        EXPECT_EQ(HexEncode(record, 5), want->first);
        EXPECT_TRUE(std::equal(record + 5, record + kManifestRecordSize, want->second.begin()));
    }
}

TEST(ManifestTest, SameInputSameBytesWhateverTheOrder) {
    EXPECT_EQ(ManifestBytes({{L"a", IdOf(1)}, {L"b", IdOf(2)}}), ManifestBytes({{L"b", IdOf(2)}, {L"a", IdOf(1)}}));
}

// These two paths share the first 5 bytes of their SHA-1 (5b33809889).
TEST(ManifestTest, PathsSharingAKeyAreRefused) {
    ASSERT_EQ(PathKey(L"d700051"), PathKey(L"d2876415"));
    EXPECT_THROW(ManifestBytes({{L"d700051", IdOf(1)}, {L"d2876415", IdOf(2)}}), PublishError);
}

TEST(ManifestTest, ParseReadsRecordsLaterWinning) {
    const std::string first = ManifestBytes({{L"a", IdOf(1)}});
    const std::string second = ManifestBytes({{L"a", IdOf(2)}});
    const auto records = ParseManifest(first + second);
    ASSERT_TRUE(records);
    ASSERT_EQ(records->size(), 1u);
    EXPECT_EQ(records->at(PathKey(L"a")), IdOf(2));
}

TEST(ManifestTest, ParseRefusesAPartialRecord) {
    EXPECT_FALSE(ParseManifest(ManifestBytes({{L"a", IdOf(1)}, {L"b", IdOf(2)}}) + "x"));
    EXPECT_TRUE(ParseManifest(""));
}

}  // namespace
