#include "app/update_threads.h"

#include "app/game_exe_mgr.h"
#include "app/game_launch.h"
#include "app/settings_file_check.h"
#include "app/thread_slots.h"
#include "net/http_product.h"
#include "platform/thread_stop.h"
#include "platform/wininet.h"
#include "platform/winuser.h"
#include "state/controller.h"
#include "state/diag_log.h"
#include "state/launcher_settings.h"
#include "state/launcher_windows.h"
#include "state/mem_manger.h"
#include "state/message_table.h"
#include "state/update_events.h"
#include "state/view_broser.h"
#include "update/disk_space.h"
#include "update/download_worker.h"
#include "update/file_list.h"
#include "update/install_batch.h"
#include "update/manifest.h"
#include "update/release_check.h"
#include "update/release_trust.h"
#include "update/update_context.h"
#include "update/version_service.h"

#include <algorithm>
#include <memory>
#include <thread>
#include <vector>

namespace {

constexpr int kSettingsFetchAttempts = 2;
constexpr DWORD kSettingsFetchPauseMs = 1000;
constexpr DWORD kProfileBuffer = MAX_PATH;
const wchar_t kTopic[] = L"stage";

bool Online() {
    return InternetGetConnectedState(nullptr, 0) != FALSE;
}

bool Closing() {
    return GetController()->closing != 0;
}

ILauncherWindow* WindowOf(LPVOID lpParameter) {
    return static_cast<ILauncherWindow*>(lpParameter);
}

void PostClose(HWND window) {
    if (window)
        PostMessageW(window, WM_CLOSE, 0, 0);
}

void PostCloseToMainDialog() {
    if (ILauncherWindow* main = GetController()->mainDialog.load())
        PostClose(main->GetWindowHandle());
}

std::wstring ReadSetting(const wchar_t* key, const std::wstring& fallback, const std::wstring& file,
                         DWORD bufferSize = kProfileBuffer) {
    std::vector<wchar_t> buffer(bufferSize, L'\0');
    const DWORD length =
        GetPrivateProfileStringW(L"Config", key, fallback.c_str(), buffer.data(), bufferSize, file.c_str());
    return std::wstring(buffer.data(), length);
}

// The server's copy of the settings file is saved beside the local one and
// only replaces it when it arrived whole and reads as a settings file: a
// broken transfer or an error page must not cut the player's configuration
// short.
bool FetchServerSettings(LPVOID lpParameter, const std::wstring& settingsFile) {
    CController* controller = GetController();
    CMemManger* memory = GetMemManger();
    CHttpProduct product(memory->transferBufferSize, memory->transferBuffer.get());
    controller->mainDialog = WindowOf(lpParameter);
    controller->product = &product;

    // Its CDN path is also its path in the launcher's md5 list.
    const std::wstring cdnPath = L"launcher/" + g_settings.platform + L".ini";
    const std::wstring url = ResolveCdnUrl(*GetUpdateContext(), cdnPath);
    bool opened = false;
    bool replaced = false;
    // A base whose copy is not whole or not a settings file hands over to the
    // next; only a pass in which no base answered is tried again.
    const auto fetchFrom = [&](const std::wstring& from) {
        if (!product.Open(from.c_str(), L"", 0, 0))
            return false;
        opened = true;
        // One byte past the largest usable file is enough to refuse it.
        product.SetBodyLimit(kMaxServerSettingsBytes + 1);
        const std::wstring download = settingsFile + L".download";
        CReceivedDigest received;
        received.Watch(product);
        product.SaveTo(download.c_str());
        const DWORD total = product.GetTotalSize();
        const bool whole = !Closing() && (total == 0 || product.GetReceivedSize() == total) &&
                           IsUsableSettingsFile(download) &&
                           MatchesListedFile(download, GetUpdateContext()->remoteFiles, cdnPath) &&
                           ReleaseAllowsBody(*GetUpdateContext(), url, received.Size(), received.Final());
        replaced = whole && MoveFileExW(download.c_str(), settingsFile.c_str(), MOVEFILE_REPLACE_EXISTING);
        if (!replaced)
            DeleteFileW(download.c_str());
        return replaced;
    };
    for (int attempt = 0; attempt < kSettingsFetchAttempts && !opened; ++attempt) {
        if (attempt > 0)
            Sleep(kSettingsFetchPauseMs);
        GetUpdateContext()->cdnBases.TryEach(url, fetchFrom);
    }
    if (replaced)
        DiagNote(kTopic, L"the server's settings file replaced " + settingsFile);
    else
        DiagProblem(kTopic, L"the server's settings file was not taken (" +
                                std::wstring(opened ? L"not whole or not a settings file" : L"not obtained") +
                                L"); the settings stay as they are");
    controller->mainDialog = WindowOf(lpParameter);
    controller->product = nullptr;
    return replaced;
}

// A driver loop's failure text: the message table's entry, or the short-disk
// text with its figures when that is what ended the loop.
std::wstring FailureText(int entry) {
    const CUpdateContext& context = *GetUpdateContext();
    return context.diskShort ? context.diskShortText : g_messages.entries[entry];
}

}  // namespace

namespace {

// Decoders run one per core.
int Cores() {
    const unsigned cores = std::thread::hardware_concurrency();
    return std::clamp(static_cast<int>(cores), 1, kMaxSideBySideWorkers - 1);
}

// The launcher's files one after the other, each by a worker of its own.
DWORD RunOneAtATime(std::size_t passes) {
    DWORD result = 1;
    for (std::size_t pass = 0; pass < passes; ++pass) {
        GetViewBroser()->SetStageText(g_messages.entries[message::kDownloadingLauncher]);
        if (Closing() && !Online())
            continue;
        HANDLE worker = StartSlotThread(ThreadSlot::DownloadWorker, DownloadWorker);
        WaitForSingleObject(worker, INFINITE);
        GetExitCodeThread(worker, &result);
        if (ReleaseSlotThread(ThreadSlot::DownloadWorker, worker))
            CloseHandle(worker);
        if (result == 0 || Closing() || !Online())
            break;
    }
    return result;
}

// The client's files side by side: inFlight workers take them from the
// back, one downloading while the others unpack.
DWORD RunSideBySide(CUpdateContext& context, int inFlight) {
    const auto batch = std::make_shared<CInstallBatch>(context, GetController()->mainDialog.load(), inFlight, Cores());
    std::vector<HANDLE> workers;
    for (int started = 0; started < inFlight; ++started) {
        // Each worker holds the batch: a stopped one may still unwind
        // through it after this thread has gone.
        auto parameter = std::make_unique<std::shared_ptr<CInstallBatch>>(batch);
        HANDLE worker = nullptr;
        if (!StartSideBySideWorker(BatchWorker, parameter.get(), worker))
            break;
        parameter.release();
        if (worker)
            workers.push_back(worker);
    }
    for (HANDLE worker : workers) {
        WaitForSingleObject(worker, INFINITE);
        if (ReleaseSlotThread(ThreadSlot::DownloadWorker, worker))
            CloseHandle(worker);
    }
    return batch->Succeeded() ? 1 : 0;
}

}  // namespace

bool RunDriverLoop(bool bLauncherStage) {
    CUpdateContext& context = *GetUpdateContext();
    const std::size_t passes = context.pendingFiles.size();
    const wchar_t* stage = bLauncherStage ? L"launcher download: " : L"client download: ";
    DiagNote(kTopic, stage + std::to_wstring(passes) + L" files pending");
    context.diskShort = false;
    context.diskShortText.clear();
    // The client's files go side by side, one more than the cores so that a
    // download overlaps the decoders, as many as the disk has room for.
    int inFlight = bLauncherStage ? 1 : static_cast<int>(std::min<std::size_t>(passes, Cores() + 1));
    // A volume too small for the whole list would fail only after part of
    // it was fetched, each file five times over: better to say so at once.
    if (passes != 0) {
        DiskSpace space = MeasureDiskSpace(context, 0, inFlight);
        while (space.Short() && inFlight > 1)
            space = MeasureDiskSpace(context, 0, --inFlight);
        if (space.Short()) {
            context.diskShort = true;
            context.diskShortText = DiskShortText(space);
            DiagProblem(kTopic, stage + DiskShortLine(space));
            return false;
        }
    }
    const DWORD result = passes == 0 ? 1 : bLauncherStage ? RunOneAtATime(passes) : RunSideBySide(context, inFlight);
    const bool done = result != 0 && context.pendingFiles.empty();
    if (!done)
        DiagProblem(kTopic, stage +
                                std::wstring(context.diskShort ? L"the disk is full"
                                             : result == 0     ? L"a file failed"
                                             : Closing()       ? L"the launcher is closing"
                                                               : L"no internet connection") +
                                L", " + std::to_wstring(context.pendingFiles.size()) + L" files left");
    return done;
}

DWORD WINAPI VersionCheckThread(LPVOID) {
    GetViewBroser()->SetStageText(g_messages.entries[message::kCheckingLauncher]);
    if (CheckLauncherVersion(*GetUpdateContext()))
        SetEvent(VersionKnownEvent);
    return 0;
}

DWORD WINAPI LauncherUpdateThread(LPVOID lpParameter) {
    WaitForSingleObject(VersionKnownEvent, INFINITE);
    if (!RunDriverLoop(true)) {
        GetViewBroser()->SetErrorText(FailureText(message::kUpdateFailed));
        return 0;
    }
    if (Closing() && !Online()) {
        SetEvent(LauncherCheckedEvent);
        return 0;
    }

    const std::wstring settingsFile = g_settings.startDirectory + L"\\" + g_settings.platform + L".ini";
    if (FetchServerSettings(lpParameter, settingsFile)) {
        // The server's mirrors serve the rest of this run.
        GetUpdateContext()->cdnBases.SetMirrors(ReadSetting(L"Mirrors", L"", settingsFile, kMirrorsBuffer));
        const std::wstring web = ReadSetting(L"Web", L"", settingsFile);
        if (web != g_settings.webUrl) {
            CViewBroser* view = GetViewBroser();
            {
                // The window thread reads it under the same lock to show the page.
                platform::CriticalSectionLock hold(view->Lock());
                g_settings.webUrl = web;
            }
            view->ReloadWebPage();
        }
        const std::wstring version = ReadSetting(L"Version", g_settings.versionUrl, settingsFile);
        if (version != g_settings.versionUrl) {
            RestartLauncherCheck(version);
            return 0;
        }
    }
    SetEvent(LauncherCheckedEvent);
    return 0;
}

DWORD WINAPI LauncherFinishThread(LPVOID) {
    WaitForSingleObject(LauncherCheckedEvent, INFINITE);
    CViewBroser* view = GetViewBroser();
    view->SetStageText(g_messages.entries[message::kUpdatingLauncher]);
    if (GetUpdateContext()->launcherUpdatePending) {
        std::wstring folder = g_settings.dataFolder + L"\\" + cdn_path;
        std::replace(folder.begin(), folder.end(), L'/', L'\\');
        DiagNote(kTopic, L"a new launcher: starting it in " + folder + L" to replace " + g_settings.launcherPath);
        SetCurrentDirectoryW(folder.c_str());
        GetGameExeMgr();
        platform::StopPoint();
        StartNewLauncher();
        CloseProgressDialog();
        PostCloseToMainDialog();
        return 0;
    }
    DiagNote(kTopic, L"the launcher is up to date");
    SetEvent(ClientCheckReadyEvent);
    // The dialog goes first: the window thread hides the windows only while
    // the check still counts as running, so they cannot be hidden again after
    // this shows them.
    CloseProgressDialog();
    if (ILauncherWindow* main = view->GetMainWindow()) {
        platform::StopPoint();
        ShowWindow(main->GetWindowHandle(), SW_SHOW);
        if (IWebPageWindow* page = view->GetWebPageWindow())
            ShowWindow(page->GetWindowHandle(), SW_SHOW);
    }
    return 0;
}

DWORD WINAPI ClientCheckThread(LPVOID) {
    WaitForSingleObject(ClientCheckReadyEvent, INFINITE);
    CViewBroser* view = GetViewBroser();
    view->SetErrorText(L"");
    view->SetStageText(g_messages.entries[message::kCheckingClient]);
    view->SetDone(0, 0);
    view->SetDone(1, 0);

    CUpdateContext& context = *GetUpdateContext();
    const PageInputs inputs = ReadPageInputs(context);
    // A page's answer is checked against the release published beside the
    // client's version URL; without that URL it cannot be checked.
    const bool answered = inputs.pageAnswer.empty()
                              ? QueryVersionService(L"", context, inputs.clientVersionUrl)
                              : AcceptRelease(context, inputs.clientVersionUrl, ReleaseKind::Client) &&
                                    ParseVersionAnswer(inputs.pageAnswer, L"", context);
    if (!answered) {
        DiagProblem(kTopic, L"client check: no usable answer " + (inputs.pageAnswer.empty()
                                                                      ? L"from " + inputs.clientVersionUrl
                                                                      : std::wstring(L"in the page's text")));
        view->SetErrorText(g_messages.entries[message::kClientVersionUnavailable]);
        return 0;
    }
    view->StartClientUpdate();
    SetEvent(ClientCheckReadyEvent);
    return 0;
}

DWORD WINAPI ClientPrepareThread(LPVOID) {
    if (CheckClientFiles(*GetUpdateContext())) {
        SetEvent(ClientListReadyEvent);
    } else {
        DiagProblem(kTopic, L"client files: the client's md5 list could not be read");
        GetViewBroser()->SetErrorText(g_messages.entries[message::kClientListUnreadable]);
    }
    return 0;
}

DWORD WINAPI ClientDownloadThread(LPVOID) {
    WaitForSingleObject(ClientListReadyEvent, INFINITE);
    if (RunDriverLoop(false))
        SetEvent(ClientDownloadedEvent);
    else
        GetViewBroser()->SetErrorText(FailureText(message::kUpdateFailedRestart));
    return 0;
}

DWORD WINAPI ClientFinishThread(LPVOID) {
    WaitForSingleObject(ClientDownloadedEvent, INFINITE);
    GetViewBroser()->SetStageText(g_messages.entries[message::kUpdatingClient]);
    SetEvent(ClientReadyEvent);
    return 0;
}

DWORD WINAPI GameStartThread(LPVOID lpParameter) {
    WaitForSingleObject(ClientReadyEvent, INFINITE);
    GetViewBroser()->SetStageText(g_messages.entries[message::kStartingClient]);
    // The client directory: dataFolder\cdn_path without its trailing "/".
    std::wstring clientDirectory = g_settings.dataFolder + L"\\" + cdn_path;
    clientDirectory.pop_back();
    SetCurrentDirectoryW(clientDirectory.c_str());
    GetGameExeMgr();
    const std::wstring gameArgs = lpParameter ? WindowOf(lpParameter)->GetGameArgs() : std::wstring();
    platform::StopPoint();
    StartGame(gameArgs);
    CloseProgressDialog();
    PostCloseToMainDialog();
    return 0;
}

void StartLauncherCheck() {
    StartSlotThread(ThreadSlot::VersionCheck, VersionCheckThread);
    StartSlotThread(ThreadSlot::LauncherUpdate, LauncherUpdateThread);
    StartSlotThread(ThreadSlot::LauncherFinish, LauncherFinishThread);
}

void StopLauncherCheck() {
    StopSlotThread(ThreadSlot::VersionCheck);
    StopSlotThread(ThreadSlot::DownloadWorker);
    StopSlotThread(ThreadSlot::LauncherFinish);
    ResetEvent(VersionKnownEvent);
    ResetEvent(LauncherCheckedEvent);
    ResetEvent(ClientCheckReadyEvent);
}

void RestartLauncherCheck(const std::wstring& newVersionUrl) {
    StopLauncherCheck();
    g_settings.versionUrl = newVersionUrl;
    StartLauncherCheck();
}

void StopClientUpdate() {
    StopSlotThread(ThreadSlot::ClientPrepare);
    StopSlotThread(ThreadSlot::ClientDownload);
    StopSlotThread(ThreadSlot::DownloadWorker);
    StopSlotThread(ThreadSlot::ClientFinish);
    ResetEvent(ClientListReadyEvent);
    ResetEvent(ClientDownloadedEvent);
    ResetEvent(ClientReadyEvent);
}

void StartClientCheck() {
    StartSlotThread(ThreadSlot::Count, ClientCheckThread);
}

void StartClientUpdate() {
    StartSlotThread(ThreadSlot::ClientPrepare, ClientPrepareThread);
    StartSlotThread(ThreadSlot::ClientDownload, ClientDownloadThread);
    StartSlotThread(ThreadSlot::ClientFinish, ClientFinishThread);
}

namespace {
// The shared view object runs the client chain's start under its lock; it
// learns here how, before any thread can ask.
const bool kClientUpdateStarterSet = [] {
    GetViewBroser()->SetClientUpdateStarter(&StartClientUpdate);
    return true;
}();
}  // namespace

void StartGameStart() {
    StartSlotThread(ThreadSlot::Count, GameStartThread);
}

void CloseProgressDialog() {
    CViewBroser* view = GetViewBroser();
    {
        // The window thread clears progressDialog under this lock before the
        // dialog object goes, so the dialog stays valid while it is used here.
        platform::CriticalSectionLock hold(view->Lock());
        if (IProgressWindow* progress = view->GetProgressDialog()) {
            platform::StopPoint();
            progress->MarkClosedByLauncher();
            PostClose(progress->GetWindowHandle());
        }
        // Under the same lock as the window thread's check before it records
        // a new dialog: a dialog is either found here or never opened.
        view->SetProgressActive(0);
    }
}
