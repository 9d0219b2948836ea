// The progress window: a status line, two image progress bars with their
// percentages (current file, whole update) and, when something failed, the
// error, a close button and a link to the publisher's page. It owns no
// update logic: every 100 ms it shows what the update threads left in
// CViewBroser, and the threads end it by posting WM_CLOSE.
#pragma once

#include "state/launcher_windows.h"
#include "ui/kit/translucent_button.h"
#include "ui/kit/translucent_dialog.h"
#include "ui/kit/translucent_progress_bar.h"
#include "ui/kit/translucent_text_control.h"

#include <atomic>
#include <string>

class CProgressDlg : public CTranslucentDialog, public IProgressWindow {
public:
    // Timer showing the close button (every 30 s) and the refresh timer.
    static constexpr UINT_PTR kCloseButtonTimer = 1010;
    static constexpr UINT_PTR kRefreshTimer = 1020;

    CProgressDlg(UINT nIDTemplate, const std::wstring& backgroundPath, CWnd* pParentWnd);
    ~CProgressDlg() override;

    // IProgressWindow; any thread.
    HWND GetWindowHandle() override { return m_hWnd; }
    void MarkClosedByLauncher() override { m_bClosing = 1; }

    BOOL OnInitDialog() override;
    BOOL PreTranslateMessage(MSG* pMsg) override;

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    std::unique_ptr<CStandardDialog> CreateStandardDialog() override { return nullptr; }
    void InitControls() override;
    void OnClose() override;
    // The close button: the player gave up (IDCANCEL).
    void OnCancel() override;

private:
    void Refresh();
    void ShowError(const std::wstring& errorText);
    void ShowProgress(int index, std::int64_t total, std::int64_t done);
    // Clears CViewBroser's progressDialog while it still names this dialog.
    void ForgetOpenDialog();

    CTranslucentButton m_btnClose;
    CTranslucentProgressBar m_bars[2];
    CTranslucentTextControl m_labels[2];
    CTranslucentTextControl m_txtStatus;
    CTranslucentButton m_btnLink;
    // Set by a worker thread just before it posts WM_CLOSE.
    std::atomic<int> m_bClosing{0};
};
