#include "tests/e2e/update_fixture.h"

#include "app/update_threads.h"
#include "codec/md5_functions.h"
#include "platform/thread_stop.h"
#include "state/launcher_settings.h"
#include "state/mem_manger.h"
#include "state/message_table.h"
#include "state/update_events.h"
#include "state/view_broser.h"
#include "tools/cdn/publish/publisher.h"
#include "update/download_worker.h"
#include "update/update_context.h"

#include <cstdlib>
#include <sstream>
#include <stdexcept>

namespace fs = std::filesystem;

namespace testsupport {

struct UpdateFixture::Saved {
    LauncherSettings settings = g_settings;
    MessageTable messages = g_messages;
};

namespace {

void ResetProcessState() {
    CUpdateContext& context = *GetUpdateContext();
    {
        std::lock_guard<std::mutex> hold(context.pageInputLock);
        context.clientVersionUrl.clear();
        context.pageAnswer.clear();
    }
    context.remoteFiles.clear();
    context.pendingFiles.clear();
    context.indexMap.clear();
    context.diffMap.clear();
    context.packSuffix.clear();
    context.diskShort = false;
    context.diskShortText.clear();
    context.totalBytes = 1;
    context.launcherUpdatePending = 0;
    context.releasesChecked = false;
    context.releaseKeys.clear();
    context.release.reset();
    context.cdnBases.SetMirrors(L"");
    cdn_url.clear();
    cdn_path.clear();
    web_url.clear();

    CViewBroser* view = GetViewBroser();
    view->SetTotal(0, 1);
    view->SetTotal(1, 1);
    view->SetDone(0, 0);
    view->SetDone(1, 0);
    view->SetFileRange(0, 0);
    view->SetStageText(L"");
    view->SetDetailText(L"");
    view->SetErrorText(L"");
}

}  // namespace

UpdateFixture::UpdateFixture()
    : launcherDir(work.Path() / "launcher"),
      clientDir(work.Path() / "client"),
      installedDir(work.Path() / "installed"),
      cdnDir(work.Path() / "cdn"),
      m_saved(std::make_unique<Saved>()) {
    if (!LoadMd5Functions())
        throw std::runtime_error("no MD5 functions");
    fs::create_directories(launcherDir);
    fs::create_directories(clientDir);
    fs::create_directories(installedDir);
    fs::create_directories(work.Path() / "data");

    // The main window lends this buffer to every streaming download.
    GetMemManger()->Allocate(CMemManger::kTransferBufferSize);
    g_messages.Fill(L"chs");
    g_settings.platform = L"pv";
    g_settings.dataFolder = (work.Path() / "data").wstring();
    g_settings.startDirectory = installedDir.wstring();
    g_settings.launcherPath = (installedDir / "Launcher.exe").wstring();
    const std::string base = server.BaseUrl();
    g_settings.versionUrl = std::wstring(base.begin(), base.end()) + L"/api/launcherversionnew";
    ResetProcessState();
    platform::SetSleepHook([this](DWORD milliseconds) {
        sleeps.push_back(milliseconds);
        return DWORD{0};
    });
}

UpdateFixture::~UpdateFixture() {
    platform::EndRemainingThreads();
    // The client check leaves the current directory in the data folder,
    // which would keep the volume busy; a lazy unmount still detaches it
    // when a file on it is open.
    if (!m_mounted.empty()) {
        std::error_code error;
        fs::current_path(work.Path(), error);
        std::system(("umount '" + m_mounted.string() + "' || umount -l '" + m_mounted.string() + "'").c_str());
    }
    platform::SetSleepHook({});
    ResetProcessState();
    g_settings = m_saved->settings;
    g_messages = m_saved->messages;
}

PublishOptions FixturePublishOptions(const fs::path& launcherDir, const fs::path& clientDir, const fs::path& outDir,
                                     const std::string& baseUrl) {
    PublishOptions options;
    options.launcherDir = launcherDir;
    options.clientDir = clientDir;
    options.platformCode = "pv";
    options.outDir = outDir;
    options.baseUrl = baseUrl;
    return options;
}

std::string RebasedAnswer(std::string answer, const std::string& publishedBase, const std::string& base) {
    for (std::size_t at = answer.find(publishedBase); at != std::string::npos;
         at = answer.find(publishedBase, at + base.size()))
        answer.replace(at, publishedBase.size(), base);
    return answer;
}

void UpdateFixture::Publish(const std::string& launcherVersion, const std::string& clientVersion,
                            const fs::path& previous) {
    PublishOptions options = FixturePublishOptions(launcherDir, clientDir, cdnDir, server.BaseUrl() + "/cdn/");
    options.launcherVersion = launcherVersion;
    options.clientVersion = clientVersion;
    options.webUrl = PageUrl();
    if (!previous.empty())
        options.previousDir = previous;
    std::ostringstream log;
    ::Publish(options, log, false);
    Serve(cdnDir, options.baseUrl);
}

void UpdateFixture::Serve(const fs::path& cdn, const std::string& publishedBase) {
    const auto answer = [&](const char* name) {
        return RebasedAnswer(ReadBytes(cdn / "answers" / name), publishedBase, server.BaseUrl() + "/cdn/");
    };
    server.ServeFolder("/cdn/", cdn.string());
    server.SetBody("/api/launcherversionnew?platform=pv", answer("launcher-pv.txt"));
    server.SetBody("/web/pcversion", answer("client.txt"));
}

DWORD UpdateFixture::RunWorker() {
    HANDLE thread = CreateThread(nullptr, 0, DownloadWorker, nullptr, 0, nullptr);
    WaitForSingleObject(thread, INFINITE);
    DWORD exitCode = 99;
    GetExitCodeThread(thread, &exitCode);
    CloseHandle(thread);
    return exitCode;
}

void UpdateFixture::RunClientDownload() {
    SetEvent(ClientListReadyEvent);
    HANDLE thread = CreateThread(nullptr, 0, ClientDownloadThread, nullptr, 0, nullptr);
    WaitForSingleObject(thread, INFINITE);
    CloseHandle(thread);
}

bool UpdateFixture::MountSmallDataFolder(const std::string& size) {
    const fs::path data = work.Path() / "data";
    // The shell starts in the current directory, which an earlier test may
    // have left in a folder that is gone.
    std::error_code error;
    fs::current_path(work.Path(), error);
    const std::string command = "mount -t tmpfs -o size=" + size + " tmpfs '" + data.string() + "' 2>/dev/null";
    if (std::system(command.c_str()) != 0)
        return false;
    m_mounted = data;
    return true;
}

}  // namespace testsupport
