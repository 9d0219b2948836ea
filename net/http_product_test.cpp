#include "net/http_product.h"

#include "platform/kernel32.h"
#include "platform/text.h"
#include "platform/thread_stop.h"
#include "state/controller.h"
#include "state/launcher_settings.h"
#include "state/message_table.h"
#include "state/view_broser.h"
#include "tests/support/diag_lines.h"
#include "tests/support/loopback_server.h"
#include "tests/support/request_checks.h"
#include "tests/support/short_transfer_limits.h"
#include "tests/support/temp_dir.h"
#include "tests/support/wine.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <future>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace {

namespace fs = std::filesystem;
using testsupport::Fault;
using testsupport::ReadBytes;

constexpr DWORD kTransferBufferSize = 1030 * 1024;
const std::wstring kFinishedText = L"下载完毕";
const std::wstring kStageText = L"正在下载客户端更新文件，请稍候... ";

// Bytes that differ from one position to the next, so that a lost, doubled
// or misplaced block shows.
std::string Body(std::size_t size) {
    std::string body(size, '\0');
    std::uint32_t state = 0x12345678u + static_cast<std::uint32_t>(size);
    for (char& c : body) {
        state = state * 1664525u + 1013904223u;
        c = static_cast<char>(state >> 24);
    }
    return body;
}

// What the view showed when a block was about to be written.
struct ObservedBlock {
    DWORD cbData;
    std::wstring detailText;
    std::wstring stageText;
    std::int64_t done0;
    std::int64_t total0;
};

// The product as it is, with every block write watched on its way to the file.
class WatchedProduct : public CHttpProduct {
public:
    using CHttpProduct::CHttpProduct;
    std::vector<ObservedBlock> blocks;

protected:
    std::size_t WriteBlock(std::FILE* pFile, const BYTE* pbyData, DWORD cbData) override {
        const ViewProgress progress = GetViewBroser()->GetProgress();
        blocks.push_back({cbData, progress.detailText, progress.stageText, progress.done[0], progress.totals[0]});
        return CHttpProduct::WriteBlock(pFile, pbyData, cbData);
    }
};

std::vector<DWORD> BlockSizes(const WatchedProduct& product) {
    std::vector<DWORD> sizes;
    for (const auto& block : product.blocks)
        sizes.push_back(block.cbData);
    return sizes;
}

class HttpProductTest : public ::testing::Test {
protected:
    void SetUp() override {
        g_messages.Fill(L"chs");
        g_settings.dataFolder = platform::FromUtf8(m_folder.Str());
        GetController()->closing = 0;
        GetViewBroser()->SetDone(0, 0);
        GetViewBroser()->SetDone(1, 0);
        GetViewBroser()->SetDetailText(L"");
    }
    void TearDown() override { GetController()->closing = 0; }

    std::wstring Url(const std::string& target) const { return platform::FromUtf8(m_server.BaseUrl() + target); }
    std::wstring PathOf(const std::string& relative) const {
        return platform::FromUtf8((m_folder.Path() / relative).string());
    }

    testsupport::TempDir m_folder;
    testsupport::LoopbackServer m_server;
    std::vector<BYTE> m_buffer = std::vector<BYTE>(kTransferBufferSize);
};

// ---- Open

TEST_F(HttpProductTest, OpenAccepts200And206Only) {
    m_server.SetBody("/f", "12345");
    CHttpProduct product(0, nullptr);

    EXPECT_EQ(product.Open(Url("/f").c_str(), L"", 0, 0), 1);  // 206: the Range asks for everything
    EXPECT_EQ(product.GetTotalSize(), 5u);
    m_server.SetRangeAnswer206(false);
    EXPECT_EQ(product.Open(Url("/f").c_str(), L"", 0, 0), 1);  // 200

    m_server.SetFault("/f", Fault{.status = 416});
    EXPECT_EQ(product.Open(Url("/f").c_str(), L"", 0, 0), 0);
    m_server.SetFault("/f", Fault{.status = 500});
    EXPECT_EQ(product.Open(Url("/f").c_str(), L"", 0, 0), 0);
    EXPECT_EQ(product.Open(Url("/nothing").c_str(), L"", 0, 0), 0);

    const auto requests = m_server.Requests();
    ASSERT_EQ(requests.size(), 5u);
    EXPECT_EQ(requests[0].Header("Range"), "bytes=0-");
}

TEST_F(HttpProductTest, OpenTurnsEveryFailureIntoZero) {
    CHttpProduct product(0, nullptr);
    const std::string refused = "http://127.0.0.1:" + std::to_string(testsupport::LoopbackServer::RefusedPort()) + "/f";
    EXPECT_EQ(product.Open(platform::FromUtf8(refused).c_str(), L"", 0, 0), 0);
    EXPECT_EQ(product.Open(L"http://127.0.0.1:123456/f", L"", 0, 0), 0);
    EXPECT_EQ(product.Open(L"http:///f", L"", 0, 0), 0);
    EXPECT_EQ(product.Open(nullptr, nullptr, 0, 0), 0);
    EXPECT_EQ(product.Open(Url("/f").c_str(), L"", -1, 0), 0);
    EXPECT_EQ(product.Open(Url("/f").c_str(), L"", 1000, 0), 0);
    // Without a response there is nothing to read or save.
    BYTE byte = 0;
    EXPECT_FALSE(product.ReadAll(&byte, 1, nullptr));
    EXPECT_TRUE(m_server.Requests().empty());
}

TEST_F(HttpProductTest, LengthBeyondThirtyTwoBitsIsRefused) {
    if (testsupport::UnderWine())
        GTEST_SKIP() << "Wine's WinINet cuts a 5 GiB Content-Length to its low 32 bits instead of refusing it";
    // The total is a 32-bit value: an answer announcing more than 4 GiB is
    // refused instead of being counted with a cut length.
    m_server.SetBody("/huge", "start");
    m_server.SetFault("/huge", Fault{.extraContentLength = std::int64_t{5} << 30});
    CHttpProduct product(0, nullptr);
    EXPECT_EQ(product.Open(Url("/huge").c_str(), L"", 0, 0), 0);
    EXPECT_EQ(product.GetTotalSize(), 0u);
}

TEST(HttpProductContentRange, OnlyAWholeRangeWithAKnownTotalIsTaken) {
    std::uint64_t first = 9, last = 9, total = 9;
    EXPECT_TRUE(CHttpProduct::ParseContentRange(L"bytes 100-199/200", first, last, total));
    EXPECT_EQ(first, 100u);
    EXPECT_EQ(last, 199u);
    EXPECT_EQ(total, 200u);
    for (const wchar_t* refused : {L"bytes */200", L"bytes 0-9/*", L"bytes 5-4/10", L"bytes 0-10/10", L"items 0-1/2",
                                   L"bytes 0-1/2 ", L"bytes -1-2/3", L"bytes 1234567890123456789-1/2", L""})
        EXPECT_FALSE(CHttpProduct::ParseContentRange(refused, first, last, total)) << platform::ToUtf8(refused);
    EXPECT_EQ(first, 100u);
}

// A resume asks for the rest with the validator, once: the same object
// continues with a 206 from there, another one comes whole with 200. The
// next Open asks from byte 0 again, without a validator.
TEST_F(HttpProductTest, ResumeFromAsksForTheRestOnce) {
    m_server.SetBody("/f", "0123456789");
    CHttpProduct product(0, nullptr);
    ASSERT_EQ(product.Open(Url("/f").c_str(), L"", 0, 0), 1);
    const std::wstring etag = product.GetValidator();
    ASSERT_FALSE(etag.empty());

    product.ResumeFrom(4, etag);
    ASSERT_EQ(product.Open(Url("/f").c_str(), L"", 0, 0), 1);
    EXPECT_EQ(product.GetStatus(), 206u);
    EXPECT_EQ(product.GetObjectSize(), std::optional<std::uint64_t>(10));
    EXPECT_EQ(product.GetTotalSize(), 10u);
    EXPECT_TRUE(product.ContinuesAt(4, 10, etag));
    EXPECT_FALSE(product.ContinuesAt(3, 10, etag));
    EXPECT_FALSE(product.ContinuesAt(4, 11, etag));
    EXPECT_FALSE(product.ContinuesAt(4, 10, L"\"other\""));

    product.ResumeFrom(4, L"\"other\"");
    ASSERT_EQ(product.Open(Url("/f").c_str(), L"", 0, 0), 1);
    EXPECT_EQ(product.GetStatus(), 200u);
    EXPECT_EQ(product.GetObjectSize(), std::optional<std::uint64_t>(10));
    EXPECT_FALSE(product.ContinuesAt(4, 10, L"\"other\""));

    ASSERT_EQ(product.Open(Url("/f").c_str(), L"", 0, 0), 1);
    const auto requests = m_server.Requests();
    ASSERT_EQ(requests.size(), 4u);
    EXPECT_TRUE(testsupport::IsDownloadRequest(requests[1], "bytes=4-"));
    EXPECT_EQ(requests[1].Header("If-Range"), platform::ToUtf8(etag));
    EXPECT_EQ(requests[2].Header("If-Range"), "\"other\"");
    for (const std::size_t plain : {std::size_t{0}, std::size_t{3}}) {
        EXPECT_TRUE(testsupport::IsDownloadRequest(requests[plain], "bytes=0-"));
        EXPECT_EQ(requests[plain].HeaderCount("If-Range"), 0u);
    }
}

TEST_F(HttpProductTest, EveryOpenSendsExactlyOneRangeHeader) {
    m_server.SetBody("/f", "x");
    CHttpProduct product(0, nullptr);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(product.Open(Url("/f").c_str(), L"", 0, 0), 1);

    const auto requests = m_server.Requests();
    ASSERT_EQ(requests.size(), 3u);
    for (const auto& request : requests)
        EXPECT_TRUE(testsupport::IsDownloadRequest(request, "bytes=0-"));
}

TEST_F(HttpProductTest, MissingContentLengthKeepsTheEarlierTotal) {
    m_server.SetBody("/sized", "0123456789");
    m_server.SetBody("/chunked", "abc");
    m_server.SetFault("/chunked", Fault{.chunked = true});

    CHttpProduct fresh(0, nullptr);
    EXPECT_EQ(fresh.Open(Url("/chunked").c_str(), L"", 0, 0), 1);
    EXPECT_EQ(fresh.GetTotalSize(), 0u);

    CHttpProduct reused(0, nullptr);
    EXPECT_EQ(reused.Open(Url("/sized").c_str(), L"", 0, 0), 1);
    EXPECT_EQ(reused.Open(Url("/chunked").c_str(), L"", 0, 0), 1);
    EXPECT_EQ(reused.GetTotalSize(), 10u);
    // ReadAll then accepts any capacity not below that earlier total.
    BYTE buffer[16] = {};
    DWORD cbRead = 0;
    EXPECT_FALSE(reused.ReadAll(buffer, 9, &cbRead));
    EXPECT_TRUE(reused.ReadAll(buffer, 10, &cbRead));
    EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer), cbRead), "abc");
}

TEST_F(HttpProductTest, UrlLengthLimitCountsTheSuffix) {
    // 2,083 characters of URL and suffix together are the most a URL may have.
    const std::string base = m_server.BaseUrl() + "/";
    const std::string name(CHttpProduct::kMaxUrlLength - base.size() - 3, 'n');
    m_server.SetBody("/" + name + ".lz", "long");

    CHttpProduct product(0, nullptr);
    EXPECT_EQ(product.Open(platform::FromUtf8(base + name).c_str(), L".lz", 0, 0), 1);
    EXPECT_EQ(product.Open(platform::FromUtf8(base + name + "x").c_str(), L".lz", 0, 0), 0);

    const auto requests = m_server.Requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].target, "/" + name + ".lz");
}

// ---- ReadAll

TEST_F(HttpProductTest, ReadAllNeedsRoomForTheAnnouncedLength) {
    const std::string body = Body(3000);
    m_server.SetBody("/answer", body);
    std::vector<BYTE> buffer(4000, 0xEE);
    DWORD cbRead = 4711;

    CHttpProduct tooSmall(0, nullptr);
    ASSERT_EQ(tooSmall.Open(Url("/answer").c_str(), L"", 0, 0), 1);
    EXPECT_FALSE(tooSmall.ReadAll(buffer.data(), 2999, &cbRead));
    EXPECT_EQ(cbRead, 4711u);
    EXPECT_EQ(buffer[0], 0xEE);

    CHttpProduct exact(0, nullptr);
    ASSERT_EQ(exact.Open(Url("/answer").c_str(), L"", 0, 0), 1);
    EXPECT_TRUE(exact.ReadAll(buffer.data(), 3000, &cbRead));
    EXPECT_EQ(cbRead, 3000u);
    EXPECT_EQ(std::string(buffer.begin(), buffer.begin() + 3000), body);
    EXPECT_TRUE(exact.ReadAll(buffer.data(), 3000, nullptr));  // at the end: a read of 0
}

TEST_F(HttpProductTest, ReadAllFailsWhenTheConnectionBreaks) {
    if (testsupport::UnderWine())
        GTEST_SKIP() << "Wine's WinINet reads a body cut short as a complete one (InternetReadFile: TRUE, 0 bytes)";
    m_server.SetBody("/cut", Body(50000));
    m_server.SetBody("/short", Body(5000));
    m_server.SetFault("/cut", Fault{.closeAfterBytes = 20000});
    m_server.SetFault("/short", Fault{.extraContentLength = 100});
    std::vector<BYTE> buffer(60000);

    for (const char* target : {"/cut", "/short"}) {
        CHttpProduct product(0, nullptr);
        ASSERT_EQ(product.Open(Url(target).c_str(), L"", 0, 0), 1) << target;
        DWORD cbRead = 4711;
        EXPECT_FALSE(product.ReadAll(buffer.data(), static_cast<DWORD>(buffer.size()), &cbRead)) << target;
        EXPECT_EQ(cbRead, 4711u) << target;
    }
}

TEST_F(HttpProductTest, ReadAllTakesNoMoreThanTheAnnouncedLength) {
    // The chunked coding carries more than the Content-Length names.
    const std::string body = Body(3000);
    m_server.SetBody("/over", body);
    m_server.SetFault("/over", Fault{.extraBodyBytes = 5000});
    std::vector<BYTE> buffer(10000);
    CHttpProduct product(0, nullptr);
    ASSERT_EQ(product.Open(Url("/over").c_str(), L"", 0, 0), 1);
    DWORD cbRead = 0;
    EXPECT_TRUE(product.ReadAll(buffer.data(), 10000, &cbRead));
    EXPECT_TRUE(std::string(buffer.begin(), buffer.begin() + cbRead) == body);

    // A further read finds the body ended, however much more the coding
    // carries.
    ASSERT_TRUE(product.ReadAll(buffer.data(), 10000, &cbRead));
    EXPECT_EQ(cbRead, 0u);

    // Without a length, the pieces run to the body's end and a read of 0.
    m_server.SetBody("/unsized", Body(25000));
    m_server.SetFault("/unsized", Fault{.chunked = true, .chunkBytes = 3000});
    ASSERT_EQ(product.Open(Url("/unsized").c_str(), L"", 0, 0), 1);
    std::string pieces;
    do {
        ASSERT_TRUE(product.ReadAll(buffer.data(), 4096, &cbRead));
        pieces.append(buffer.begin(), buffer.begin() + cbRead);
    } while (cbRead != 0 && pieces.size() <= 25000);
    EXPECT_TRUE(pieces == Body(25000));
}

// ---- Save

TEST_F(HttpProductTest, SaveTakesNoMoreThanTheLengthOrTheLimit) {
    // More bytes than the Content-Length names: the length wins.
    const std::string body = Body(30000);
    m_server.SetBody("/over", body);
    m_server.SetFault("/over", Fault{.extraBodyBytes = 5 << 20});
    WatchedProduct product(kTransferBufferSize, m_buffer.data());
    ASSERT_EQ(product.Open(Url("/over").c_str(), L"", 0, 0), 1);
    product.SaveTo(PathOf("over.bin").c_str());
    EXPECT_TRUE(ReadBytes(m_folder.Path() / "over.bin") == body);
    // Written once, when the length is reached, as after a read of 0.
    EXPECT_EQ(BlockSizes(product), std::vector<DWORD>{30000});

    // No length: the caller's limit ends the body.
    m_server.SetBody("/unsized", Body(300000));
    m_server.SetFault("/unsized", Fault{.chunked = true});
    product.SetBodyLimit(50000);
    ASSERT_EQ(product.Open(Url("/unsized").c_str(), L"", 0, 0), 1);
    product.SaveTo(PathOf("unsized.bin").c_str());
    EXPECT_TRUE(ReadBytes(m_folder.Path() / "unsized.bin") == Body(300000).substr(0, 50000));
    EXPECT_EQ(product.GetReceivedSize(), 50000u);

    // A length beyond the limit: none of it is worth taking.
    m_server.SetBody("/big", Body(60000));
    ASSERT_EQ(product.Open(Url("/big").c_str(), L"", 0, 0), 1);
    EXPECT_EQ(product.GetTotalSize(), 60000u);
    product.SaveTo(PathOf("big.bin").c_str());
    ASSERT_TRUE(fs::exists(m_folder.Path() / "big.bin"));
    EXPECT_EQ(fs::file_size(m_folder.Path() / "big.bin"), 0u);
    EXPECT_EQ(product.GetReceivedSize(), 0u);
}

// A server that never answers, stalls or trickles is given up within the
// transfer limits; what arrived in completed reads is kept, as for a broken
// connection. A fast body under the same limits arrives whole.
TEST_F(HttpProductTest, SlowServersAreGivenUpWithinTheLimits) {
    if (testsupport::UnderWine())
        GTEST_SKIP() << "Wine: InternetCloseHandle from another thread does not end an InternetReadFile "
                        "blocked on a stalled server";
    using Clock = std::chrono::steady_clock;
    const testsupport::ShortTransferLimits limits;
    constexpr auto kBound = std::chrono::seconds(5);

    testsupport::SilentPort silent;
    CHttpProduct reader(0, nullptr);
    auto start = Clock::now();
    const std::string silentUrl = "http://127.0.0.1:" + std::to_string(silent.Port()) + "/";
    EXPECT_EQ(reader.Open(platform::FromUtf8(silentUrl).c_str(), L"", 0, 0), 0);
    EXPECT_LT(Clock::now() - start, kBound);

    // Stalled after 20,000 bytes: the first read of 10,240 completed.
    const std::string body = Body(200000);
    m_server.SetBody("/stall", body);
    m_server.SetFault("/stall", Fault{.stallAfterBytes = 20000});
    CHttpProduct product(kTransferBufferSize, m_buffer.data());
    ASSERT_EQ(product.Open(Url("/stall").c_str(), L"", 0, 0), 1);
    start = Clock::now();
    product.SaveTo(PathOf("stall.bin").c_str());
    EXPECT_LT(Clock::now() - start, kBound);
    EXPECT_TRUE(ReadBytes(m_folder.Path() / "stall.bin") == body.substr(0, CHttpProduct::kReadSize));
    EXPECT_EQ(GetViewBroser()->GetProgress().detailText, kFinishedText);

    m_server.SetBody("/answer", Body(3000));
    m_server.SetFault("/answer", Fault{.stallAfterBytes = 100});
    std::vector<BYTE> buffer(3000);
    ASSERT_EQ(reader.Open(Url("/answer").c_str(), L"", 0, 0), 1);
    start = Clock::now();
    EXPECT_FALSE(reader.ReadAll(buffer.data(), 3000, nullptr));
    EXPECT_LT(Clock::now() - start, kBound);

    // 64 bytes every 20 ms: about 3 KB/s against a minimum of 64 KiB/s.
    m_server.SetBody("/trickle", body);
    m_server.SetFault("/trickle", Fault{.slowBodyDelayMs = 20, .chunkBytes = 64});
    ASSERT_EQ(product.Open(Url("/trickle").c_str(), L"", 0, 0), 1);
    start = Clock::now();
    product.SaveTo(PathOf("trickle.bin").c_str());
    EXPECT_LT(Clock::now() - start, kBound);
    EXPECT_LT(product.GetReceivedSize(), body.size());

    m_server.SetBody("/fast", Body(4 << 20));
    ASSERT_EQ(product.Open(Url("/fast").c_str(), L"", 0, 0), 1);
    product.SaveTo(PathOf("fast.bin").c_str());
    EXPECT_EQ(product.GetReceivedSize(), 4u << 20);
    EXPECT_TRUE(ReadBytes(m_folder.Path() / "fast.bin") == Body(4 << 20));
}

TEST_F(HttpProductTest, BodyFillingTheBufferIsWrittenAsOneBlock) {
    const std::string body = Body(kTransferBufferSize);
    m_server.SetBody("/full.lz", body);
    WatchedProduct product(kTransferBufferSize, m_buffer.data());
    ASSERT_EQ(product.Open(Url("/full.lz").c_str(), L"", 0, 0), 1);
    EXPECT_EQ(product.SaveTo(PathOf("full.lz").c_str()), 1);

    // One block of the whole buffer, then the empty write after the final
    // read of 0 bytes, which ends the loop.
    EXPECT_EQ(BlockSizes(product), (std::vector<DWORD>{kTransferBufferSize, 0}));
    EXPECT_EQ(ReadBytes(m_folder.Path() / "full.lz"), body);
    EXPECT_EQ(product.GetReceivedSize(), kTransferBufferSize);
    EXPECT_FLOAT_EQ(product.GetPercent(), 100.0f);
}

TEST_F(HttpProductTest, LargerBodyIsWrittenInBufferSizedBlocksAndReportedAfterEveryRead) {
    const std::size_t size = 2 * kTransferBufferSize + 12345;
    const std::string body = Body(size);
    m_server.SetBody("/big.lz", body);
    GetViewBroser()->SetDone(1, 1000);
    WatchedProduct product(kTransferBufferSize, m_buffer.data());
    ASSERT_EQ(product.Open(Url("/big.lz").c_str(), L"", 0, 0), 1);
    product.SaveTo(PathOf("big.lz").c_str());

    EXPECT_EQ(BlockSizes(product), (std::vector<DWORD>{kTransferBufferSize, kTransferBufferSize, 12345}));
    EXPECT_EQ(ReadBytes(m_folder.Path() / "big.lz"), body);
    std::int64_t written = 0;
    for (const auto& block : product.blocks) {
        written += block.cbData;
        EXPECT_EQ(block.stageText, kStageText);
        EXPECT_EQ(block.detailText, L"big");
        EXPECT_EQ(block.done0, written);
        EXPECT_EQ(block.total0, static_cast<std::int64_t>(size));
    }
    EXPECT_EQ(GetViewBroser()->GetDone(1), 1000 + static_cast<std::int64_t>(size));
    EXPECT_EQ(GetViewBroser()->GetProgress().detailText, kFinishedText);
}

TEST_F(HttpProductTest, EmptyBodyLeavesAnEmptyFile) {
    // An empty body cannot satisfy "bytes=0-": the server must answer 200.
    m_server.SetRangeAnswer206(false);
    m_server.SetBody("/empty", "");
    const fs::path file = m_folder.Write("empty.bin", "old content");
    WatchedProduct product(kTransferBufferSize, m_buffer.data());
    ASSERT_EQ(product.Open(Url("/empty").c_str(), L"", 0, 0), 1);
    EXPECT_EQ(product.SaveTo(PathOf("empty.bin").c_str()), 1);

    EXPECT_TRUE(fs::exists(file));
    EXPECT_EQ(fs::file_size(file), 0u);
    EXPECT_EQ(BlockSizes(product), (std::vector<DWORD>{0}));
}

TEST_F(HttpProductTest, ProductWithoutUsableBufferWritesNoFile) {
    m_server.SetBody("/f", "data");
    // Size 0, a buffer too small for one read, and a size without a buffer.
    for (auto [cbBuffer, pBuffer] : {std::pair<DWORD, BYTE*>{0, nullptr},
                                     {CHttpProduct::kReadSize - 1, m_buffer.data()},
                                     {kTransferBufferSize, nullptr}}) {
        GetViewBroser()->SetDetailText(L"");
        CHttpProduct product(cbBuffer, pBuffer);
        ASSERT_EQ(product.Open(Url("/f").c_str(), L"", 0, 0), 1);
        EXPECT_EQ(product.SaveTo(PathOf("none.bin").c_str()), 1);
        EXPECT_FALSE(fs::exists(m_folder.Path() / "none.bin")) << cbBuffer;
        EXPECT_EQ(GetViewBroser()->GetProgress().detailText, kFinishedText);
    }
}

TEST_F(HttpProductTest, SmallestBufferTakesOneReadPerBlock) {
    const std::string body = Body(25000);
    m_server.SetBody("/f", body);
    WatchedProduct product(CHttpProduct::kReadSize, m_buffer.data());
    ASSERT_EQ(product.Open(Url("/f").c_str(), L"", 0, 0), 1);
    product.SaveTo(PathOf("f.bin").c_str());
    // The short last read fills the buffer past another read, so it is
    // written at once; the read of 0 bytes then attempts an empty write.
    EXPECT_EQ(BlockSizes(product), (std::vector<DWORD>{10240, 10240, 4520, 0}));
    EXPECT_EQ(ReadBytes(m_folder.Path() / "f.bin"), body);
}

TEST_F(HttpProductTest, SaveToTakesForwardSlashesAndShowsTheBareName) {
    m_server.SetBody("/pkg", "content");
    WatchedProduct product(kTransferBufferSize, m_buffer.data());
    ASSERT_EQ(product.Open(Url("/pkg").c_str(), L"", 0, 0), 1);
    product.SaveTo(PathOf("a/b/data.pak.lz").c_str());

    EXPECT_EQ(ReadBytes(m_folder.Path() / "a" / "b" / "data.pak.lz"), "content");
    ASSERT_FALSE(product.blocks.empty());
    EXPECT_EQ(product.blocks[0].detailText, L"data.pak");
    EXPECT_EQ(GetViewBroser()->GetProgress().detailText, kFinishedText);
}

TEST_F(HttpProductTest, DefaultDestinationMirrorsTheUrlBelowTheUpdateFolder) {
    m_server.SetBody("/cdn/file/x.z", "zz");
    const std::wstring url = Url("/cdn/file/x.z");
    CHttpProduct product(kTransferBufferSize, m_buffer.data());
    const int relativeStart = static_cast<int>(Url("/cdn/").size());
    ASSERT_EQ(product.Open(url.c_str(), L"", relativeStart, 0), 1);
    product.Save();
    EXPECT_EQ(ReadBytes(m_folder.Path() / "Update" / "file" / "x.z"), "zz");
}

TEST_F(HttpProductTest, OverlongPathWritesNothing) {
    m_server.SetBody("/f", "data");
    CHttpProduct product(kTransferBufferSize, m_buffer.data());
    ASSERT_EQ(product.Open(Url("/f").c_str(), L"", 0, 0), 1);
    product.SetSavePath(PathOf("earlier.bin").c_str());

    std::wstring longPath = PathOf("");
    longPath.append(CHttpProduct::kMaxPathLength + 1 - longPath.size(), L'p');
    EXPECT_EQ(product.SaveTo(longPath.c_str()), 1);
    EXPECT_FALSE(fs::exists(platform::NativePath(longPath)));
    EXPECT_FALSE(fs::exists(m_folder.Path() / "earlier.bin"));
    EXPECT_EQ(GetViewBroser()->GetProgress().detailText, kFinishedText);

    // 259 characters are still a path.
    longPath.pop_back();
    EXPECT_EQ(product.SetSavePath(longPath.c_str()), longPath);
}

TEST_F(HttpProductTest, BrokenConnectionKeepsTheBytesReceived) {
    const std::string body = Body(300000);
    m_server.SetBody("/cut", body);
    m_server.SetFault("/cut", Fault{.closeAfterBytes = 100000});
    CHttpProduct product(kTransferBufferSize, m_buffer.data());
    ASSERT_EQ(product.Open(Url("/cut").c_str(), L"", 0, 0), 1);
    EXPECT_EQ(product.SaveTo(PathOf("cut.bin").c_str()), 1);

    const std::string saved = ReadBytes(m_folder.Path() / "cut.bin");
    EXPECT_EQ(saved.size(), product.GetReceivedSize());
    EXPECT_LE(saved.size(), 100000u);
    EXPECT_EQ(saved, body.substr(0, saved.size()));
    EXPECT_EQ(GetViewBroser()->GetProgress().detailText, kFinishedText);
}

// One product's requests to a server that keeps connections alive go out on
// one connection, the whole-body reads and the saves alike; an answer left
// half-read or a connection the server cut costs the next request nothing
// but a new connection.
TEST_F(HttpProductTest, RequestsToOneServerShareItsKeptConnection) {
    testsupport::LoopbackServer server(testsupport::LoopbackServer::Connections::KeptAlive);
    const auto url = [&](const std::string& target) { return platform::FromUtf8(server.BaseUrl() + target); };
    server.SetBody("/a", Body(30000));
    server.SetBody("/b", Body(70000));
    server.SetBody("/big", Body(3 << 20));
    server.SetBody("/cut", Body(300000));
    server.SetFault("/cut", Fault{.closeAfterBytes = 100000});
    CHttpProduct product(kTransferBufferSize, m_buffer.data());

    for (const char* target : {"/a", "/b", "/a"}) {
        ASSERT_EQ(product.Open(url(target).c_str(), L"", 0, 0), 1) << target;
        product.SaveTo(PathOf("saved.bin").c_str());
        EXPECT_TRUE(ReadBytes(m_folder.Path() / "saved.bin") == Body(target == std::string("/b") ? 70000 : 30000));
    }
    std::vector<BYTE> whole(30000);
    DWORD cbRead = 0;
    ASSERT_EQ(product.Open(url("/a").c_str(), L"", 0, 0), 1);
    ASSERT_TRUE(product.ReadAll(whole.data(), static_cast<DWORD>(whole.size()), &cbRead));
    EXPECT_EQ(std::string(whole.begin(), whole.begin() + cbRead), Body(30000));
    auto requests = server.Requests();
    ASSERT_EQ(requests.size(), 4u);
    for (const auto& request : requests)
        EXPECT_EQ(request.clientPort, requests[0].clientPort) << request.target;

    // Opened and left: the next answer is still its own, whole.
    ASSERT_EQ(product.Open(url("/big").c_str(), L"", 0, 0), 1);
    ASSERT_EQ(product.Open(url("/b").c_str(), L"", 0, 0), 1);
    product.SaveTo(PathOf("after-left.bin").c_str());
    EXPECT_TRUE(ReadBytes(m_folder.Path() / "after-left.bin") == Body(70000));
    // Cut by the server: the next request goes out on a new connection.
    ASSERT_EQ(product.Open(url("/cut").c_str(), L"", 0, 0), 1);
    product.SaveTo(PathOf("cut.bin").c_str());
    EXPECT_LE(fs::file_size(m_folder.Path() / "cut.bin"), 100000u);
    ASSERT_EQ(product.Open(url("/a").c_str(), L"", 0, 0), 1);
    product.SaveTo(PathOf("after-cut.bin").c_str());
    EXPECT_TRUE(ReadBytes(m_folder.Path() / "after-cut.bin") == Body(30000));
    requests = server.Requests();
    ASSERT_EQ(requests.size(), 8u);
    EXPECT_NE(requests[7].clientPort, requests[6].clientPort);
}

// Waits until the transfer has received something.
void WaitForFirstRead() {
    while (GetViewBroser()->GetDone(0) == 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

TEST_F(HttpProductTest, ClosingMidTransferKeepsEveryCompletedRead) {
    const std::string body = Body(40 * 64 * 1024);
    m_server.SetBody("/slow", body);
    m_server.SetFault("/slow", Fault{.slowBodyDelayMs = 100});
    CHttpProduct product(kTransferBufferSize, m_buffer.data());
    ASSERT_EQ(product.Open(Url("/slow").c_str(), L"", 0, 0), 1);

    auto saving = std::async(std::launch::async, [&] { return product.SaveTo(PathOf("slow.bin").c_str()); });
    WaitForFirstRead();
    GetController()->closing = 1;
    EXPECT_EQ(saving.get(), 1);

    const std::string saved = ReadBytes(m_folder.Path() / "slow.bin");
    EXPECT_EQ(saved.size(), product.GetReceivedSize());
    EXPECT_GT(saved.size(), 0u);
    EXPECT_LT(saved.size(), body.size());
    EXPECT_EQ(saved, body.substr(0, saved.size()));
    EXPECT_EQ(GetViewBroser()->GetProgress().detailText, kFinishedText);
}

struct SaveJob {
    CHttpProduct* product;
    std::wstring path;
};

DWORD WINAPI SaveThread(LPVOID pParam) {
    auto* job = static_cast<SaveJob*>(pParam);
    job->product->SaveTo(job->path.c_str());
    return 0;
}

TEST_F(HttpProductTest, StoppedThreadWritesNothingMore) {
    // Less than the buffer holds: nothing is written before the end.
    m_server.SetBody("/slow", Body(10 * 64 * 1024));
    m_server.SetFault("/slow", Fault{.slowBodyDelayMs = 200});
    CHttpProduct product(kTransferBufferSize, m_buffer.data());
    ASSERT_EQ(product.Open(Url("/slow").c_str(), L"", 0, 0), 1);

    SaveJob job{&product, PathOf("stopped.lz")};
    HANDLE hThread = CreateThread(nullptr, 0, SaveThread, &job, 0, nullptr);
    ASSERT_NE(hThread, nullptr);
    WaitForFirstRead();
    ASSERT_TRUE(TerminateThread(hThread, 7));
    // The counters are free at once, and stay so after the thread unwound.
    const std::int64_t doneAtStop = GetViewBroser()->GetDone(0);
    EXPECT_GT(doneAtStop, 0);
    ASSERT_EQ(WaitForSingleObject(hThread, INFINITE), WAIT_OBJECT_0);
    DWORD exitCode = 0;
    EXPECT_TRUE(GetExitCodeThread(hThread, &exitCode));
    EXPECT_EQ(exitCode, 7u);
    CloseHandle(hThread);
    platform::EndRemainingThreads();

    const ViewProgress progress = GetViewBroser()->GetProgress();
    EXPECT_EQ(progress.detailText, L"stopped");  // the final text was not set
    EXPECT_LT(progress.done[0], static_cast<std::int64_t>(10 * 64 * 1024));
    ASSERT_TRUE(fs::exists(m_folder.Path() / "stopped.lz"));
    EXPECT_EQ(fs::file_size(m_folder.Path() / "stopped.lz"), 0u);
}

// ---- the diagnostic log

TEST_F(HttpProductTest, EveryRequestLeavesItsOutcomeBytesAndTimeInTheDiagnosticLog) {
    testsupport::DiagLines diag;
    const std::string url = m_server.BaseUrl() + "/f";
    m_server.SetBody("/f", "12345");
    {
        CHttpProduct product(0, nullptr);
        ASSERT_EQ(product.Open(Url("/f").c_str(), L"", 0, 0), 1);
        BYTE buffer[16] = {};
        ASSERT_TRUE(product.ReadAll(buffer, sizeof buffer, nullptr));
        ASSERT_FALSE(product.ReadAll(buffer, 4, nullptr));
    }
    EXPECT_EQ(diag.Take(), (std::vector<std::string>{
                               "request: GET " + url + " -> 206, 5 bytes announced (T)",
                               "request: GET " + url + ": 5 of 5 bytes read (T)",
                               "request (problem): GET " + url +
                                   ": the body failed after 0 of 5 bytes: larger than the 4 bytes expected (T)",
                           }));

    m_server.SetFault("/f", Fault{.status = 404});
    EXPECT_EQ(CHttpProduct(0, nullptr).Open(Url("/f").c_str(), L"", 0, 0), 0);
    EXPECT_EQ(diag.Take(), std::vector<std::string>{"request (problem): GET " + url + " -> 404 (T)"});

    const std::string refused = "http://127.0.0.1:" + std::to_string(testsupport::LoopbackServer::RefusedPort()) + "/x";
    EXPECT_EQ(CHttpProduct(0, nullptr).Open(platform::FromUtf8(refused).c_str(), L"", 0, 0), 0);
    const std::vector<std::string> refusal = diag.Take();
    ASSERT_EQ(refusal.size(), 1u);
    EXPECT_EQ(refusal[0].rfind("request (problem): GET " + refused + " -> no answer: ", 0), 0u) << refusal[0];
    EXPECT_NE(refusal[0].find("(WinINet 12029: cannot connect) (T)"), std::string::npos) << refusal[0];

    if (testsupport::UnderWine())
        GTEST_SKIP() << "Wine's WinINet reads a body cut short as a complete one (InternetReadFile: TRUE, 0 bytes)";
    // A body cut off mid-way: what arrived, of how much, and where it went.
    m_server.SetFault("/f", Fault{.closeAfterBytes = 5000});
    m_server.SetBody("/f", Body(20000));
    CHttpProduct saving(kTransferBufferSize, m_buffer.data());
    ASSERT_EQ(saving.Open(Url("/f").c_str(), L"", 0, 0), 1);
    saving.SaveTo(PathOf("cut.bin").c_str());
    const std::vector<std::string> cut = diag.Take();
    ASSERT_EQ(cut.size(), 2u);
    EXPECT_EQ(cut[0], "request: GET " + url + " -> 206, 20000 bytes announced (T)");
    EXPECT_EQ(cut[1].rfind("request (problem): GET " + url + ": the body failed after " +
                               std::to_string(saving.GetReceivedSize()) + " of 20000 bytes: ::InternetReadFile failed.",
                           0),
              0u)
        << cut[1];
}

}  // namespace
