#include "ui/launcher_standard_dlg.h"

#include "app/launcher_settings.h"
#include "platform/gdi.h"
#include "ui/dialog_templates.h"
#include "ui/launcher_resource.h"

namespace {

// Carries a navigation request from another thread to the window thread.
constexpr UINT WM_NAVIGATE_PAGE = WM_USER + 100;

constexpr COLORREF kColorKey = RGB(0, 255, 0);
constexpr RECT kWebViewPlace{75, 69, 75 + 718, 69 + 398};

}  // namespace

CLauncherStandardDlg::CLauncherStandardDlg(CWnd* pParentWnd)
    : CStandardDialog(IDD_LAUNCHER_STANDARD, pParentWnd, kColorKey)
{
    RegisterLauncherDialogTemplates();
}

void CLauncherStandardDlg::NavigateTo(const std::wstring& url)
{
    {
        std::lock_guard<std::mutex> hold(m_requestLock);
        m_strRequestedUrl = url;
    }
    PostMessage(WM_NAVIGATE_PAGE);
}

BOOL CLauncherStandardDlg::OnInitDialog()
{
    CStandardDialog::OnInitDialog();
    m_strPageUrl = g_settings.webUrl;
    if (CWnd* place = GetDlgItem(IDC_WEBVIEW))
        place->MoveWindow(&kWebViewPlace, TRUE);
    return TRUE;
}

LRESULT CLauncherStandardDlg::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NAVIGATE_PAGE) {
        std::lock_guard<std::mutex> hold(m_requestLock);
        m_strPageUrl = m_strRequestedUrl;
        return 0;
    }
    return CStandardDialog::WindowProc(message, wParam, lParam);
}
