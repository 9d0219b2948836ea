#include "codec/lzma_decode_file.h"

#include "codec/unpack_test_support.h"
#include "tests/support/system_files.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include "LzmaEnc.h"

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <limits>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace {

using testsupport::OpenFileCount;
using testsupport::RandomBytes;
using testsupport::TempDir;

void* SdkAlloc(void*, std::size_t size) {
    return std::malloc(size);
}
void SdkFree(void*, void* address) {
    std::free(address);
}
ISzAlloc g_alloc = {SdkAlloc, SdkFree};

struct EncoderDestroy {
    void operator()(void* encoder) const { LzmaEnc_Destroy(encoder, &g_alloc, &g_alloc); }
};

enum class Size { Known, Unknown };
enum class EndMark { Without, With };

// Packs data in the alone layout: 5 property bytes, 8-byte little-endian
// size (all bits set when unknown), then the stream.
std::string PackAlone(const std::string& data, Size size, EndMark mark) {
    std::unique_ptr<void, EncoderDestroy> encoder(LzmaEnc_Create(&g_alloc));
    CLzmaEncProps props;
    LzmaEncProps_Init(&props);
    props.level = 1;  // fast: the tests are about decoding
    props.dictSize = 1 << 20;
    EXPECT_EQ(LzmaEnc_SetProps(encoder.get(), &props), SZ_OK);

    std::string packed(LZMA_PROPS_SIZE + 8 + data.size() + data.size() / 2 + 1024, '\0');
    auto* bytes = reinterpret_cast<Byte*>(packed.data());
    SizeT propsSize = LZMA_PROPS_SIZE;
    EXPECT_EQ(LzmaEnc_WriteProperties(encoder.get(), bytes, &propsSize), SZ_OK);
    const std::uint64_t sizeField = size == Size::Known ? data.size() : ~std::uint64_t{0};
    for (int i = 0; i < 8; ++i) {
        bytes[LZMA_PROPS_SIZE + i] = static_cast<Byte>(sizeField >> (8 * i));
    }
    SizeT streamSize = packed.size() - LZMA_PROPS_SIZE - 8;
    EXPECT_EQ(LzmaEnc_MemEncode(encoder.get(), bytes + LZMA_PROPS_SIZE + 8, &streamSize,
                                reinterpret_cast<const Byte*>(data.data()), data.size(), mark == EndMark::With, nullptr,
                                &g_alloc, &g_alloc),
              SZ_OK);
    packed.resize(LZMA_PROPS_SIZE + 8 + streamSize);
    return packed;
}

class LzmaDecodeFileTest : public testing::Test {
protected:
    int Decode(const std::string& packed, const LzmaProgressCallback& progress = {},
               const WrittenBlockObserver& written = {}) {
        m_dir.Write("in.lz", packed);
        return LzmaDecodeFile(m_dir.WidePath("in.lz"), m_dir.WidePath("out.bin"), progress,
                              std::numeric_limits<std::uint64_t>::max(), written);
    }

    TempDir m_dir;
};

TEST_F(LzmaDecodeFileTest, RoundTripsEveryLayoutWithFullProgress) {
    const std::string random = RandomBytes(300'000);
    const std::string text = CompressibleBytes(1'000'003);
    const struct {
        Size size;
        EndMark mark;
    } layouts[] = {{Size::Known, EndMark::Without}, {Size::Unknown, EndMark::With}, {Size::Known, EndMark::With}};
    for (const std::string* data : {&random, &text}) {
        for (const auto& layout : layouts) {
            SCOPED_TRACE(testing::Message() << data->size() << " bytes, size known " << (layout.size == Size::Known)
                                            << ", end mark " << (layout.mark == EndMark::With));
            std::vector<std::uint32_t> rounds;
            // The blocks seen on the way are the file, byte for byte.
            std::string seen;
            EXPECT_EQ(Decode(
                          PackAlone(*data, layout.size, layout.mark), [&](std::uint32_t n) { rounds.push_back(n); },
                          [&](const unsigned char* pbyData, std::size_t cbData) {
                              EXPECT_NE(cbData, 0u);
                              seen.append(reinterpret_cast<const char*>(pbyData), cbData);
                          }),
                      0);
            EXPECT_EQ(m_dir.Read("out.bin"), *data);
            EXPECT_TRUE(seen == *data);
            std::uint64_t total = 0;
            for (std::uint32_t n : rounds) {
                EXPECT_LE(n, 65536u);
                total += n;
            }
            EXPECT_EQ(total, data->size());
        }
    }
}

TEST_F(LzmaDecodeFileTest, KnownSizeZeroGivesEmptyFileAndOneEmptyRound) {
    std::vector<std::uint32_t> rounds;
    EXPECT_EQ(Decode(PackAlone("", Size::Known, EndMark::Without), [&](std::uint32_t n) { rounds.push_back(n); }), 0);
    EXPECT_EQ(std::filesystem::file_size(m_dir.Path("out.bin")), 0u);
    EXPECT_EQ(rounds, std::vector<std::uint32_t>{0});
}

TEST_F(LzmaDecodeFileTest, StreamsThatEndWrongAreDataErrors) {
    const std::string data = CompressibleBytes(500'000);
    EXPECT_EQ(Decode(PackAlone(data, Size::Unknown, EndMark::Without)), SZ_ERROR_DATA) << "no end marker";

    const std::string known = PackAlone(data, Size::Known, EndMark::Without);
    EXPECT_EQ(Decode(known.substr(0, known.size() / 2)), SZ_ERROR_DATA) << "cut off, size known";

    const std::string marked = PackAlone(data, Size::Unknown, EndMark::With);
    EXPECT_EQ(Decode(marked.substr(0, marked.size() - 1)), SZ_ERROR_DATA) << "cut off before the marker";

    std::string corrupt = known;
    corrupt[LZMA_PROPS_SIZE + 8] = '\x7f';  // a range coder stream starts with 0
    EXPECT_EQ(Decode(corrupt), SZ_ERROR_DATA) << "corrupt";
}

TEST_F(LzmaDecodeFileTest, BadHeadersAreRefused) {
    const std::string packed = PackAlone("abc", Size::Known, EndMark::Without);
    EXPECT_EQ(Decode(packed.substr(0, 12)), SZ_ERROR_INPUT_EOF);
    EXPECT_EQ(Decode(""), SZ_ERROR_INPUT_EOF);

    std::string unsupported = packed;
    unsupported[0] = static_cast<char>(9 * 5 * 5);  // lc/lp/pb beyond their ranges
    EXPECT_EQ(Decode(unsupported), SZ_ERROR_UNSUPPORTED);

    // A 4 GiB dictionary is refused before anything is allocated or written.
    EXPECT_EQ(Decode(std::string("\x5d\xff\xff\xff\xff\x00\x10\x00\x00\x00\x00\x00\x00", 13)), SZ_ERROR_UNSUPPORTED);
    EXPECT_EQ(std::filesystem::file_size(m_dir.Path("out.bin")), 0u);
    std::string justAbove = packed;
    justAbove.replace(1, 4, std::string("\x01\x00\x00\x04", 4));  // 64 MiB + 1
    EXPECT_EQ(Decode(justAbove), SZ_ERROR_UNSUPPORTED);
    std::string atTheCap = packed;
    atTheCap.replace(1, 4, std::string("\x00\x00\x00\x04", 4));  // 64 MiB
    EXPECT_EQ(Decode(atTheCap), SZ_OK);
    EXPECT_EQ(m_dir.Read("out.bin"), "abc");
}

TEST_F(LzmaDecodeFileTest, DecoderMemoryIsTheHeadersDictionaryAndTables) {
    // lc 3, lp 0: the base models and eight literal tables of 2-byte probabilities.
    constexpr std::uint64_t kTables = (1846 + (0x300 << 3)) * 2;
    m_dir.Write("in.lz", PackAlone("abc", Size::Known, EndMark::Without));
    EXPECT_EQ(LzmaDecoderMemory(m_dir.WidePath("in.lz")), (std::uint64_t{1} << 20) + kTables);
    m_dir.Write("big.lz", std::string("\x5d\x00\x00\x00\x04\x00\x10\x00\x00\x00\x00\x00\x00", 13));
    EXPECT_EQ(LzmaDecoderMemory(m_dir.WidePath("big.lz")), (std::uint64_t{64} << 20) + kTables);
    // lc 0, lp 4 is valid too: sixteen tables.
    m_dir.Write("lp.lz", std::string("\x24\x00\x00\x10\x00", 5));
    EXPECT_EQ(LzmaDecoderMemory(m_dir.WidePath("lp.lz")), (std::uint64_t{1} << 20) + (1846 + (0x300 << 4)) * 2);
    // What the decoder refuses holds nothing.
    m_dir.Write("refused.lz", std::string("\x5d\xff\xff\xff\xff\x00\x10\x00\x00\x00\x00\x00\x00", 13));
    EXPECT_EQ(LzmaDecoderMemory(m_dir.WidePath("refused.lz")), 0u);
    m_dir.Write("short.lz", "\x5d\x00");
    EXPECT_EQ(LzmaDecoderMemory(m_dir.WidePath("short.lz")), 0u);
    EXPECT_EQ(LzmaDecoderMemory(m_dir.WidePath("missing.lz")), 0u);
}

TEST_F(LzmaDecodeFileTest, OutputIsBoundByTheListedSize) {
    // 4 MiB of zeros pack to a few hundred bytes.
    const std::string zeros(4 << 20, '\0');
    m_dir.Write("in.lz", PackAlone(zeros, Size::Unknown, EndMark::With));
    EXPECT_EQ(LzmaDecodeFile(m_dir.WidePath("in.lz"), m_dir.WidePath("out.bin"), {}, 100'000), SZ_ERROR_DATA);
    EXPECT_LE(std::filesystem::file_size(m_dir.Path("out.bin")), 100'000u);
    EXPECT_EQ(LzmaDecodeFile(m_dir.WidePath("in.lz"), m_dir.WidePath("out.bin"), {}, zeros.size()), SZ_OK);
    EXPECT_EQ(std::filesystem::file_size(m_dir.Path("out.bin")), zeros.size());

    // A known size must be the listed one; nothing is decoded otherwise.
    m_dir.Write("in.lz", PackAlone(zeros, Size::Known, EndMark::Without));
    std::vector<std::uint32_t> rounds;
    const auto count = [&](std::uint32_t n) { rounds.push_back(n); };
    EXPECT_EQ(LzmaDecodeFile(m_dir.WidePath("in.lz"), m_dir.WidePath("out.bin"), count, 1000), SZ_ERROR_DATA);
    EXPECT_EQ(LzmaDecodeFile(m_dir.WidePath("in.lz"), m_dir.WidePath("out.bin"), count, zeros.size() + 1),
              SZ_ERROR_DATA);
    EXPECT_TRUE(rounds.empty());
    EXPECT_EQ(LzmaDecodeFile(m_dir.WidePath("in.lz"), m_dir.WidePath("out.bin"), {}, zeros.size()), SZ_OK);
    EXPECT_EQ(m_dir.Read("out.bin"), zeros);
}

TEST_F(LzmaDecodeFileTest, MissingSourceLeavesTargetUntouched) {
    m_dir.Write("out.bin", "previous content");
    EXPECT_EQ(LzmaDecodeFile(m_dir.WidePath("missing.lz"), m_dir.WidePath("out.bin")), -1);
    EXPECT_EQ(m_dir.Read("out.bin"), "previous content");
}

TEST_F(LzmaDecodeFileTest, TargetThatCannotBeOpenedIsAnError) {
    m_dir.Write("in.lz", PackAlone("abc", Size::Known, EndMark::Without));
    EXPECT_EQ(LzmaDecodeFile(m_dir.WidePath("in.lz"), m_dir.WidePath("no-such-folder/out.bin")), -1);
}

// The full device refuses every byte: large output fails in fwrite itself,
// small output only when the buffered rest is written on close.
TEST_F(LzmaDecodeFileTest, TargetThatCannotTakeTheDataIsAWriteError) {
    const std::optional<std::filesystem::path> full = testsupport::FullDevice();
    if (!full) {
        GTEST_SKIP() << "no device that refuses writes";
    }
    const std::wstring target = full->wstring();
    for (std::size_t size : {std::size_t{100}, std::size_t{300'000}}) {
        SCOPED_TRACE(size);
        m_dir.Write("in.lz", PackAlone(RandomBytes(size), Size::Known, EndMark::Without));
        EXPECT_EQ(LzmaDecodeFile(m_dir.WidePath("in.lz"), target), SZ_ERROR_WRITE);
    }
}

// A thread stopped while decoding unwinds at its next stop point: the round
// in progress is the last one written, and both files are closed.
TEST_F(LzmaDecodeFileTest, StoppedThreadWritesNothingFurtherAndClosesItsFiles) {
    const std::string data = CompressibleBytes(1'000'000);
    m_dir.Write("in.lz", PackAlone(data, Size::Known, EndMark::Without));
    const std::optional<std::size_t> filesBefore = OpenFileCount();

    std::atomic<int> rounds{0};
    std::atomic<std::uint32_t> firstRound{0};
    std::atomic<bool> stopAsked{false};
    std::atomic<bool> returned{false};
    std::function<void()> body = [&] {
        LzmaDecodeFile(m_dir.WidePath("in.lz"), m_dir.WidePath("out.bin"), [&](std::uint32_t n) {
            if (++rounds == 1) {
                firstRound = n;
                while (!stopAsked) {
                    std::this_thread::yield();
                }
            }
        });
        returned = true;
    };
    HANDLE thread = StartPlatformThread(body);
    ASSERT_NE(thread, nullptr);
    while (rounds == 0) {
        std::this_thread::yield();
    }
    EXPECT_TRUE(TerminateThread(thread, 7));
    stopAsked = true;
    ASSERT_EQ(WaitForSingleObject(thread, INFINITE), WAIT_OBJECT_0);
    DWORD exitCode = 0;
    EXPECT_TRUE(GetExitCodeThread(thread, &exitCode));
    EXPECT_EQ(exitCode, 7u);
    CloseHandle(thread);

    EXPECT_FALSE(returned);
    EXPECT_EQ(rounds, 1);
    EXPECT_GT(firstRound, 0u);
    EXPECT_EQ(m_dir.Read("out.bin"), data.substr(0, firstRound));
    if (!filesBefore)
        GTEST_SKIP() << "the system cannot count open files";
    EXPECT_EQ(OpenFileCount(), filesBefore);
}

}  // namespace
