#include "ui/launcher_standard_dlg.h"

#include "ui/dialog_templates.h"
#include "ui/web/launcher_resource.h"

namespace {

// Carries a reload request from another thread to the window thread.
constexpr UINT WM_SHOW_START_PAGE = WM_USER + 100;

constexpr COLORREF kColorKey = RGB(0, 255, 0);
constexpr RECT kWebViewPlace{75, 69, 75 + 718, 69 + 398};

}  // namespace

CLauncherStandardDlg::CLauncherStandardDlg(CWnd* pParentWnd)
    : CStandardDialog(IDD_LAUNCHER_STANDARD, pParentWnd, kColorKey) {
    RegisterLauncherDialogTemplates();
}

void CLauncherStandardDlg::ShowStartPage() {
    PostMessage(WM_SHOW_START_PAGE);
}

BOOL CLauncherStandardDlg::OnInitDialog() {
    CStandardDialog::OnInitDialog();
    m_webView.CreateInDialog(this, GetParent());
    if (m_webView.GetSafeHwnd())
        m_webView.MoveWindow(&kWebViewPlace, TRUE);
    return TRUE;
}

LRESULT CLauncherStandardDlg::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_SHOW_START_PAGE) {
        m_webView.ShowStartPage();
        return 0;
    }
    return CStandardDialog::WindowProc(message, wParam, lParam);
}
