#include "launcher/launcher_app.h"

#include "app/game_launch.h"
#include "platform/afxhtml.h"
#include "platform/commctrl.h"
#include "platform/gdiplus_startup.h"
#include "platform/text.h"
#include "platform/window_system.h"
#include "platform/winuser.h"
#include "state/diag_log.h"
#include "state/launcher_settings.h"
#include "state/message_table.h"
#include "ui/launcher_translucent_dlg.h"
#include "ui/running_launcher.h"
#include "update/release_trust.h"
#include "update/update_context.h"

#include <cstdio>
#include <filesystem>
#include <string>

namespace {

// A launcher just installed by copy-and-restart waits this long for the one
// it replaces, which ends once it has started the new launcher.
constexpr unsigned kHandoverWaitMs = 30000;

// A folder as this system writes it, in UTF-8.
std::string FolderAsSystemWritesIt(const std::wstring& folder) {
    const std::u8string text = std::filesystem::path(platform::NativePath(folder)).u8string();
    return std::string(text.begin(), text.end());
}

}  // namespace

BOOL CLauncherApp::InitInstance() {
    const INITCOMMONCONTROLSEX controls{
        sizeof(INITCOMMONCONTROLSEX), ICC_LISTVIEW_CLASSES | ICC_TREEVIEW_CLASSES | ICC_BAR_CLASSES | ICC_TAB_CLASSES |
                                          ICC_UPDOWN_CLASS | ICC_PROGRESS_CLASS | ICC_HOTKEY_CLASS | ICC_ANIMATE_CLASS};
    InitCommonControlsEx(&controls);
    CWinApp::InitInstance();
    g_settings.ReadConfiguration();
    g_messages.Fill(g_settings.language);
    // The copy-and-restart role works on the launcher's folder, not the data
    // folder, while the launcher it replaces still holds that.
    const StartRole role = DecideStartRole(g_settings);
    if (role != StartRole::CopyAndRestart && !TakeDataFolder(role))
        return TRUE;
    LogStart();
    GetUpdateContext()->cdnBases.SetMirrors(g_settings.mirrors);

    if (role == StartRole::CopyAndRestart)
        CopyAndRestart();
    else if (NeedsDisplay() && !platform::DisplayInstalled())
        Fail(
            L"Launcher.exe needs a display, and none could be opened ($DISPLAY is unset or unreachable). "
            L"quillmoor-headless runs the launcher without one.");
    else
        RunMainWindow();
    return TRUE;
}

int CLauncherApp::ExitInstance() {
    if (m_gdiplusToken)
        Gdiplus::GdiplusShutdown(m_gdiplusToken);
    m_gdiplusToken = 0;
    CWinApp::ExitInstance();
    return m_exitCode;
}

bool CLauncherApp::TakeDataFolder(StartRole role) {
    const unsigned waitMs = role == StartRole::MainWindowAfterUpdate ? kHandoverWaitMs : 0;
    using Outcome = DataFolderLock::Outcome;
    const Outcome outcome = m_dataFolderLock.Take(g_settings.dataFolder, waitMs);
    if (outcome != Outcome::HeldByAnother)
        return true;
    m_anotherLauncherRunning = true;
    ReportAnotherLauncher(BringRunningLauncherToFront());
    return false;
}

void CLauncherApp::ReportAnotherLauncher(bool raised) {
    // Not a failure: the player's launcher is the one already running.
    std::fprintf(stderr, "Quillmoor launcher: another launcher is running on %s; %s\n",
                 FolderAsSystemWritesIt(g_settings.dataFolder).c_str(),
                 raised ? "its window was brought to the front." : "its window could not be brought to the front.");
}

void CLauncherApp::RunMainWindow() {
    const Gdiplus::GdiplusStartupInput input;
    if (Gdiplus::GdiplusStartup(&m_gdiplusToken, &input, nullptr) != Gdiplus::Ok)
        m_gdiplusToken = 0;
    platform::SetBrowserDataFolder(g_settings.dataFolder + L"\\Browser");
    // The window object lives on this stack for the length of its loop.
    CLauncherTranslucentDlg dialog;
    dialog.DoModal();
}

void CLauncherApp::CopyAndRestart() {
    if (const std::wstring failure = ::CopyAndRestart(); !failure.empty())
        Fail(failure);
}

void CLauncherApp::LogStart() {
    GetDiagLog()->Open(g_settings.dataFolder);
    const StartRole role = DecideStartRole(g_settings);
    const wchar_t* roleName = role == StartRole::MainWindow              ? L"plain start"
                              : role == StartRole::MainWindowAfterUpdate ? L"start after a self-update (N:)"
                                                                         : L"copy-and-restart";
    DiagNote(L"start", std::wstring(roleName) + L" in " + g_settings.startDirectory + L", launcher path \"" +
                           g_settings.launcherPath + L"\", platform " + g_settings.platform + L", version service " +
                           g_settings.versionUrl + L", page " + g_settings.webUrl + L", language " +
                           g_settings.language);
    if (m_dataFolderLock.WaitedMs() > 0)
        DiagNote(L"start", L"the data folder was free after " + std::to_wstring(m_dataFolderLock.WaitedMs()) +
                               L" ms: the launcher before this one had ended");
    if (!m_dataFolderLock.Problem().empty())
        DiagProblem(L"start", m_dataFolderLock.Problem() + L"; nothing keeps a second launcher out");
    // The keys travel with the launcher's files, so each start reads its own.
    LoadReleaseKeys(*GetUpdateContext(), g_settings.startDirectory);
}

void CLauncherApp::Fail(const std::wstring& reason) {
    DiagProblem(L"start", reason);
    std::fprintf(stderr, "Quillmoor launcher: %s\n", platform::ToUtf8(reason).c_str());
    MessageBoxW(nullptr, reason.c_str(), L"Quillmoor launcher", MB_OK | MB_ICONERROR);
    m_exitCode = 1;
}
