// Resuming a packed download that broke off, against the fault server on
// 127.0.0.1: a large object cut at 60% once is continued from that byte, an
// object that changed meanwhile and a server that ignores ranges start it
// over, and a kept part spoiled on disk fails the check and starts over.
// The object is a launcher file (zlib, which packs fast) of 64 MiB; the
// Windows build under Wine takes 16 MiB, which keeps its run of these
// programs within its time limit. Wine's WinINet takes a body cut short for
// a complete one; the launcher compares what arrived with the size the
// answer announced, so the same cut serves there.
#include "tests/e2e/update_fixture.h"
#include "tests/support/request_checks.h"
#include "tests/support/wine.h"

#include "platform/text.h"
#include "platform/thread_stop.h"
#include "state/view_broser.h"
#include "update/download_worker.h"
#include "update/manifest.h"
#include "update/update_context.h"
#include "update/version_service.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <fstream>

namespace fs = std::filesystem;
using testsupport::Fault;
using testsupport::RandomBytes;
using testsupport::ReadBytes;
using testsupport::RecordedRequest;
using testsupport::WriteBytes;

namespace {

// Under Wine a quarter: its WinINet reads slowly enough that 64 MiB would
// pass the Windows stage's time limit.
std::size_t BigBytes() {
    return testsupport::UnderWine() ? std::size_t{16} << 20 : std::size_t{64} << 20;
}
// A cut loses what had arrived but was not yet handed out when it failed: the
// read under way and what the transport holds behind it (one 16 KiB delivery
// of curl's; a slow, loaded run leaves both full).
constexpr std::uint64_t kLostAtCut = 64 * 1024;

class Resume : public ::testing::Test, public testsupport::UpdateFixture {
protected:
    void SetUp() override {
        WriteBytes(launcherDir / "Launcher.exe", "launcher program v1");
        WriteBytes(launcherDir / "pv.ini", "[Config]\nLanguage=chs\n");
        WriteBytes(launcherDir / "big.pak", RandomBytes(BigBytes(), 64));
        WriteBytes(clientDir / "qm.exe", "game program");
        for (const char* name : {"Launcher.exe", "pv.ini"})
            fs::copy_file(launcherDir / name, installedDir / name);
        Publish();
        CUpdateContext& context = *GetUpdateContext();
        ASSERT_TRUE(CheckLauncherVersion(context));
        const auto found = std::find_if(context.pendingFiles.begin(), context.pendingFiles.end(),
                                        [](const FileEntry& entry) { return entry.path == L"big.pak"; });
        ASSERT_NE(found, context.pendingFiles.end());
        const FileEntry big = *found;
        context.pendingFiles = {big};
        const std::wstring url = ResolveCdnUrl(context, L"launcher/L1/big.pak.z");
        target = platform::ToUtf8(url.substr(url.find(L"/cdn/")));
        object = cdnDir / target.substr(5);
        objectSize = fs::file_size(object);
        cut = objectSize * 6 / 10;
        server.ClearRequests();
    }

    std::vector<RecordedRequest> ObjectRequests() const {
        std::vector<RecordedRequest> asked;
        for (const RecordedRequest& request : server.Requests())
            if (request.target == target)
                asked.push_back(request);
        return asked;
    }

    // The first byte a request asked for; -1 for anything but "bytes=N-".
    static std::int64_t RangeStart(const RecordedRequest& request) {
        const std::string range = request.Header("Range");
        if (range.rfind("bytes=", 0) != 0 || range.back() != '-')
            return -1;
        return std::stoll(range.substr(6, range.size() - 7));
    }

    void ExpectInstalledAndNothingKept() const {
        EXPECT_TRUE(ReadBytes(DataPath("launcher/L1/big.pak")) == ReadBytes(launcherDir / "big.pak"));
        EXPECT_FALSE(fs::exists(DataPath("Update/launcher/L1/big.pak.z.part")));
        EXPECT_FALSE(fs::exists(DataPath("Update/launcher/L1/big.pak.z.part.info")));
        EXPECT_FALSE(fs::exists(DataPath("Update/launcher/L1/big.pak.z")));
        CViewBroser* view = GetViewBroser();
        EXPECT_EQ(view->GetDone(1), view->GetFileEnd());
    }

    std::string target;
    fs::path object;
    std::uint64_t objectSize = 0;
    std::uint64_t cut = 0;
};

}  // namespace

TEST_F(Resume, AnObjectCutAt60PercentOnceIsContinuedFromThatByte) {
    server.SetFault(target, Fault{.closeAfterBytes = static_cast<std::int64_t>(cut), .times = 1});
    // What the progress showed done when the second transfer began.
    CViewBroser* view = GetViewBroser();
    std::int64_t doneAtRetry = -1;
    platform::SetSleepHook([&](DWORD milliseconds) {
        sleeps.push_back(milliseconds);
        doneAtRetry = view->GetDone(1);
        return DWORD{0};
    });
    const std::uint64_t sentBefore = server.BodyBytesSent();
    ASSERT_EQ(RunWorker(), 1u);
    EXPECT_EQ(sleeps, std::vector<DWORD>{1000});

    const std::vector<RecordedRequest> asked = ObjectRequests();
    ASSERT_EQ(asked.size(), 2u);
    EXPECT_TRUE(testsupport::IsDownloadRequest(asked[0], "bytes=0-"));
    EXPECT_EQ(asked[0].HeaderCount("If-Range"), 0u);
    const std::int64_t from = RangeStart(asked[1]);
    EXPECT_GT(from, static_cast<std::int64_t>(cut - kLostAtCut));
    EXPECT_LE(from, static_cast<std::int64_t>(cut));
    EXPECT_EQ(asked[1].HeaderCount("Range"), 1u);
    EXPECT_FALSE(asked[1].Header("If-Range").empty());
    EXPECT_LT(server.BodyBytesSent() - sentBefore, objectSize + (1u << 20));
    // The failed attempt rolled its bytes back, as a failed check does; the
    // continued transfer counted the kept ones again, so the file's progress
    // ends where a whole transfer's would.
    EXPECT_EQ(doneAtRetry, view->GetFileStart());
    ExpectInstalledAndNothingKept();
}

TEST_F(Resume, AnObjectThatChangedMeanwhileStartsOver) {
    server.SetFault(target, Fault{.closeAfterBytes = static_cast<std::int64_t>(cut), .times = 1});
    // Republished between the attempts: the same bytes, a new ETag.
    platform::SetSleepHook([&](DWORD milliseconds) {
        sleeps.push_back(milliseconds);
        fs::last_write_time(object, fs::last_write_time(object) + std::chrono::hours(1));
        return DWORD{0};
    });
    const std::uint64_t sentBefore = server.BodyBytesSent();
    ASSERT_EQ(RunWorker(), 1u);
    const std::vector<RecordedRequest> asked = ObjectRequests();
    ASSERT_EQ(asked.size(), 2u);
    EXPECT_GT(RangeStart(asked[1]), 0);
    // The server sent the whole object again, and it was taken whole.
    EXPECT_GE(server.BodyBytesSent() - sentBefore, objectSize + cut - kLostAtCut);
    ExpectInstalledAndNothingKept();
}

TEST_F(Resume, AServerThatIgnoresRangesGivesTheRightFile) {
    server.SetRangeAnswer206(false);
    server.SetFault(target, Fault{.closeAfterBytes = static_cast<std::int64_t>(cut), .times = 1});
    ASSERT_EQ(RunWorker(), 1u);
    const std::vector<RecordedRequest> asked = ObjectRequests();
    ASSERT_EQ(asked.size(), 2u);
    EXPECT_GT(RangeStart(asked[1]), 0);
    ExpectInstalledAndNothingKept();
}

TEST_F(Resume, AKeptPartSpoiledOnDiskFailsTheCheckAndStartsOver) {
    server.SetFault(target, Fault{.closeAfterBytes = static_cast<std::int64_t>(cut), .times = 1});
    const fs::path part = DataPath("Update/launcher/L1/big.pak.z.part");
    CViewBroser* view = GetViewBroser();
    std::vector<std::int64_t> doneAtRetries;
    platform::SetSleepHook([&](DWORD milliseconds) {
        sleeps.push_back(milliseconds);
        doneAtRetries.push_back(view->GetDone(1) - view->GetFileStart());
        // Once: a byte of the kept part changes on the disk.
        if (sleeps.size() == 1) {
            std::fstream file(part, std::ios::in | std::ios::out | std::ios::binary);
            file.seekg(1000);
            const char byte = static_cast<char>(file.get());
            file.seekp(1000);
            file.put(static_cast<char>(byte ^ 0x5a));
        }
        return DWORD{0};
    });
    ASSERT_EQ(RunWorker(), 1u);
    EXPECT_EQ(sleeps, (std::vector<DWORD>{1000, 2000}));
    EXPECT_EQ(doneAtRetries, (std::vector<std::int64_t>{0, 0}));
    const std::vector<RecordedRequest> asked = ObjectRequests();
    ASSERT_EQ(asked.size(), 3u);
    EXPECT_EQ(RangeStart(asked[0]), 0);
    EXPECT_GT(RangeStart(asked[1]), 0);
    EXPECT_EQ(RangeStart(asked[2]), 0);
    EXPECT_EQ(asked[2].HeaderCount("If-Range"), 0u);
    ExpectInstalledAndNothingKept();
}
