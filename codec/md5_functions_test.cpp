#include "codec/md5_functions.h"

#include "tests/support/system_files.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

using testsupport::NullDevice;
using testsupport::RandomBytes;
using testsupport::TempDir;

std::wstring HexOf(const std::string& bytes) {
    wchar_t szDigest[32];
    EXPECT_TRUE(Md5Hex(bytes.data(), bytes.size(), szDigest));
    return std::wstring(szDigest, 32);
}

std::wstring HexOfFile(const std::wstring& path) {
    wchar_t szDigest[32];
    EXPECT_TRUE(Md5HexOfFile(path, szDigest));
    return std::wstring(szDigest, 32);
}

class Md5Test : public testing::Test {
protected:
    static void SetUpTestSuite() { ASSERT_TRUE(LoadMd5Functions()); }
};

TEST_F(Md5Test, KnownDigestsAndTheirListForm) {
    EXPECT_EQ(HexOf("abc"), L"900150983cd24fb0d6963f7d28e17f72");
    EXPECT_EQ(HexOf(""), L"d41d8cd98f00b204e9800998ecf8427e");

    wchar_t szDigest[32];
    ASSERT_TRUE(Md5Hex("abc", 3, szDigest));
    EXPECT_EQ(Md5Text(szDigest), L"3cd24fb0d6963f7d");
}

// The file digest is streamed in 64 KiB chunks; sizes around the chunk
// boundaries must give exactly the digest of the whole buffer.
TEST_F(Md5Test, FileDigestEqualsBufferDigestAroundChunkBoundaries) {
    constexpr std::size_t kChunk = 64 * 1024;
    TempDir dir;
    for (std::size_t size : {std::size_t{0}, std::size_t{1}, kChunk - 1, kChunk, kChunk + 1, 3 * kChunk + 17}) {
        SCOPED_TRACE(size);
        const std::string bytes = RandomBytes(size, static_cast<unsigned>(size));
        dir.Write("file.bin", bytes);
        const std::wstring expected = HexOf(bytes);
        EXPECT_EQ(HexOfFile(dir.WidePath("file.bin")), expected);
        EXPECT_EQ(Md5TextOfFile(dir.WidePath("file.bin")), expected.substr(8, 16));
        // Fed in uneven pieces, as an unpacker writes them.
        Md5Stream stream;
        for (std::size_t at = 0, piece = 1; at < bytes.size(); at += piece, piece = piece * 3 + 1)
            stream.Update(bytes.data() + at, std::min(piece, bytes.size() - at));
        EXPECT_EQ(stream.FinalText(), expected.substr(8, 16));
    }
}

TEST_F(Md5Test, UnreadableFileGivesNoDigest) {
    TempDir dir;
    for (const std::wstring& path : {dir.WidePath("missing.bin"), dir.WidePath("")}) {
        wchar_t szDigest[32];
        std::fill_n(szDigest, 32, L'x');
        EXPECT_FALSE(Md5HexOfFile(path, szDigest));
        EXPECT_EQ(std::wstring(szDigest, 32), std::wstring(32, L'\0'));
        EXPECT_EQ(Md5Text(szDigest), L"");
        EXPECT_EQ(Md5TextOfFile(path), L"");
    }
}

TEST(HexEncodeTest, LowercaseHighNibbleFirst) {
    const unsigned char bytes[] = {0x00, 0xAB, 0xFF};
    EXPECT_EQ(HexEncode(bytes, 3), "00abff");
    EXPECT_EQ(HexEncode(bytes, 0), "");
}

// Runs in a fresh process (threadsafe style re-executes this test alone),
// where the MD5 functions were never loaded. The child ends without
// unwinding, so the readable file is one that needs no cleaning up.
TEST(Md5WithoutFunctionsDeathTest, EveryDigestFailsWithEmptyText) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    const std::wstring readable = NullDevice().wstring();
    ASSERT_TRUE(std::filesystem::exists(readable));
    EXPECT_EXIT(
        {
            wchar_t szDigest[32];
            std::fill_n(szDigest, 32, L'x');
            const bool computed = Md5Hex("abc", 3, szDigest);
            const bool empty = Md5Text(szDigest).empty() && Md5TextOfFile(readable).empty();
            std::exit(!computed && empty ? 0 : 1);
        },
        testing::ExitedWithCode(0), "");
}

}  // namespace
