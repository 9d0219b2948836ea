// "prune" on a folder with three releases: what the last two lead to stays
// installable from scratch, the oldest one's bodies go, and a dry run
// removes nothing.
#include "tests/e2e/update_fixture.h"

#include "platform/text.h"
#include "tools/cdn/publish/prune.h"
#include "tools/cdn/publish/publish_error.h"
#include "tools/cdn/publish/publisher.h"
#include "tools/cdn/publish/release_history.h"
#include "update/download_worker.h"
#include "update/file_list.h"
#include "update/update_context.h"
#include "update/version_service.h"

#include <gtest/gtest.h>

#include <set>
#include <sstream>

namespace fs = std::filesystem;
using testsupport::RandomBytes;
using testsupport::ReadBytes;
using testsupport::UpdateFixture;
using testsupport::WriteBytes;

namespace {

class PruneReleases : public ::testing::Test, public UpdateFixture {
protected:
    void SetUp() override {
        WriteBytes(launcherDir / "Launcher.exe", "launcher program");
        WriteBytes(launcherDir / "pv.ini", "[Config]\nLanguage=chs\n");
        for (const char* name : {"Launcher.exe", "pv.ini"})
            fs::copy_file(launcherDir / name, installedDir / name);
        WriteBytes(clientDir / "readme.txt", "the same in every release");
    }

    // Release n: a world and a program of its own.
    void PublishRelease(int n) {
        worlds.push_back(RandomBytes(120000, static_cast<unsigned>(n)));
        WriteBytes(clientDir / "data/world.pak", worlds.back());
        WriteBytes(clientDir / "qm.exe", "game program v" + std::to_string(n));
        Publish("L1", "C1", n == 1 ? fs::path() : cdnDir);
    }

    // Every file the server answers from, relative to the folder.
    std::set<std::string> Served() const {
        std::set<std::string> files;
        for (const char* folder : {"index", "diff", "file", "tree"})
            if (fs::exists(cdnDir / folder))
                for (const auto& entry : fs::recursive_directory_iterator(cdnDir / folder))
                    if (entry.is_regular_file())
                        files.insert(fs::relative(entry.path(), cdnDir).generic_string());
        return files;
    }

    // A fresh install of the client the answer in answers/ names.
    bool InstallFrom(const fs::path& answers) {
        fs::remove_all(DataPath("C1"));
        fs::remove_all(DataPath("Update"));
        server.SetBody("/web/pcversion", ReadBytes(answers / "client.txt"));
        CUpdateContext& context = *GetUpdateContext();
        std::wstring url;
        SetClientVersionUrl(platform::FromUtf8(PageUrl()), url);
        if (!QueryVersionService(L"", context, url) || !CheckClientFiles(context))
            return false;
        while (!context.pendingFiles.empty())
            if (RunWorker() != 1)
                return false;
        return true;
    }

    PruneSummary RunPrune(unsigned keep, bool dryRun, std::string* log = nullptr) {
        std::ostringstream out;
        const PruneSummary summary = Prune(PruneOptions{cdnDir, keep, dryRun}, out);
        if (log)
            *log = out.str();
        return summary;
    }

    std::vector<std::string> worlds;
};

}  // namespace

TEST_F(PruneReleases, TheLastReleasesStayInstallableAndTheOldestGoes) {
    PublishRelease(1);
    const std::set<std::string> first = Served();
    PublishRelease(2);
    const std::set<std::string> second = Served();
    PublishRelease(3);
    const std::set<std::string> before = Served();
    ASSERT_EQ(ReleaseHistory(cdnDir).size(), 3u);

    std::string dryLog;
    const PruneSummary dry = RunPrune(2, true, &dryLog);
    EXPECT_GT(dry.files, 0u);
    EXPECT_EQ(Served(), before);
    EXPECT_EQ(ReleaseHistory(cdnDir).size(), 3u);
    EXPECT_NE(dryLog.find("nothing was removed"), std::string::npos) << dryLog;

    std::string log;
    const PruneSummary pruned = RunPrune(2, false, &log);
    EXPECT_EQ(pruned.files, dry.files);
    EXPECT_EQ(pruned.bytes, dry.bytes);
    const std::set<std::string> after = Served();
    EXPECT_EQ(after.size(), before.size() - pruned.files);
    // The first release's index, world and program are gone; the launcher,
    // the same in every release, stays.
    std::size_t gone = 0;
    for (const std::string& file : first) {
        const bool own =
            file.rfind("index/", 0) == 0 || file.ends_with("/world.pak.lz") || file.ends_with("/qm.exe.lz");
        if (own) {
            ++gone;
            EXPECT_EQ(after.count(file), 0u) << file;
            EXPECT_NE(log.find("removed " + file + "\n"), std::string::npos) << file << "\n" << log;
        }
        if (file.ends_with("/Launcher.exe.z")) {
            EXPECT_EQ(after.count(file), 1u) << file;
        }
    }
    EXPECT_EQ(gone, 3u);
    // Whatever the second and third publish wrote stays, the tree copies of
    // files the launcher fetches through the diff included: a later publish
    // names those trees again.
    for (const std::string& file : before) {
        if (first.count(file) == 0) {
            EXPECT_EQ(after.count(file), 1u) << file;
        }
    }
    EXPECT_GT(second.size(), first.size());
    const std::vector<fs::path> history = ReleaseHistory(cdnDir);
    ASSERT_EQ(history.size(), 2u);

    // A fresh install from the current and from the previous release.
    ASSERT_TRUE(InstallFrom(cdnDir / "answers"));
    EXPECT_EQ(ReadBytes(DataPath("C1/data/world.pak")), worlds[2]);
    ASSERT_TRUE(InstallFrom(history.front()));
    EXPECT_EQ(ReadBytes(DataPath("C1/data/world.pak")), worlds[1]);
    EXPECT_EQ(ReadBytes(DataPath("C1/qm.exe")), "game program v2");

    // The current answers' bodies stay whatever the history says: without
    // the newest entry, keeping one release keeps the second and the third.
    fs::remove_all(history.back());
    EXPECT_EQ(RunPrune(1, false).files, 0u);
    EXPECT_EQ(Served(), after);
    EXPECT_TRUE(InstallFrom(cdnDir / "answers"));
    EXPECT_EQ(ReadBytes(DataPath("C1/data/world.pak")), worlds[2]);

    // A folder without history is refused, and nothing goes.
    fs::remove_all(cdnDir / "history");
    const std::set<std::string> left = Served();
    EXPECT_THROW(RunPrune(1, false), PublishError);
    EXPECT_EQ(Served(), left);
}
