// The update threads end to end: launcher chain, client check and chain,
// game start, on real threads against a published tree on 127.0.0.1, with
// stand-in windows receiving what the threads post and show.
#include "tests/e2e/stand_in_windows.h"
#include "tests/e2e/update_fixture.h"

#include "app/update_threads.h"
#include "codec/md5_functions.h"
#include "platform/text.h"
#include "platform/window_automation.h"
#include "state/controller.h"
#include "state/launcher_settings.h"
#include "state/message_table.h"
#include "state/update_events.h"
#include "state/view_broser.h"
#include "update/update_context.h"
#include "update/version_service.h"

#include <gtest/gtest.h>

#include <chrono>
#include <random>
#include <thread>

namespace fs = std::filesystem;
using testsupport::Fault;
using testsupport::RandomBytes;
using testsupport::ReadBytes;
using testsupport::StandInMainWindow;
using testsupport::StandInPageWindow;
using testsupport::StandInProgressWindow;
using testsupport::UpdateFixture;
using testsupport::WriteBytes;

namespace {

constexpr DWORD kPatienceMs = 20000;

bool PumpUntil(const std::function<bool()>& done) {
    return platform::RunMessagesUntil(done, kPatienceMs);
}

// Runs the window thread for a while so that anything wrongly started would show.
void PumpFor(DWORD milliseconds) {
    platform::RunMessagesUntil([] { return false; }, milliseconds);
}

class UpdateChain : public ::testing::Test, public UpdateFixture {
protected:
    void SetUp() override {
        StopLauncherCheck();
        StopClientUpdate();
        GetController()->closing = 0;
        GetController()->mainDialog = &main;
        // A steady tick keeps the test's message loop looking at its conditions.
        main.SetTimer(1, 10);
        CViewBroser* view = GetViewBroser();
        view->SetWindows(&main, &page);
        view->SetProgressDialog(&progress);

        settingsText =
            "[Config]\nWeb=" + PageUrl() + "\nVersion=" + server.BaseUrl() + "/api/launcherversionnew\nLanguage=chs\n";
        fs::copy_file(QM_ECHO_ARGS_PROGRAM, launcherDir / "Launcher.exe");
        WriteBytes(launcherDir / "ui.dll", "interface library v1");
        WriteBytes(launcherDir / "pv.ini", settingsText);
        fs::copy_file(QM_ECHO_ARGS_PROGRAM, clientDir / "qm.exe");
        // Incompressible, so that a slow transfer of it takes a while.
        WriteBytes(clientDir / "data/world.pak", RandomBytes(2 << 20, 7));
        WriteBytes(clientDir / "readme.txt", "welcome");
        for (const char* name : {"Launcher.exe", "ui.dll"})
            fs::copy_file(launcherDir / name, installedDir / name);
        // The installed launcher is current, settings file included.
        WriteBytes(installedDir / "pv.ini", settingsText);
        g_settings.webUrl = L"http://old.example/page.html";
    }

    void TearDown() override {
        GetViewBroser()->SetWindows(nullptr, nullptr);
        GetViewBroser()->SetProgressDialog(nullptr);
        GetController()->mainDialog = nullptr;
    }

    // What the main window does when the page reports its version address.
    void PageReportsVersion(const std::string& pageUrl) {
        if (UpdateClientVersionUrl(*GetUpdateContext(), platform::FromUtf8(pageUrl))) {
            StopClientUpdate();
            StartClientCheck();
        }
    }

    void PageHandsOverAnswer(const std::string& answer) {
        if (SetPageAnswer(*GetUpdateContext(), platform::FromUtf8(answer))) {
            StopClientUpdate();
            StartClientCheck();
        }
    }

    void StartGameWith(const std::wstring& args) {
        main.SetGameArgs(args);
        GetViewBroser()->SetProgressActive(1);
        StartGameStart();
    }

    // Starts the client chain of C1 with world.pak arriving slowly and
    // returns its packed file once the transfer is under way (empty if it
    // never started).
    fs::path StartSlowClientDownload() {
        for (const auto& entry : fs::recursive_directory_iterator(cdnDir / "tree"))
            if (entry.path().filename() == "world.pak.lz")
                server.SetFault("/cdn/" + fs::relative(entry.path(), cdnDir).generic_string(),
                                Fault{.slowBodyDelayMs = 200});
        SetEvent(ClientCheckReadyEvent);
        PageReportsVersion(PageUrl());
        const fs::path packed = DataPath("Update/C1/data/world.pak.lz");
        if (!PumpUntil([&] { return fs::exists(packed) && GetViewBroser()->GetDone(0) > 0; }))
            return fs::path();
        return packed;
    }

    // Where the published tree serves the server's copy of the settings file.
    std::string SettingsTarget() const {
        for (const auto& entry : fs::recursive_directory_iterator(cdnDir / "tree"))
            if (entry.path().filename() == "pv.ini")
                return "/cdn/" + fs::relative(entry.path(), cdnDir).generic_string();
        return std::string();
    }

    std::size_t RequestsStartingWith(const std::string& prefix) const {
        std::size_t count = 0;
        for (const auto& request : server.Requests())
            count += request.target.compare(0, prefix.size(), prefix) == 0;
        return count;
    }

    std::string settingsText;
    StandInMainWindow main;
    StandInPageWindow page;
    StandInProgressWindow progress;
};

std::string WaitForRecord(const fs::path& folder) {
    const fs::path record = folder / "echo_args.txt";
    std::string text;
    platform::RunMessagesUntil(
        [&] {
            text = ReadBytes(record);
            return !text.empty() && text.find("\ncwd=") != std::string::npos && text.back() == '\n';
        },
        kPatienceMs);
    return text;
}

}  // namespace

TEST_F(UpdateChain, PlainStartWithNothingToUpdateThenClientInstallAndGame) {
    Publish();
    GetViewBroser()->SetProgressActive(1);
    StartLauncherCheck();
    // The finishing thread closes the dialog, clears progressActive, shows
    // the main window and then the page window; the close and the two shows
    // reach this thread one at a time. The main window alone is a state the
    // launcher passes through, so the test waits for the page's show, the
    // last step, and for the posted close, then checks the rest.
    ASSERT_TRUE(PumpUntil([&] { return progress.closed && page.IsWindowVisible(); }))
        << platform::ToUtf8(GetViewBroser()->GetErrorText()) << " / "
        << platform::ToUtf8(GetViewBroser()->GetProgress().stageText) << " / dialog closed " << progress.closed.load()
        << ", page shown " << page.IsWindowVisible();
    EXPECT_TRUE(progress.closedByLauncher);
    EXPECT_EQ(GetViewBroser()->GetProgressActive(), 0);
    EXPECT_TRUE(main.IsWindowVisible());
    EXPECT_FALSE(main.closed);
    // The server's settings file replaced the local one and named a new page.
    EXPECT_EQ(ReadBytes(installedDir / "pv.ini"), settingsText);
    EXPECT_EQ(page.Urls(), std::vector<std::wstring>{platform::FromUtf8(PageUrl())});
    EXPECT_EQ(g_settings.webUrl, platform::FromUtf8(PageUrl()));
    EXPECT_FALSE(fs::exists(installedDir / "pv.ini.download"));

    PageReportsVersion(PageUrl());
    StartGameWith(L"-token \"abc\"");
    ASSERT_TRUE(PumpUntil([&] { return main.closed.load(); }));

    const std::string record = WaitForRecord(DataPath("C1"));
    const std::string launcherPath = platform::ToUtf8(g_settings.launcherPath);
    EXPECT_NE(record.find("line=-token \"abc\" \"" + launcherPath + "\"\n"), std::string::npos) << record;
    EXPECT_NE(record.find("cwd=" + DataPath("C1").string() + "\n"), std::string::npos) << record;
    EXPECT_EQ(ReadBytes(DataPath("C1/readme.txt")), "welcome");
    EXPECT_EQ(fs::file_size(DataPath("C1/data/world.pak")), 2u << 20);
    EXPECT_EQ(GetViewBroser()->GetProgress().stageText, g_messages.entries[2]);
    EXPECT_EQ(GetViewBroser()->GetErrorText(), L"");
}

TEST_F(UpdateChain, NewLauncherIsStartedFromItsDownloadFolder) {
    WriteBytes(installedDir / "ui.dll", "interface library v0");
    Publish();
    GetViewBroser()->SetProgressActive(1);
    StartLauncherCheck();
    ASSERT_TRUE(PumpUntil([&] { return main.closed.load(); }));
    EXPECT_TRUE(progress.closed);
    EXPECT_FALSE(main.IsWindowVisible());

    const fs::path downloaded = DataPath("launcher/L1");
    const std::string record = WaitForRecord(downloaded);
    EXPECT_NE(record.find("line= \"" + platform::ToUtf8(g_settings.launcherPath) + "\"\n"), std::string::npos)
        << record;
    EXPECT_NE(record.find("cwd=" + downloaded.string() + "\n"), std::string::npos) << record;
    EXPECT_EQ(ReadBytes(downloaded / "ui.dll"), "interface library v1");
}

TEST_F(UpdateChain, AfterUpdateStartAsksNothingUntilThePageReports) {
    Publish();
    // The main window's start check after "N:" only hands out the token.
    SetEvent(ClientCheckReadyEvent);
    PumpFor(300);
    EXPECT_TRUE(server.Requests().empty());

    PageReportsVersion(PageUrl());
    PageReportsVersion(PageUrl());  // the same address again starts nothing
    StartGameWith(L"-play");
    ASSERT_TRUE(PumpUntil([&] { return main.closed.load(); }));
    EXPECT_EQ(RequestsStartingWith("/web/pcversion"), 1u);
    EXPECT_EQ(RequestsStartingWith("/api/"), 0u);
}

TEST_F(UpdateChain, NewServerVersionAddressRestartsTheLauncherCheck) {
    const std::string secondService = server.BaseUrl() + "/api/v2/launcherversionnew";
    settingsText = "[Config]\nWeb=" + PageUrl() + "\nVersion=" + secondService + "\n";
    WriteBytes(launcherDir / "pv.ini", settingsText);
    Publish();
    server.SetBody("/api/v2/launcherversionnew?platform=pv", ReadBytes(cdnDir / "answers" / "launcher-pv.txt"));

    GetViewBroser()->SetProgressActive(1);
    StartLauncherCheck();
    ASSERT_TRUE(PumpUntil([&] { return progress.closed && main.IsWindowVisible(); }));
    EXPECT_EQ(g_settings.versionUrl, platform::FromUtf8(secondService));
    EXPECT_EQ(RequestsStartingWith("/api/launcherversionnew?platform=pv"), 1u);
    EXPECT_EQ(RequestsStartingWith("/api/v2/launcherversionnew?platform=pv"), 1u);
}

TEST_F(UpdateChain, BrokenSettingsTransferKeepsTheLocalFile) {
    Publish();
    // Every request for the settings copy is cut short.
    const std::string settingsTarget = SettingsTarget();
    ASSERT_FALSE(settingsTarget.empty());
    server.SetFault(settingsTarget, Fault{.closeAfterBytes = 5});

    GetViewBroser()->SetProgressActive(1);
    StartLauncherCheck();
    ASSERT_TRUE(PumpUntil([&] { return progress.closed && main.IsWindowVisible(); }));
    // Not replaced: the page address it names was never taken over.
    EXPECT_EQ(ReadBytes(installedDir / "pv.ini"), settingsText);
    EXPECT_TRUE(page.Urls().empty());
    EXPECT_EQ(g_settings.webUrl, L"http://old.example/page.html");
    EXPECT_FALSE(fs::exists(installedDir / "pv.ini.download"));
}

TEST_F(UpdateChain, CutOffServerSettingsOfAnnouncedLengthKeepTheLocalFile) {
    Publish();
    const std::string settingsTarget = SettingsTarget();
    ASSERT_FALSE(settingsTarget.empty());
    // Whole as far as Content-Length tells, but no address the launcher can use.
    server.SetBody(settingsTarget, "[Config]\nVersion=http://");

    GetViewBroser()->SetProgressActive(1);
    StartLauncherCheck();
    ASSERT_TRUE(PumpUntil([&] { return progress.closed && main.IsWindowVisible(); }));
    EXPECT_EQ(ReadBytes(installedDir / "pv.ini"), settingsText);
    EXPECT_EQ(g_settings.versionUrl, platform::FromUtf8(server.BaseUrl() + "/api/launcherversionnew"));
    EXPECT_EQ(g_settings.webUrl, L"http://old.example/page.html");
    EXPECT_FALSE(fs::exists(installedDir / "pv.ini.download"));
}

TEST_F(UpdateChain, ServerSettingsOtherThanListedKeepTheLocalFile) {
    Publish();
    const std::string settingsTarget = SettingsTarget();
    ASSERT_FALSE(settingsTarget.empty());
    // A letter changed on the way: a settings file still, but not the one
    // the launcher's md5 list describes.
    std::string changed = settingsText;
    changed.replace(changed.find("Language=chs"), 12, "Language=cht");
    server.SetBody(settingsTarget, changed);

    GetViewBroser()->SetProgressActive(1);
    StartLauncherCheck();
    ASSERT_TRUE(PumpUntil([&] { return progress.closed && main.IsWindowVisible(); }));
    EXPECT_EQ(ReadBytes(installedDir / "pv.ini"), settingsText);
    EXPECT_EQ(g_settings.webUrl, L"http://old.example/page.html");
    EXPECT_FALSE(fs::exists(installedDir / "pv.ini.download"));
}

TEST_F(UpdateChain, ChangedVersionStopsTheRunningDownload) {
    // Both versions are on the CDN before anything starts; the answers name C1.
    WriteBytes(clientDir / "readme.txt", "welcome to the second edition");
    Publish("L1", "C2");
    const std::string secondAnswer = ReadBytes(cdnDir / "answers" / "client.txt");
    WriteBytes(clientDir / "readme.txt", "welcome");
    Publish("L1", "C1");
    // world.pak arrives slowly, so the change comes mid-transfer.
    const fs::path packed = StartSlowClientDownload();
    ASSERT_FALSE(packed.empty());

    PageHandsOverAnswer(secondAnswer);
    const auto sizeAtStop = fs::file_size(packed);
    // The stopped worker left the lock free: the counters answer at once
    // (a lock left held would hang here).
    GetViewBroser()->GetProgress();
    server.ClearFaults();

    StartGameWith(L"-second");
    ASSERT_TRUE(PumpUntil([&] { return main.closed.load(); }));
    EXPECT_EQ(ReadBytes(DataPath("C2/readme.txt")), "welcome to the second edition");
    EXPECT_EQ(fs::file_size(packed), sizeAtStop);
    EXPECT_FALSE(fs::exists(DataPath("C1/data/world.pak")));
    const std::string record = WaitForRecord(DataPath("C2"));
    EXPECT_NE(record.find("line=-second "), std::string::npos) << record;
}

TEST_F(UpdateChain, GameStartBeforeAnyVersionReportWaits) {
    Publish();
    SetEvent(ClientCheckReadyEvent);
    StartGameWith(L"-early");
    PumpFor(300);
    EXPECT_FALSE(progress.closed);
    EXPECT_FALSE(main.closed);
    EXPECT_FALSE(fs::exists(DataPath("C1")));
}

TEST_F(UpdateChain, ClosingWhileDownloadingStopsWriting) {
    Publish();
    const fs::path packed = StartSlowClientDownload();
    ASSERT_FALSE(packed.empty());

    // What the main window's close does.
    StopClientUpdate();
    GetController()->closing = 1;
    const auto sizeAtStop = fs::file_size(packed);
    PumpFor(300);
    EXPECT_EQ(fs::file_size(packed), sizeAtStop);
    EXPECT_FALSE(fs::exists(DataPath("C1/data/world.pak")));
}

TEST_F(UpdateChain, DriverLoopEndsAtTheThirdWorkerThatFails) {
    Publish();
    CUpdateContext& context = *GetUpdateContext();
    ASSERT_TRUE(QueryVersionService(L"", context, platform::FromUtf8(server.BaseUrl() + "/web/pcversion")));
    context.packSuffix = L".lz";
    const std::wstring readmeMd5 = Md5TextOfFile((clientDir / "readme.txt").wstring());
    const FileEntry good{L"readme.txt", 7, readmeMd5};
    const FileEntry bad{L"readme.txt", 7, L"0000000000000000"};
    // Taken from the back: good, good, then the bad one ends the loop.
    context.pendingFiles = {good, bad, good, good};
    EXPECT_FALSE(RunDriverLoop(false));
    ASSERT_EQ(context.pendingFiles.size(), 1u);
    EXPECT_EQ(sleeps, (std::vector<DWORD>{1000, 2000, 4000, 8000}));

    context.pendingFiles.clear();
    EXPECT_TRUE(RunDriverLoop(false));
}
