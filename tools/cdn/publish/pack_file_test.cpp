#include "tools/cdn/publish/pack_file.h"

#include "codec/inflate_file.h"
#include "codec/lzma_decode_file.h"
#include "codec/md5_functions.h"
#include "platform/crt.h"
#include "platform/text.h"
#include "tests/support/system_files.h"
#include "tests/support/temp_dir.h"
#include "tools/cdn/publish/publish_error.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <optional>
#include <set>

namespace {

using testsupport::RandomBytes;
using testsupport::ReadBytes;

// Half repetitive, half random, and larger than every buffer involved.
std::string MixedBytes() {
    std::string bytes;
    for (int line = 0; bytes.size() < 300000; ++line) {
        bytes += "entry " + std::to_string(line % 311) + "\n";
    }
    return bytes + RandomBytes(200000, 7);
}

class PackFileTest : public ::testing::Test {
protected:
    void SetUp() override { LoadMd5Functions(); }

    std::filesystem::path Source(const std::string& bytes) { return m_dir.Write("source.bin", bytes); }

    testsupport::TempDir m_dir;
    std::filesystem::path m_packed = m_dir.Path() / "packed";
    std::filesystem::path m_unpacked = m_dir.Path() / "unpacked";
};

// A reused object stands for the digests that a fresh pack would report.
TEST_F(PackFileTest, DigestingAloneReportsWhatPackingReports) {
    const std::string bytes = MixedBytes();
    for (Packing packing : {Packing::Stored, Packing::Zlib, Packing::Lzma}) {
        const PackedFile packed = PackFile(Source(bytes), m_packed, packing);
        const PackedFile digested = DigestSource(Source(bytes));
        EXPECT_EQ(digested.size, packed.size);
        EXPECT_EQ(digested.md5, packed.md5);
        EXPECT_EQ(digested.source, packed.source);
    }
    std::string other = bytes;
    other[other.size() / 2] ^= 1;
    EXPECT_NE(DigestSource(Source(other)).source, DigestSource(Source(bytes)).source);
    const std::set<std::string> names = {PackerSettings(Packing::Stored), PackerSettings(Packing::Zlib),
                                         PackerSettings(Packing::Lzma)};
    EXPECT_EQ(names.size(), 3u);
    for (const std::string& name : names) {
        // One word: the packing records separate their fields with blanks.
        EXPECT_EQ(name.find_first_of(" \t\n"), std::string::npos) << name;
    }
}

TEST_F(PackFileTest, ZlibStreamInflatesToTheSource) {
    for (const std::string& content : {std::string(), std::string("abc"), MixedBytes()}) {
        const PackedFile packed = PackFile(Source(content), m_packed, Packing::Zlib);
        FILE* source = platform::OpenCFile(m_packed, "rb");
        FILE* target = platform::OpenCFile(m_unpacked, "wb");
        ASSERT_TRUE(source && target);
        EXPECT_EQ(InflateFile(source, target), 0);
        std::fclose(source);
        std::fclose(target);
        EXPECT_EQ(ReadBytes(m_unpacked), content);
        EXPECT_EQ(packed.size, content.size());
    }
}

TEST_F(PackFileTest, LzmaAloneDecodesToTheSourceWithTheKnownSize) {
    for (const std::string& content : {std::string(), std::string("abc"), MixedBytes()}) {
        PackFile(Source(content), m_packed, Packing::Lzma);
        const std::string packed = ReadBytes(m_packed);
        ASSERT_GE(packed.size(), 13u);
        std::uint64_t announced = 0;
        for (int i = 7; i >= 0; --i) {
            announced = (announced << 8) | static_cast<unsigned char>(packed[5 + i]);
        }
        EXPECT_EQ(announced, content.size());
        EXPECT_EQ(LzmaDecodeFile(m_packed.wstring(), m_unpacked.wstring()), 0);
        EXPECT_EQ(ReadBytes(m_unpacked), content);
    }
}

TEST_F(PackFileTest, SmallFilesGetASmallDictionary) {
    PackFile(Source("abc"), m_packed, Packing::Lzma);
    const std::string packed = ReadBytes(m_packed);
    std::uint32_t dictionary = 0;
    for (int i = 3; i >= 0; --i) {
        dictionary = (dictionary << 8) | static_cast<unsigned char>(packed[1 + i]);
    }
    // The SDK's smallest step, instead of the 16 MiB used for large files.
    EXPECT_LE(dictionary, 1u << 16);
}

TEST_F(PackFileTest, StoredCopiesBytesAndIdIsSha1OfWhatWasWritten) {
    const std::string content = MixedBytes();
    const PackedFile stored = PackFile(Source(content), m_packed, Packing::Stored);
    EXPECT_EQ(ReadBytes(m_packed), content);
    EXPECT_EQ(stored.id, Sha1Of(content));
    const PackedFile zlib = PackFile(Source(content), m_packed, Packing::Zlib);
    EXPECT_EQ(zlib.id, Sha1Of(ReadBytes(m_packed)));
}

TEST_F(PackFileTest, Md5TextIsTheLaunchersForm) {
    const PackedFile packed = PackFile(Source("abc"), m_packed, Packing::Lzma);
    EXPECT_EQ(Md5ListText(packed.md5), "3cd24fb0d6963f7d");
    const std::filesystem::path mixed = Source(MixedBytes());
    const PackedFile large = PackFile(mixed, m_packed, Packing::Zlib);
    EXPECT_EQ(platform::FromUtf8(Md5ListText(large.md5)), Md5TextOfFile(mixed.wstring()));
}

TEST_F(PackFileTest, MissingSourceIsAnErrorNamingIt) {
    try {
        PackFile(m_dir.Path() / "missing.bin", m_packed, Packing::Zlib);
        ADD_FAILURE() << "no error";
    } catch (const PublishError& error) {
        EXPECT_NE(std::string(error.what()).find("missing.bin"), std::string::npos);
    }
}

TEST_F(PackFileTest, UnreadableSourceIsAnError) {
    const std::filesystem::path locked = Source("secret");
    std::filesystem::permissions(locked, std::filesystem::perms::none);
    if (std::FILE* probe = std::fopen(locked.string().c_str(), "rb")) {
        std::fclose(probe);
        GTEST_SKIP() << "running with rights that read any file";
    }
    EXPECT_THROW(PackFile(locked, m_packed, Packing::Lzma), PublishError);
}

// Opens fine, then fails on the first read.
TEST_F(PackFileTest, ReadFailureIsAnError) {
    EXPECT_THROW(PackFile(m_dir.Path(), m_packed, Packing::Zlib), PublishError);
}

// The LZMA header announces the size found at opening; content that does not
// match it must not be published with a wrong header.
TEST_F(PackFileTest, SourceWhoseContentDisagreesWithItsSizeIsRefused) {
    if (!std::filesystem::exists("/proc/self/status")) {
        GTEST_SKIP() << "no /proc";
    }
    EXPECT_THROW(PackFile("/proc/self/status", m_packed, Packing::Lzma), PublishError);
}

TEST_F(PackFileTest, TargetThatCannotTakeTheDataIsAnError) {
    const std::optional<std::filesystem::path> full = testsupport::FullDevice();
    if (!full) {
        GTEST_SKIP() << "no device that refuses writes";
    }
    EXPECT_THROW(PackFile(Source(MixedBytes()), *full, Packing::Lzma), PublishError);
    EXPECT_THROW(PackFile(Source("abc"), *full, Packing::Stored), PublishError);
}

}  // namespace
