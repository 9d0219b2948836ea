#include "tools/cdn/publish/pack_records.h"

#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

namespace fs = std::filesystem;

namespace {

SourceDigest Digest(unsigned char fill) {
    SourceDigest digest;
    digest.fill(fill);
    return digest;
}

ContentId Id(unsigned char fill) {
    ContentId id;
    id.fill(fill);
    return id;
}

TEST(PackRecordsTest, SavedRecordsComeBackWithTheirPlacesWhateverTheNames) {
    testsupport::TempDir dir;
    PackRecords saved;
    saved.Load(dir.Path());
    EXPECT_TRUE(saved.Empty());
    const fs::path odd = "tree/ab/name with spaces\nand a line.lz";
    saved.Add(Digest(1), "lzma-x", Id(2), odd);
    saved.Add(Digest(3), "zlib-y", Id(4), "tree/cd/other.z");
    saved.Save(dir.Path());

    PackRecords loaded;
    loaded.Load(dir.Path());
    const std::vector<PackRecords::Object> found = loaded.Find(Digest(1), "lzma-x");
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0].file, dir.Path() / odd);
    EXPECT_EQ(found[0].id, Id(2));
    // The packer's settings are part of the match.
    EXPECT_TRUE(loaded.Find(Digest(1), "lzma-z").empty());
    EXPECT_TRUE(loaded.Find(Digest(3), "lzma-x").empty());

    // A later save keeps what was loaded from the folder.
    loaded.Add(Digest(5), "lzma-x", Id(6), "tree/ef/new.lz");
    loaded.Save(dir.Path());
    PackRecords again;
    again.Load(dir.Path());
    EXPECT_EQ(again.Find(Digest(3), "zlib-y").size(), 1u);
    EXPECT_EQ(again.Find(Digest(5), "lzma-x").size(), 1u);
}

TEST(PackRecordsTest, DamagedLinesAndPlacesOutsideTheFolderAreIgnored) {
    testsupport::TempDir dir;
    const std::string digest(64, 'a');
    const std::string id(40, 'b');
    const std::string inside = "747265652f782e6c7a";                                        // tree/x.lz
    const std::string outside = "2e2e2f7365637265742e6c7a";                                 // ../secret.lz
    dir.Write("packing/sources", digest + " p " + id + " " + inside + "\n" +                //
                                     digest + " q " + id + " " + outside + "\n" +           //
                                     digest + " r " + id.substr(2) + " " + inside + "\n" +  //
                                     digest + " s " + id + "\n" +                           //
                                     digest.substr(1) + " t " + id + " " + inside + "\n");
    PackRecords records;
    records.Load(dir.Path());
    SourceDigest source;
    source.fill(0xaa);
    ASSERT_EQ(records.Find(source, "p").size(), 1u);
    EXPECT_EQ(records.Find(source, "p")[0].file, dir.Path() / "tree/x.lz");
    for (const char* packer : {"q", "r", "s", "t"}) {
        EXPECT_TRUE(records.Find(source, packer).empty()) << packer;
    }
}

}  // namespace
