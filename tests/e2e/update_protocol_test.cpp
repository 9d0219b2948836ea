// The update protocol against a CDN made by the publisher: version answers,
// manifests, md5 lists and download workers, over real HTTP on 127.0.0.1.
#include "tests/e2e/update_fixture.h"
#include "tests/support/diag_lines.h"
#include "tests/support/request_checks.h"

#include "codec/md5_functions.h"
#include "platform/crt.h"
#include "platform/text.h"
#include "platform/thread_stop.h"
#include "state/launcher_settings.h"
#include "state/message_table.h"
#include "state/view_broser.h"
#include "update/download_worker.h"
#include "update/file_list.h"
#include "update/manifest.h"
#include "update/update_context.h"
#include "update/version_service.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <optional>
#include <random>
#include <thread>

namespace fs = std::filesystem;
using testsupport::Fault;
using testsupport::RandomBytes;
using testsupport::ReadBytes;
using testsupport::UpdateFixture;
using testsupport::WriteBytes;

namespace {

std::vector<std::wstring> PendingPaths() {
    std::vector<std::wstring> paths;
    for (const FileEntry& entry : GetUpdateContext()->pendingFiles)
        paths.push_back(entry.path);
    return paths;
}

class UpdateProtocol : public ::testing::Test, public UpdateFixture {
protected:
    void SetUp() override {
        WriteBytes(launcherDir / "Launcher.exe", "launcher program v1");
        WriteBytes(launcherDir / "ui.dll", "interface library v1");
        WriteBytes(launcherDir / "pv.ini", "[Config]\nLanguage=chs\n");
        WriteBytes(clientDir / "qm.exe", "game program");
        WriteBytes(clientDir / "data/world.pak", RandomBytes(300000, 1));
        WriteBytes(clientDir / "data/empty.txt", "");
        for (const char* name : {"Launcher.exe", "ui.dll", "pv.ini"})
            fs::copy_file(launcherDir / name, installedDir / name);
    }

    bool CheckClient() {
        CUpdateContext& context = *GetUpdateContext();
        std::wstring url;
        SetClientVersionUrl(platform::FromUtf8(PageUrl()), url);
        return QueryVersionService(L"", context, url) && CheckClientFiles(context);
    }

    // Publishes, checks the client and leaves only that entry pending.
    FileEntry OnlyPending(const std::wstring& path) {
        Publish();
        EXPECT_TRUE(CheckClient());
        const std::optional<FileEntry> entry = PendingEntry(path);
        EXPECT_TRUE(entry);
        GetUpdateContext()->pendingFiles = {entry.value_or(FileEntry{})};
        return entry.value_or(FileEntry{});
    }

    static std::optional<FileEntry> PendingEntry(const std::wstring& path) {
        const std::vector<FileEntry>& pending = GetUpdateContext()->pendingFiles;
        const auto found =
            std::find_if(pending.begin(), pending.end(), [&](const FileEntry& e) { return e.path == path; });
        return found == pending.end() ? std::nullopt : std::optional<FileEntry>(*found);
    }

    std::size_t RequestsFor(const std::string& suffix) const {
        const auto requests = server.Requests();
        return std::count_if(requests.begin(), requests.end(), [&](const auto& request) {
            return request.target.size() >= suffix.size() &&
                   request.target.compare(request.target.size() - suffix.size(), suffix.size(), suffix) == 0;
        });
    }
};

}  // namespace

TEST_F(UpdateProtocol, UnchangedLauncherNeedsNothing) {
    Publish();
    CUpdateContext& context = *GetUpdateContext();
    ASSERT_TRUE(CheckLauncherVersion(context));
    EXPECT_EQ(cdn_path, L"launcher/L1/");
    EXPECT_TRUE(context.pendingFiles.empty());
    EXPECT_EQ(context.launcherUpdatePending, 0);
    EXPECT_FALSE(context.indexMap.empty());
    EXPECT_TRUE(context.diffMap.empty());
    EXPECT_TRUE(sleeps.empty());
    EXPECT_EQ(GetViewBroser()->GetErrorText(), L"");

    // Exactly one request line per fetch, with the launcher's own headers.
    const auto requests = server.Requests();
    ASSERT_FALSE(requests.empty());
    EXPECT_EQ(requests[0].target, "/api/launcherversionnew?platform=pv");
    EXPECT_TRUE(testsupport::IsDownloadRequest(requests[0], "bytes=0-"));
}

TEST_F(UpdateProtocol, ChangedLibraryBringsTheLauncherAlong) {
    WriteBytes(installedDir / "ui.dll", "interface library v0");
    Publish();
    CUpdateContext& context = *GetUpdateContext();
    ASSERT_TRUE(CheckLauncherVersion(context));
    EXPECT_EQ(PendingPaths(), (std::vector<std::wstring>{L"ui.dll", L"Launcher.exe"}));
    EXPECT_EQ(context.launcherUpdatePending, 1);

    // Workers take the last entry first.
    server.ClearRequests();
    EXPECT_EQ(RunWorker(), 1u);
    EXPECT_EQ(PendingPaths(), std::vector<std::wstring>{L"ui.dll"});
    EXPECT_EQ(RequestsFor("/Launcher.exe.z"), 1u);
    EXPECT_EQ(RequestsFor("/ui.dll.z"), 0u);
    EXPECT_EQ(RunWorker(), 1u);
    EXPECT_TRUE(context.pendingFiles.empty());

    EXPECT_EQ(ReadBytes(DataPath("launcher/L1/Launcher.exe")), "launcher program v1");
    EXPECT_EQ(ReadBytes(DataPath("launcher/L1/ui.dll")), "interface library v1");
    // A packed copy whose file is in place is not kept.
    EXPECT_FALSE(fs::exists(DataPath("Update/launcher/L1/ui.dll.z")));
    EXPECT_FALSE(fs::exists(DataPath("Update/launcher/L1/Launcher.exe.z")));
}

TEST_F(UpdateProtocol, FreshClientIsInstalledWithFullProgress) {
    Publish();
    ASSERT_TRUE(CheckClient());
    CUpdateContext& context = *GetUpdateContext();
    EXPECT_EQ(cdn_path, L"C1/");
    EXPECT_EQ(context.packSuffix, L".lz");
    ASSERT_EQ(context.pendingFiles.size(), 3u);
    EXPECT_EQ(GetViewBroser()->GetTotal(1), 300000 + 12);

    while (!context.pendingFiles.empty())
        ASSERT_EQ(RunWorker(), 1u);
    EXPECT_EQ(ReadBytes(DataPath("C1/qm.exe")), "game program");
    EXPECT_TRUE(ReadBytes(DataPath("C1/data/world.pak")) == ReadBytes(clientDir / "data/world.pak"));
    EXPECT_TRUE(fs::exists(DataPath("C1/data/empty.txt")));
    EXPECT_EQ(fs::file_size(DataPath("C1/data/empty.txt")), 0u);
    CViewBroser* view = GetViewBroser();
    EXPECT_EQ(view->GetDone(1), view->GetTotal(1));
    EXPECT_EQ(view->GetFileEnd(), view->GetTotal(1));

    // A second check finds everything in place.
    ASSERT_TRUE(CheckClient());
    EXPECT_TRUE(context.pendingFiles.empty());
}

TEST_F(UpdateProtocol, CorruptDownloadIsRetriedAndRolledBack) {
    Publish();
    ASSERT_TRUE(CheckClient());
    CUpdateContext& context = *GetUpdateContext();
    // Only world.pak is left to fetch; its first transfer breaks.
    context.pendingFiles.erase(std::remove_if(context.pendingFiles.begin(), context.pendingFiles.end(),
                                              [](const FileEntry& e) { return e.path != L"data/world.pak"; }),
                               context.pendingFiles.end());
    const std::wstring url = ResolveCdnUrl(context, L"C1/data/world.pak.lz");
    const std::string target = platform::ToUtf8(url.substr(url.find(L"/cdn/")));
    server.SetFault(target, Fault{.closeAfterBytes = 1000});

    CViewBroser* view = GetViewBroser();
    std::wstring stageAtRetry;
    std::int64_t doneAtRetry = -1;
    std::int64_t fileStart = -1;
    platform::SetSleepHook([&](DWORD milliseconds) {
        sleeps.push_back(milliseconds);
        stageAtRetry = view->GetProgress().stageText;
        doneAtRetry = view->GetDone(1);
        fileStart = view->GetFileStart();
        server.ClearFaults();
        return DWORD{0};
    });
    EXPECT_EQ(RunWorker(), 1u);
    EXPECT_EQ(sleeps, std::vector<DWORD>{1000});
    EXPECT_EQ(stageAtRetry, kVerifyFailedText);
    EXPECT_EQ(doneAtRetry, fileStart);
    EXPECT_EQ(view->GetDone(1), view->GetFileEnd());
    EXPECT_TRUE(ReadBytes(DataPath("C1/data/world.pak")) == ReadBytes(clientDir / "data/world.pak"));
}

TEST_F(UpdateProtocol, FailedDownloadsLeaveTheInstalledFileAsItWas) {
    const std::string installed = "world.pak, the edition already installed";
    WriteBytes(DataPath("C1/data/world.pak"), installed);
    WriteBytes(DataPath("launcher/L1/ui.dll"), "interface library v0");
    WriteBytes(installedDir / "ui.dll", "interface library v0");
    Publish();
    ASSERT_TRUE(CheckClient());
    CUpdateContext& context = *GetUpdateContext();
    const std::optional<FileEntry> pending = PendingEntry(L"data/world.pak");
    ASSERT_TRUE(pending);
    const FileEntry world = *pending;
    const std::wstring url = ResolveCdnUrl(context, L"C1/data/world.pak.lz");
    const std::string target = platform::ToUtf8(url.substr(url.find(L"/cdn/")));
    const auto expectUntouched = [&](const char* what) {
        context.pendingFiles = {world};
        EXPECT_EQ(RunWorker(), 0u) << what;
        EXPECT_EQ(ReadBytes(DataPath("C1/data/world.pak")), installed) << what;
        // Nothing of the failed attempts is left beside it.
        EXPECT_EQ(std::distance(fs::directory_iterator(DataPath("C1/data")), fs::directory_iterator()), 1) << what;
    };

    server.SetFault(target, Fault{.closeAfterBytes = 1000});
    expectUntouched("cut off");
    server.ClearFaults();
    server.SetBody(target, "<html><body>502 Bad Gateway</body></html>");
    expectUntouched("error page sent with 200");
    server.SetBody(target, RandomBytes(4096, 9));
    expectUntouched("random bytes");

    // The launcher's files unpack through zlib: the same rule.
    ASSERT_TRUE(CheckLauncherVersion(context));
    ASSERT_EQ(PendingPaths(), (std::vector<std::wstring>{L"ui.dll", L"Launcher.exe"}));
    context.pendingFiles.pop_back();
    const std::wstring launcherUrl = ResolveCdnUrl(context, L"launcher/L1/ui.dll.z");
    server.SetBody(platform::ToUtf8(launcherUrl.substr(launcherUrl.find(L"/cdn/"))), "<html>Not here</html>");
    EXPECT_EQ(RunWorker(), 0u);
    EXPECT_EQ(ReadBytes(DataPath("launcher/L1/ui.dll")), "interface library v0");
    EXPECT_FALSE(fs::exists(DataPath("launcher/L1/ui.dll.qmnew")));
}

TEST_F(UpdateProtocol, PackedFileTakesNoMoreDiskThanItsListedSizeAllows) {
    const std::string installed = "world.pak, the edition already installed";
    WriteBytes(DataPath("C1/data/world.pak"), installed);
    ASSERT_EQ(OnlyPending(L"data/world.pak").size, 300000);
    // 40 MB without a length for a file listed at 300,000 bytes.
    const std::wstring url = ResolveCdnUrl(*GetUpdateContext(), L"C1/data/world.pak.lz");
    server.SetFault(platform::ToUtf8(url.substr(url.find(L"/cdn/"))),
                    Fault{.chunked = true, .body = RandomBytes(40 << 20, 5)});
    EXPECT_EQ(RunWorker(), 0u);
    const fs::path packed = DataPath("Update/C1/data/world.pak.lz");
    ASSERT_TRUE(fs::exists(packed));
    EXPECT_LE(fs::file_size(packed), 300000u + 150000u + (1u << 20));
    EXPECT_EQ(ReadBytes(DataPath("C1/data/world.pak")), installed);
}

TEST_F(UpdateProtocol, UnpackingStopsAtTheListedSize) {
    // Listed smaller than what its packed file holds, for either unpacker;
    // only the size is wrong, so the digest alone would pass it.
    WriteBytes(installedDir / "ui.dll", "interface library v0");
    OnlyPending(L"data/world.pak");
    CUpdateContext& context = *GetUpdateContext();
    context.pendingFiles.back().size = 1000;
    EXPECT_EQ(RunWorker(), 0u);
    EXPECT_FALSE(fs::exists(DataPath("C1/data/world.pak")));

    ASSERT_TRUE(CheckLauncherVersion(context));
    ASSERT_EQ(PendingPaths(), (std::vector<std::wstring>{L"ui.dll", L"Launcher.exe"}));
    context.pendingFiles.pop_back();
    context.pendingFiles.back().size = 5;
    EXPECT_EQ(RunWorker(), 0u);
    EXPECT_FALSE(fs::exists(DataPath("launcher/L1/ui.dll")));
}

TEST_F(UpdateProtocol, UnresolvablePathFailsAfterFiveAttempts) {
    Publish();
    ASSERT_TRUE(CheckClient());
    CUpdateContext& context = *GetUpdateContext();
    context.pendingFiles = {FileEntry{L"nowhere/x.bin", 5, L"0123456789abcdef"}};
    server.ClearRequests();
    EXPECT_EQ(RunWorker(), 0u);
    EXPECT_EQ(sleeps, (std::vector<DWORD>{1000, 2000, 4000, 8000}));
    EXPECT_EQ(GetViewBroser()->GetProgress().stageText, g_messages.entries[5]);
    EXPECT_TRUE(context.pendingFiles.empty());
    EXPECT_TRUE(server.Requests().empty());
}

TEST_F(UpdateProtocol, EntriesThatClimbOutOfTheDataFolderWriteNothing) {
    Publish();
    ASSERT_TRUE(CheckClient());
    CUpdateContext& context = *GetUpdateContext();
    for (const wchar_t* path : {L"../../escaped.txt", L"/tmp/escaped.txt", L"data/../../../escaped.txt"}) {
        context.pendingFiles = {FileEntry{path, 3, L"3cd24fb0d6963f7d"}};
        EXPECT_EQ(RunWorker(), 0u) << platform::ToUtf8(path);
        EXPECT_TRUE(context.pendingFiles.empty());
    }
    EXPECT_FALSE(fs::exists(work.Path() / "escaped.txt"));
    EXPECT_FALSE(fs::exists(work.Path() / "data" / "escaped.txt"));
    EXPECT_FALSE(fs::exists("/tmp/escaped.txt"));
}

TEST_F(UpdateProtocol, PackedFileLargerThanItsContentStopsAtTheFileEnd) {
    // A few random bytes grow when packed: the download passes fileEnd.
    WriteBytes(clientDir / "tiny.bin", RandomBytes(7, 3));
    Publish();
    ASSERT_TRUE(CheckClient());
    CUpdateContext& context = *GetUpdateContext();
    context.pendingFiles.erase(std::remove_if(context.pendingFiles.begin(), context.pendingFiles.end(),
                                              [](const FileEntry& e) { return e.path != L"tiny.bin"; }),
                               context.pendingFiles.end());
    ASSERT_EQ(context.pendingFiles.size(), 1u);
    CViewBroser* view = GetViewBroser();
    const std::int64_t before = view->GetFileEnd();
    EXPECT_EQ(RunWorker(), 1u);
    EXPECT_EQ(view->GetFileEnd(), before + 7);
    EXPECT_EQ(view->GetDone(1), before + 7);
}

TEST_F(UpdateProtocol, DiffManifestServesChangedFilesAndTreesTheRest) {
    Publish("L1", "C1");
    const fs::path first = work.Path() / "first-cdn";
    fs::copy(cdnDir, first, fs::copy_options::recursive);
    WriteBytes(clientDir / "qm.exe", "game program, second edition");
    Publish("L1", "C1", first);

    ASSERT_TRUE(CheckClient());
    CUpdateContext& context = *GetUpdateContext();
    EXPECT_EQ(cdn_path, L"C1/");
    ASSERT_FALSE(context.diffMap.empty());
    EXPECT_NE(ResolveCdnUrl(context, L"C1/qm.exe.lz").find(L"/file/"), std::wstring::npos);
    EXPECT_NE(ResolveCdnUrl(context, L"C1/data/world.pak.lz").find(L"/tree/"), std::wstring::npos);
    while (!context.pendingFiles.empty())
        ASSERT_EQ(RunWorker(), 1u);
    EXPECT_EQ(ReadBytes(DataPath("C1/qm.exe")), "game program, second edition");
}

TEST_F(UpdateProtocol, BrokenManifestTransferIsNotTakenForRecords) {
    Publish();
    const std::string answer = ReadBytes(cdnDir / "answers" / "client.txt");
    const std::size_t start = answer.find("cdn_index=") + 10;
    const std::string indexName = answer.substr(start, answer.find('|', start) - start);
    server.SetFault("/cdn/index/" + indexName, Fault{.closeAfterBytes = 30});

    CUpdateContext& context = *GetUpdateContext();
    std::wstring url;
    SetClientVersionUrl(platform::FromUtf8(PageUrl()), url);
    EXPECT_FALSE(QueryVersionService(L"", context, url));
    EXPECT_TRUE(context.indexMap.empty());
    // Every attempt at the answer retries its manifest five times.
    EXPECT_EQ(RequestsFor("/cdn/index/" + indexName), 25u);
    EXPECT_EQ(sleeps.size(), 24u);
}

TEST_F(UpdateProtocol, ManifestOfOddSizeFailsTheAnswer) {
    Publish();
    server.SetBody("/cdn/index/odd", std::string(51, 'x'));
    server.SetBody("/cdn/index/even", std::string(50, 'x'));
    CUpdateContext& context = *GetUpdateContext();
    const std::string base = server.BaseUrl() + "/cdn/";
    EXPECT_FALSE(ParseVersionAnswer(platform::FromUtf8("cdn_url=" + base + "|cdn_path=C1/|cdn_index=odd|web_url=w"),
                                    L"", context));
    EXPECT_TRUE(context.indexMap.empty());
    EXPECT_TRUE(ParseVersionAnswer(platform::FromUtf8("cdn_url=" + base + "|cdn_path=C1/|cdn_index=even|web_url=w"),
                                   L"", context));
    EXPECT_EQ(context.indexMap.size(), 1u);
    // A named diff without records fails the answer although the index is there.
    server.SetBody("/cdn/diff/even..none", "");
    EXPECT_FALSE(ParseVersionAnswer(
        platform::FromUtf8("cdn_url=" + base + "|cdn_path=C1/|cdn_index=even|cdn_diff_index=none|web_url=w"), L"",
        context));
    EXPECT_FALSE(context.indexMap.empty());
    EXPECT_TRUE(context.diffMap.empty());
}

TEST_F(UpdateProtocol, LauncherQueryFailureSetsItsErrorText) {
    g_settings.versionUrl =
        L"http://127.0.0.1:" + std::to_wstring(testsupport::LoopbackServer::RefusedPort()) + L"/api/launcherversionnew";
    EXPECT_FALSE(CheckLauncherVersion(*GetUpdateContext()));
    EXPECT_EQ(GetViewBroser()->GetErrorText(), g_messages.entries[11]);
    EXPECT_EQ(sleeps.size(), 4u);
}

TEST_F(UpdateProtocol, EachDecisionAndFailureOfTheProtocolIsInTheDiagnosticLog) {
    Publish();
    testsupport::DiagLines diag;
    ASSERT_TRUE(CheckClient());
    const std::string base = server.BaseUrl();
    std::vector<std::string> lines = diag.Take();
    // The answer, the list and the comparison, between the request lines.
    std::vector<std::string> decisions;
    std::copy_if(lines.begin(), lines.end(), std::back_inserter(decisions),
                 [](const std::string& line) { return line.rfind("request: ", 0) != 0; });
    ASSERT_EQ(decisions.size(), 3u) << ::testing::PrintToString(lines);
    EXPECT_EQ(decisions[0].rfind("version: answer: cdn_url " + base + "/cdn/, cdn_path C1/, index ", 0), 0u)
        << decisions[0];
    EXPECT_EQ(decisions[1], "list: C1/qm.md5: 3 entries");
    EXPECT_EQ(decisions[2], "list: 3 of 3 files to fetch, 300012 of 300012 bytes (no local folder yet)");

    // A file that no download matches: each attempt says why, then the worker gives up.
    CUpdateContext& context = *GetUpdateContext();
    context.pendingFiles = {FileEntry{L"nowhere/x.bin", 5, L"0123456789abcdef"},
                            FileEntry{L"qm.exe", 12, L"0123456789abcdef"}};
    EXPECT_EQ(RunWorker(), 0u);
    lines = diag.Take();
    const std::string mismatch = "file (problem): qm.exe: attempt 5: the unpacked file's digest " +
                                 platform::ToUtf8(Md5TextOfFile(platform::FromUtf8((clientDir / "qm.exe").string()))) +
                                 " is not the list's 0123456789abcdef";
    EXPECT_NE(std::find(lines.begin(), lines.end(), mismatch), lines.end()) << ::testing::PrintToString(lines);
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.back(), "file (problem): qm.exe: given up after 5 attempts");

    // One that no manifest knows.
    EXPECT_EQ(RunWorker(), 0u);
    lines = diag.Take();
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.front(),
              "file (problem): nowhere/x.bin: neither manifest knows C1/nowhere/x.bin.lz, so it has no URL");
    EXPECT_EQ(lines.back(), "file (problem): nowhere/x.bin: given up after 5 attempts");

    EXPECT_FALSE(ParseVersionAnswer(L"cdn_url=a|cdn_path=b|web_url=c", L"", context));
    EXPECT_EQ(diag.Take(), std::vector<std::string>{"version (problem): an answer of 3 fields, 4 or more needed: "
                                                    "\"cdn_url=a|cdn_path=b|web_url=c\""});
}

namespace {

// A data folder on a small volume of its own.
class SmallDisk : public UpdateProtocol {
protected:
    void SetUp() override {
        UpdateProtocol::SetUp();
        if (!MountSmallDataFolder(kVolume))
            GTEST_SKIP() << "mounting a " << kVolume << " tmpfs needs root";
    }

    // The figures the short-disk text names, as it names them.
    static std::pair<std::uint64_t, std::uint64_t> Figures(const std::wstring& text) {
        const std::wstring marks[] = {L"更新需要 ", L"只剩 "};
        std::uint64_t figures[2] = {0, 0};
        for (int i = 0; i < 2; ++i) {
            const std::size_t at = text.find(marks[i]);
            if (at != std::wstring::npos)
                figures[i] = std::stoull(text.substr(at + marks[i].size()));
        }
        return {figures[0], figures[1]};
    }

    static constexpr char kVolume[] = "16m";
    static constexpr std::uint64_t kMiB = 1 << 20;
};

}  // namespace

TEST_F(SmallDisk, ClientTooLargeForTheVolumeEndsBeforeAnyTransfer) {
    // 20 MiB that packs small: only the listed size can tell it will not fit.
    WriteBytes(clientDir / "data/world.pak", std::string(20 * kMiB, 'w'));
    Publish();
    ASSERT_TRUE(CheckClient());
    server.ClearRequests();
    testsupport::DiagLines diag;

    const auto start = std::chrono::steady_clock::now();
    RunClientDownload();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));

    const std::wstring text = GetViewBroser()->GetErrorText();
    const std::wstring folder = g_settings.dataFolder;
    EXPECT_EQ(text.rfind(L"磁盘空间不足：更新需要 ", 0), 0u) << platform::ToUtf8(text);
    EXPECT_NE(text.find(L"，" + folder + L" 所在磁盘只剩 "), std::wstring::npos) << platform::ToUtf8(text);
    const auto [needed, available] = Figures(text);
    // The listed size alone passes the volume; what is free stays below it.
    EXPECT_GT(needed, 20u);
    EXPECT_LE(available, 16u);
    EXPECT_EQ(available, fs::space(DataPath("")).available / kMiB);
    // No object, no retry, nothing written.
    EXPECT_TRUE(server.Requests().empty());
    EXPECT_TRUE(sleeps.empty());
    EXPECT_TRUE(testsupport::FilesBelow(DataPath("")).empty());
    const std::vector<std::string> lines = diag.Take();
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.back().rfind("stage (problem): client download: the disk is short: ", 0), 0u) << lines.back();
    EXPECT_NE(lines.back().find(" free at " + platform::ToUtf8(folder)), std::string::npos) << lines.back();
}

TEST_F(SmallDisk, DiskFilledByAnotherWriterEndsAtTheFirstFailedWrite) {
    // Does not pack smaller: its packed copy passes the transfer buffer, so
    // it is on disk while the body still arrives.
    WriteBytes(clientDir / "data/world.pak", RandomBytes(2 * kMiB + kMiB / 2, 7));
    Publish();
    ASSERT_TRUE(CheckClient());
    while (!GetUpdateContext()->pendingFiles.empty())
        ASSERT_EQ(RunWorker(), 1u);
    EXPECT_TRUE(testsupport::FilesBelow(DataPath("Update")).empty());
    // The installed copy differs from the list, so it is fetched again.
    const std::string installed = RandomBytes(2 * kMiB, 8);
    WriteBytes(DataPath("C1/data/world.pak"), installed);
    ASSERT_TRUE(CheckClient());
    ASSERT_EQ(PendingPaths(), std::vector<std::wstring>{L"data/world.pak"});
    GetDiagLog()->Open(g_settings.dataFolder);

    const std::wstring url = ResolveCdnUrl(*GetUpdateContext(), L"C1/data/world.pak.lz");
    server.SetFault(platform::ToUtf8(url.substr(url.find(L"/cdn/"))),
                    Fault{.slowBodyDelayMs = 20, .chunkBytes = 64 << 10});
    server.ClearRequests();
    // Once a first block is on disk, another writer takes what is left.
    std::chrono::steady_clock::time_point filled;
    std::thread filler([&] {
        const fs::path packed = DataPath("Update/C1/data/world.pak.lz");
        for (int i = 0; i < 1000; ++i) {
            std::error_code error;
            if (fs::file_size(packed, error) >= kMiB && !error)
                break;
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        std::FILE* file = platform::OpenCFile(work.Path() / "data" / "filler", "wb");
        if (file)
            std::setvbuf(file, nullptr, _IONBF, 0);
        const std::string block(64 << 10, 'f');
        while (file && std::fwrite(block.data(), block.size(), 1, file) == 1) {
        }
        if (file)
            std::fclose(file);
        filled = std::chrono::steady_clock::now();
    });
    RunClientDownload();
    const auto ended = std::chrono::steady_clock::now();
    filler.join();
    EXPECT_LT(ended - filled, std::chrono::seconds(1));

    const std::wstring text = GetViewBroser()->GetErrorText();
    EXPECT_EQ(text.rfind(L"磁盘空间不足：更新需要 ", 0), 0u) << platform::ToUtf8(text);
    EXPECT_NE(text.find(g_settings.dataFolder + L" 所在磁盘只剩 "), std::wstring::npos);
    EXPECT_EQ(RequestsFor("/world.pak.lz"), 1u);
    EXPECT_TRUE(sleeps.empty());
    // What was installed stays; neither the packed copy nor the file being
    // unpacked is left taking room.
    EXPECT_TRUE(ReadBytes(DataPath("C1/data/world.pak")) == installed);
    EXPECT_EQ(ReadBytes(DataPath("C1/qm.exe")), "game program");
    EXPECT_TRUE(testsupport::FilesBelow(DataPath("Update")).empty());
    EXPECT_FALSE(fs::exists(DataPath("C1/data/world.pak.qmnew")));
    const std::string log = ReadBytes(DataPath("launcher-diag.log"));
    EXPECT_NE(log.find("file (problem): data/world.pak: the disk is short: "), std::string::npos) << log;
}
