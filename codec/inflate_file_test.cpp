#include "codec/inflate_file.h"

#include "codec/unpack_test_support.h"
#include "platform/crt.h"
#include "tests/support/system_files.h"
#include "tests/support/temp_dir.h"
#include "tests/support/wine.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <atomic>
#include <cstdio>
#include <filesystem>
#include <limits>
#include <memory>
#include <optional>
#include <string>
#include <thread>

namespace {

using testsupport::RandomBytes;
using testsupport::TempDir;

struct FileClose {
    void operator()(FILE* file) const { std::fclose(file); }
};
using FileHandle = std::unique_ptr<FILE, FileClose>;

// windowBits as deflateInit2 takes them: 15 zlib, -15 raw deflate, 31 gzip.
std::string Deflate(const std::string& data, int windowBits, const std::string& dictionary = {}) {
    z_stream stream{};
    EXPECT_EQ(deflateInit2(&stream, Z_DEFAULT_COMPRESSION, Z_DEFLATED, windowBits, 8, Z_DEFAULT_STRATEGY), Z_OK);
    if (!dictionary.empty()) {
        EXPECT_EQ(deflateSetDictionary(&stream, reinterpret_cast<const Bytef*>(dictionary.data()),
                                       static_cast<uInt>(dictionary.size())),
                  Z_OK);
    }
    std::string packed(deflateBound(&stream, data.size()), '\0');
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
    stream.avail_in = static_cast<uInt>(data.size());
    stream.next_out = reinterpret_cast<Bytef*>(packed.data());
    stream.avail_out = static_cast<uInt>(packed.size());
    EXPECT_EQ(deflate(&stream, Z_FINISH), Z_STREAM_END);
    packed.resize(stream.total_out);
    deflateEnd(&stream);
    return packed;
}

class InflateFileTest : public testing::Test {
protected:
    // Inflates the given ".z" content into "out.bin"; the target is closed
    // afterwards so that Read sees everything.
    int InflateBytes(const std::string& packed, const WrittenBlockObserver& written = {}) {
        m_dir.Write("in.z", packed);
        FileHandle source(_wfopen(m_dir.WidePath("in.z").c_str(), L"rb"));
        FileHandle target(_wfopen(m_dir.WidePath("out.bin").c_str(), L"wb+"));
        return InflateFile(source.get(), target.get(), std::numeric_limits<std::uint64_t>::max(), written);
    }

    TempDir m_dir;
};

TEST_F(InflateFileTest, RoundTripsAcrossManyChunks) {
    const std::string random = RandomBytes(100'000);
    const std::string text = CompressibleBytes(1'000'003);
    for (const std::string* data : {&random, &text}) {
        // The blocks seen on the way are the file, byte for byte.
        std::string seen;
        EXPECT_EQ(InflateBytes(Deflate(*data, 15),
                               [&](const unsigned char* pbyData, std::size_t cbData) {
                                   EXPECT_NE(cbData, 0u);
                                   seen.append(reinterpret_cast<const char*>(pbyData), cbData);
                               }),
                  0);
        EXPECT_EQ(m_dir.Read("out.bin"), *data);
        EXPECT_TRUE(seen == *data);
    }
}

TEST_F(InflateFileTest, RefusesEverythingButAZlibStream) {
    const std::string data = CompressibleBytes(50'000);
    EXPECT_EQ(InflateBytes(Deflate(data, -15)), Z_DATA_ERROR) << "raw deflate";
    EXPECT_EQ(InflateBytes(Deflate(data, 31)), Z_DATA_ERROR) << "gzip";
    EXPECT_EQ(InflateBytes(Deflate(data, 15, "preset dictionary")), Z_DATA_ERROR) << "needs a dictionary";
}

TEST_F(InflateFileTest, EmptyFileFailsAndWritesNothing) {
    EXPECT_EQ(InflateBytes(""), Z_DATA_ERROR);
    EXPECT_EQ(std::filesystem::file_size(m_dir.Path("out.bin")), 0u);
}

TEST_F(InflateFileTest, CutOffStreamFailsAfterWritingWhatItCould) {
    const std::string data = CompressibleBytes(2'000'000);
    const std::string packed = Deflate(data, 15);
    EXPECT_EQ(InflateBytes(packed.substr(0, packed.size() / 2)), Z_DATA_ERROR);
    const std::string written = m_dir.Read("out.bin");
    EXPECT_GT(written.size(), 0u);
    EXPECT_LT(written.size(), data.size());
    EXPECT_EQ(written, data.substr(0, written.size()));
}

TEST_F(InflateFileTest, OutputIsBoundByTheListedSize) {
    const std::string zeros(4 << 20, '\0');
    m_dir.Write("in.z", Deflate(zeros, 15));
    for (const std::uint64_t limit : {std::uint64_t{0}, std::uint64_t{100'000}, std::uint64_t{zeros.size() - 1}}) {
        SCOPED_TRACE(limit);
        FileHandle source(_wfopen(m_dir.WidePath("in.z").c_str(), L"rb"));
        FileHandle target(_wfopen(m_dir.WidePath("out.bin").c_str(), L"wb"));
        EXPECT_EQ(InflateFile(source.get(), target.get(), limit), Z_DATA_ERROR);
        target.reset();
        EXPECT_LE(std::filesystem::file_size(m_dir.Path("out.bin")), limit);
    }
    FileHandle source(_wfopen(m_dir.WidePath("in.z").c_str(), L"rb"));
    FileHandle target(_wfopen(m_dir.WidePath("out.bin").c_str(), L"wb"));
    EXPECT_EQ(InflateFile(source.get(), target.get(), zeros.size()), Z_OK);
    target.reset();
    EXPECT_EQ(m_dir.Read("out.bin"), zeros);
}

TEST_F(InflateFileTest, UnreadableSourceIsAnError) {
    if (testsupport::UnderWine())
        GTEST_SKIP() << "Wine's C runtime reads nothing from a file opened only for writing, without an error";
    // A file opened only for writing fails every read.
    FileHandle source(_wfopen(m_dir.WidePath("in.z").c_str(), L"wb"));
    FileHandle target(_wfopen(m_dir.WidePath("out.bin").c_str(), L"wb"));
    EXPECT_EQ(InflateFile(source.get(), target.get()), Z_ERRNO);
}

// The full device accepts opening and refuses every byte: large output fails
// in fwrite itself, small output only when the buffered rest is flushed.
TEST_F(InflateFileTest, TargetThatCannotTakeTheDataIsAnError) {
    const std::optional<std::filesystem::path> full = testsupport::FullDevice();
    if (!full) {
        GTEST_SKIP() << "no device that refuses writes";
    }
    for (std::size_t size : {std::size_t{100}, std::size_t{300'000}}) {
        SCOPED_TRACE(size);
        m_dir.Write("in.z", Deflate(RandomBytes(size), 15));
        FileHandle source(_wfopen(m_dir.WidePath("in.z").c_str(), L"rb"));
        FileHandle target(_wfopen(full->wstring().c_str(), L"wb"));
        ASSERT_TRUE(target);
        EXPECT_EQ(InflateFile(source.get(), target.get()), Z_ERRNO);
    }
}

TEST_F(InflateFileTest, StoppedThreadReadsAndWritesNothing) {
    m_dir.Write("in.z", Deflate(CompressibleBytes(100'000), 15));
    FileHandle source(_wfopen(m_dir.WidePath("in.z").c_str(), L"rb"));
    FileHandle target(_wfopen(m_dir.WidePath("out.bin").c_str(), L"wb"));
    std::atomic<bool> started{false};
    std::atomic<bool> stopAsked{false};
    std::atomic<bool> returned{false};
    std::function<void()> body = [&] {
        started = true;
        while (!stopAsked) {
            std::this_thread::yield();
        }
        InflateFile(source.get(), target.get());
        returned = true;
    };
    HANDLE thread = StartPlatformThread(body);
    ASSERT_NE(thread, nullptr);
    while (!started) {
        std::this_thread::yield();
    }
    EXPECT_TRUE(TerminateThread(thread, 3));
    stopAsked = true;
    ASSERT_EQ(WaitForSingleObject(thread, INFINITE), WAIT_OBJECT_0);
    CloseHandle(thread);

    EXPECT_FALSE(returned);
    EXPECT_EQ(std::ftell(source.get()), 0);
    EXPECT_EQ(std::ftell(target.get()), 0);
}

}  // namespace
