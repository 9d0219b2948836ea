// A client installed by the download driver's workers side by side, against
// a published tree on 127.0.0.1, while another thread watches the progress
// the dialog would show.
#include "tests/e2e/update_fixture.h"

#include "platform/text.h"
#include "state/update_events.h"
#include "state/view_broser.h"
#include "update/file_list.h"
#include "update/manifest.h"
#include "update/update_context.h"
#include "update/version_service.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <map>
#include <thread>

namespace fs = std::filesystem;
using testsupport::RandomBytes;
using testsupport::ReadBytes;
using testsupport::WriteBytes;

namespace {

class SideBySideInstall : public ::testing::Test, public testsupport::UpdateFixture {
protected:
    void SetUp() override {
        WriteBytes(launcherDir / "Launcher.exe", "launcher program");
        WriteBytes(launcherDir / "pv.ini", "[Config]\nLanguage=chs\n");
    }

    bool CheckClient() {
        CUpdateContext& context = *GetUpdateContext();
        std::wstring url;
        SetClientVersionUrl(platform::FromUtf8(PageUrl()), url);
        return QueryVersionService(L"", context, url) && CheckClientFiles(context);
    }

    // The server's target of a client file's packed object.
    static std::string TargetOf(const std::string& path) {
        const std::wstring url = ResolveCdnUrl(*GetUpdateContext(), L"C1/" + platform::FromUtf8(path) + L".lz");
        return platform::ToUtf8(url.substr(url.find(L"/cdn/")));
    }
};

// Text-like bytes that decode fast.
std::string Records(std::size_t size, int seed) {
    std::string text;
    for (int line = 0; text.size() < size; ++line)
        text += "record " + std::to_string(seed) + "." + std::to_string(line % 613) + " =" +
                std::to_string(line * 37 % 101) + "\n";
    text.resize(size);
    return text;
}

}  // namespace

TEST_F(SideBySideInstall, ProgressGoesBackOnlyForTheCorruptFileAndOnlyItIsFetchedAgain) {
    std::map<std::string, std::string> files;
    for (int i = 0; i < 8; ++i) {
        const std::string path = "data/part" + std::to_string(i) + ".pak";
        files[path] = i % 2 ? RandomBytes(150000 + 1000 * i, i) : Records(300000 + 1000 * i, i);
        WriteBytes(clientDir / path, files[path]);
    }
    Publish();
    ASSERT_TRUE(CheckClient());
    CUpdateContext& context = *GetUpdateContext();
    ASSERT_EQ(context.pendingFiles.size(), files.size());

    // One packed object arrives corrupt once, whole and of the right length.
    const std::string corruptPath = "data/part5.pak";
    const std::string corruptTarget = TargetOf(corruptPath);
    std::string corrupt = ReadBytes(cdnDir / corruptTarget.substr(5));
    corrupt[corrupt.size() / 2] ^= 0x5a;
    server.SetFault(corruptTarget, testsupport::Fault{.body = corrupt, .times = 1});
    server.ClearRequests();

    CViewBroser* view = GetViewBroser();
    const std::int64_t total = view->GetTotal(1);
    std::atomic<bool> installing{true};
    std::vector<std::int64_t> drops;
    std::int64_t highest = 0;
    std::size_t samples = 0;
    std::thread watcher([&] {
        std::int64_t last = view->GetProgress().done[1];
        while (installing) {
            const std::int64_t done = view->GetProgress().done[1];
            if (done < last)
                drops.push_back(last - done);
            last = done;
            highest = std::max(highest, done);
            ++samples;
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
    });
    RunClientDownload();
    installing = false;
    watcher.join();

    EXPECT_EQ(GetViewBroser()->GetErrorText(), L"");
    EXPECT_EQ(WaitForSingleObject(ClientDownloadedEvent, 0), WAIT_OBJECT_0);
    EXPECT_TRUE(context.pendingFiles.empty());
    for (const auto& [path, bytes] : files)
        EXPECT_TRUE(ReadBytes(DataPath("C1/" + path)) == bytes) << path;
    // Nothing of ours is left beside the files.
    EXPECT_EQ(testsupport::FilesBelow(DataPath("C1")).size(), files.size());
    EXPECT_TRUE(testsupport::FilesBelow(DataPath("Update")).empty());

    // The whole only ever grew, but for the one rollback of the corrupt
    // file's own part; it never passed the total and ends there.
    EXPECT_GT(samples, 10u);
    EXPECT_LE(drops.size(), 1u);
    for (std::int64_t drop : drops)
        EXPECT_LE(drop, static_cast<std::int64_t>(files[corruptPath].size()));
    EXPECT_LE(highest, total);
    EXPECT_EQ(view->GetDone(1), total);

    // One retry, after the first wait, of that file alone.
    EXPECT_EQ(sleeps, std::vector<DWORD>{1000});
    std::map<std::string, int> requests;
    for (const auto& request : server.Requests())
        ++requests[request.target];
    for (const auto& [path, bytes] : files)
        EXPECT_EQ(requests[TargetOf(path)], path == corruptPath ? 2 : 1) << path;
}
