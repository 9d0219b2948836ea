#include "ui/launcher_translucent_dlg.h"

#include "app/game_launch.h"
#include "app/update_threads.h"
#include "platform/thread_stop.h"
#include "state/controller.h"
#include "state/launcher_settings.h"
#include "state/mem_manger.h"
#include "state/update_events.h"
#include "state/view_broser.h"
#include "ui/dialog_templates.h"
#include "ui/launcher_standard_dlg.h"
#include "ui/picture_fallback.h"
#include "ui/progress_dlg.h"
#include "ui/web/launcher_resource.h"
#include "ui/web/page_messages.h"
#include "update/update_context.h"
#include "update/version_service.h"

namespace {

constexpr UINT kPlaceFlags = SWP_NOZORDER | SWP_NOACTIVATE;

// The page's text; a command without one counts as an empty text.
std::wstring PageText(LPARAM lParam) {
    const auto* text = reinterpret_cast<const wchar_t*>(lParam);
    return text ? std::wstring(text) : std::wstring();
}

// A changed version report replaces whatever client chain still runs.
void RestartClientCheck() {
    StopClientUpdate();
    StartClientCheck();
}

}  // namespace

CLauncherTranslucentDlg::CLauncherTranslucentDlg()
    : CTranslucentDialog(IDD_LAUNCHER_TRANSLUCENT, nullptr,
                         UsablePicture(L"LauncherStyles/Image/ui_main_01.png").c_str()) {
    RegisterLauncherDialogTemplates();
    GetMemManger()->Allocate(CMemManger::kTransferBufferSize);
}

// The update threads find the windows through the shared objects; once this
// object is gone they must find nothing there.
CLauncherTranslucentDlg::~CLauncherTranslucentDlg() {
    CViewBroser* view = GetViewBroser();
    {
        platform::CriticalSectionLock hold(view->Lock());
        if (view->GetMainWindow() == this)
            view->SetWindows(nullptr, nullptr);
    }
    ILauncherWindow* self = this;
    GetController()->mainDialog.compare_exchange_strong(self, nullptr);
}

std::wstring CLauncherTranslucentDlg::GetGameArgs() {
    std::lock_guard<std::mutex> hold(m_gameArgsLock);
    return m_strGameArgs;
}

void CLauncherTranslucentDlg::SetGameArgs(std::wstring args) {
    std::lock_guard<std::mutex> hold(m_gameArgsLock);
    m_strGameArgs = std::move(args);
}

void CLauncherTranslucentDlg::DoDataExchange(CDataExchange* pDX) {
    CTranslucentDialog::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_EXIT, m_btnExit);
    DDX_Control(pDX, IDC_MINIMIZE, m_btnMinimize);
}

std::unique_ptr<CStandardDialog> CLauncherTranslucentDlg::CreateStandardDialog() {
    auto pageWindow = std::make_unique<CLauncherStandardDlg>(this);
    GetViewBroser()->SetWindows(this, pageWindow.get());
    return pageWindow;
}

void CLauncherTranslucentDlg::InitControls() {
    const std::wstring exit[3] = {UsablePicture(L"LauncherStyles/Image/ui_exit_01.png"),
                                  UsablePicture(L"LauncherStyles/Image/ui_exit_02.png"),
                                  UsablePicture(L"LauncherStyles/Image/ui_exit_03.png")};
    m_btnExit.SetImages({exit[0].c_str(), exit[1].c_str(), exit[2].c_str(), nullptr, nullptr});
    m_btnExit.SetWindowPos(nullptr, 794, 39, 25, 25, kPlaceFlags);
    AddRenderedControl(m_btnExit);

    const std::wstring minimize[3] = {UsablePicture(L"LauncherStyles/Image/ui_mini_01.png"),
                                      UsablePicture(L"LauncherStyles/Image/ui_mini_02.png"),
                                      UsablePicture(L"LauncherStyles/Image/ui_mini_03.png")};
    m_btnMinimize.SetImages({minimize[0].c_str(), minimize[1].c_str(), minimize[2].c_str(), nullptr, nullptr});
    m_btnMinimize.SetWindowPos(nullptr, 762, 39, 25, 25, kPlaceFlags);
    AddRenderedControl(m_btnMinimize);
}

BOOL CLauncherTranslucentDlg::OnInitDialog() {
    CTranslucentDialog::OnInitDialog();
    CController* controller = GetController();
    controller->mainDialog = this;
    controller->product = nullptr;

    // After a self-update the launcher is current: the client check may
    // run as soon as the page reports its version.
    if (g_settings.startedPlain == 0) {
        SetEvent(ClientCheckReadyEvent);
        return TRUE;
    }

    CViewBroser* view = GetViewBroser();
    view->SetProgressActive(1);
    StartLauncherCheck();
    CProgressDlg progress(IDD_PROGRESS, L"LauncherStyles/Image/ui_main_02.png", this);
    progress.m_bCenterOnCreate = true;
    if (!ShowProgressWhileActive(progress))
        return TRUE;
    // A result above 0 means the check failed (or the player gave up): the
    // launcher closes.
    if (progress.DoModal() > 0)
        PostMessage(WM_CLOSE);
    return TRUE;
}

void CLauncherTranslucentDlg::RunGameStart() {
    CViewBroser* view = GetViewBroser();
    view->SetProgressActive(1);
    CController* controller = GetController();
    controller->mainDialog = this;
    controller->product = nullptr;
    StartGameStart();
    CProgressDlg progress(IDD_PROGRESS, g_settings.startDirectory + L"/LauncherStyles/Image/ui_main_02.png", this);
    progress.m_bCenterOnCreate = true;
    if (!ShowProgressWhileActive(progress))
        return;
    progress.DoModal();
    PostMessage(WM_CLOSE);
}

bool CLauncherTranslucentDlg::ShowProgressWhileActive(CProgressDlg& progress) {
    // Checked, hidden and recorded in one step under the lock the threads
    // close the dialog with: threads that end in between would otherwise find
    // no dialog to close, and it would stay open for good.
    CViewBroser* view = GetViewBroser();
    platform::CriticalSectionLock hold(view->Lock());
    if (view->GetProgressActive() == 0)
        return false;
    HideWindows();
    view->SetProgressDialog(&progress);
    return true;
}

void CLauncherTranslucentDlg::HideWindows() {
    ShowWindow(SW_HIDE);
    if (CStandardDialog* pageWindow = StandardDialog())
        pageWindow->ShowWindow(SW_HIDE);
}

BOOL CLauncherTranslucentDlg::PreTranslateMessage(MSG* pMsg) {
    // Neither key may end the launcher.
    if (pMsg->message == WM_KEYDOWN && (pMsg->wParam == VK_ESCAPE || pMsg->wParam == VK_RETURN))
        return TRUE;
    return CTranslucentDialog::PreTranslateMessage(pMsg);
}

BOOL CLauncherTranslucentDlg::OnCommand(WPARAM wParam, LPARAM lParam) {
    if (HIWORD(wParam) == BN_CLICKED) {
        switch (LOWORD(wParam)) {
            case IDC_EXIT:
                if (ILauncherWindow* mainDialog = GetController()->mainDialog.load())
                    ::PostMessageW(mainDialog->GetWindowHandle(), WM_CLOSE, 0, 0);
                return TRUE;
            case IDC_MINIMIZE:
                ShowWindow(SW_MINIMIZE);
                return TRUE;
            default:
                break;
        }
    }
    return CTranslucentDialog::OnCommand(wParam, lParam);
}

void CLauncherTranslucentDlg::OnStartGame(const std::wstring& text) {
    SetGameArgs(text);
    RunGameStart();
}

void CLauncherTranslucentDlg::OnStartGameData(const std::wstring& text) {
    SetGameArgs(BuildGameDataArgs(text));
    RunGameStart();
}

void CLauncherTranslucentDlg::OnPCVersion(const std::wstring& text) {
    if (UpdateClientVersionUrl(*GetUpdateContext(), text))
        RestartClientCheck();
}

void CLauncherTranslucentDlg::OnPCVersionData(const std::wstring& text) {
    if (SetPageAnswer(*GetUpdateContext(), text))
        RestartClientCheck();
}

LRESULT CLauncherTranslucentDlg::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
#define QM_HANDLE_PAGE_COMMAND(name, message, offset, option, kind) \
    case message:                                                   \
        On##name(PageText(lParam));                                 \
        return 0;
        QM_PAGE_COMMANDS(QM_HANDLE_PAGE_COMMAND)
#undef QM_HANDLE_PAGE_COMMAND
        default:
            return CTranslucentDialog::WindowProc(message, wParam, lParam);
    }
}

void CLauncherTranslucentDlg::OnClose() {
    StopClientUpdate();
    m_btnExit.EnableWindow(FALSE);
    CController* controller = GetController();
    controller->mainDialog = this;
    controller->product = nullptr;
    controller->closing = 1;
    CTranslucentDialog::OnClose();
}
