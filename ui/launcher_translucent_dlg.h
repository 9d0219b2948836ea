// The launcher's main window: a layered picture with exit and minimise
// buttons, the page window lying over it, and everything the launcher does
// while it runs: the start check, the page's commands, the game start and
// the close.
#pragma once

#include "state/launcher_windows.h"
#include "ui/kit/translucent_button.h"
#include "ui/kit/translucent_dialog.h"
#include "ui/progress_dlg.h"
#include "ui/web/page_messages.h"

#include <mutex>
#include <string>

class CLauncherTranslucentDlg : public CTranslucentDialog, public ILauncherWindow {
public:
    // Also lends the download products their transfer buffer.
    CLauncherTranslucentDlg();
    ~CLauncherTranslucentDlg() override;

    // ILauncherWindow; any thread.
    HWND GetWindowHandle() override { return m_hWnd; }
    std::wstring GetGameArgs() override;

    BOOL OnInitDialog() override;
    BOOL PreTranslateMessage(MSG* pMsg) override;
    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    std::unique_ptr<CStandardDialog> CreateStandardDialog() override;
    void InitControls() override;
    void OnClose() override;

private:
    // The page's commands (ui/web/page_messages.h), one handler each.
#define QM_DECLARE_PAGE_HANDLER(name, message, offset, option, kind) void On##name(const std::wstring& text);
    QM_PAGE_COMMANDS(QM_DECLARE_PAGE_HANDLER)
#undef QM_DECLARE_PAGE_HANDLER
    void SetGameArgs(std::wstring args);
    void RunGameStart();
    // Hides this window and the page window over it.
    void HideWindows();
    // While the threads the dialog follows still run: hides the windows and
    // records the dialog for them to close; false once they have ended.
    bool ShowProgressWhileActive(CProgressDlg& progress);

    CTranslucentButton m_btnExit;
    CTranslucentButton m_btnMinimize;
    // Read by GameStartThread while the page may set it again.
    std::mutex m_gameArgsLock;
    std::wstring m_strGameArgs;
};
