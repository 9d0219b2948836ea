#include "ui/progress_dlg.h"

#include "net/web_url.h"
#include "platform/shell32.h"
#include "platform/thread_stop.h"
#include "state/launcher_settings.h"
#include "state/message_table.h"
#include "state/view_broser.h"
#include "ui/dialog_templates.h"
#include "ui/picture_fallback.h"
#include "ui/web/launcher_resource.h"
#include "update/update_context.h"

#include <algorithm>
#include <climits>
#include <cwchar>

namespace {

constexpr UINT kCloseButtonPeriodMs = 30000;
constexpr UINT kRefreshPeriodMs = 100;
constexpr Gdiplus::ARGB kTextColor = 0xFFA0968C;
constexpr Gdiplus::ARGB kLinkColor = 0xFF87695F;

struct Place {
    int x, y, width, height;
};
constexpr Place kClosePlace{380, 43, 25, 25};
constexpr Place kBarPlaces[2] = {{30, 100, 332, 18}, {30, 125, 332, 18}};
constexpr Place kLabelPlaces[2] = {{360, 100, 50, 18}, {360, 125, 50, 18}};
constexpr Place kStatusPlace{35, 157, 356, 20};
constexpr Place kErrorPlace{35, 95, 356, 20};
constexpr Place kLinkPlace{35, 120, 356, 18};

void Move(CWnd& control, const Place& place) {
    control.SetWindowPos(nullptr, place.x, place.y, place.width, place.height, SWP_NOZORDER | SWP_NOACTIVATE);
}

std::wstring Picture(const wchar_t* name) {
    return UsablePicture(g_settings.startDirectory + L"/LauncherStyles/Image/" + name);
}

// done * 100 / total, truncated. Nothing can be done of nothing, so a total
// of 0 shows 0% rather than dividing by zero.
std::wstring FormatPercent(std::int64_t done, std::int64_t total) {
    std::int64_t percent = 0;
    if (total > 0 && done > 0)
        percent = done / total * 100 + done % total * 100 / total;
    wchar_t text[16];
    std::swprintf(text, 16, L"%d%%", static_cast<int>(std::min<std::int64_t>(percent, INT_MAX)));
    return text;
}

std::wstring WindowText(const CWnd& window) {
    std::wstring text(static_cast<std::size_t>(window.GetWindowTextLength()) + 1, L'\0');
    text.resize(static_cast<std::size_t>(window.GetWindowText(text.data(), static_cast<int>(text.size()))));
    return text;
}

}  // namespace

CProgressDlg::CProgressDlg(UINT nIDTemplate, const std::wstring& backgroundPath, CWnd* pParentWnd)
    : CTranslucentDialog(nIDTemplate, pParentWnd, UsablePicture(backgroundPath).c_str()) {
    RegisterLauncherDialogTemplates();
}

// Worker threads reach the dialog through progressDialog: it must not name
// this object once it is gone, however the dialog ended.
CProgressDlg::~CProgressDlg() {
    ForgetOpenDialog();
}

void CProgressDlg::DoDataExchange(CDataExchange* pDX) {
    CTranslucentDialog::DoDataExchange(pDX);
    DDX_Control(pDX, IDCANCEL, m_btnClose);
    DDX_Control(pDX, IDC_FILE_PROGRESS, m_bars[0]);
    DDX_Control(pDX, IDC_TOTAL_PROGRESS, m_bars[1]);
    DDX_Control(pDX, IDC_FILE_PERCENT, m_labels[0]);
    DDX_Control(pDX, IDC_TOTAL_PERCENT, m_labels[1]);
    DDX_Control(pDX, IDC_STATUS, m_txtStatus);
    DDX_Control(pDX, IDC_LINK, m_btnLink);
}

void CProgressDlg::InitControls() {
    const std::wstring exitNormal = Picture(L"ui_exit_01.png");
    const std::wstring exitDisabled = Picture(L"ui_exit_02.png");
    const std::wstring exitHover = Picture(L"ui_exit_03.png");
    m_btnClose.SetImages({exitNormal.c_str(), exitDisabled.c_str(), exitHover.c_str(), nullptr, nullptr});
    Move(m_btnClose, kClosePlace);
    m_btnClose.SetWindowText(L"");

    const std::wstring frame = Picture(L"ui_kuang.png");
    const std::wstring slider = Picture(L"ui_vernier_01.png");
    const std::wstring fills[2] = {Picture(L"ui_progress_01.png"), Picture(L"ui_progress_02.png")};
    for (int i = 0; i < 2; ++i) {
        m_bars[i].SetFrameImage(frame.c_str());
        m_bars[i].SetFillImage(fills[i].c_str());
        m_bars[i].SetSliderImage(slider.c_str());
        m_bars[i].SetFillArea(8, 6, 316, 5);
        Move(m_bars[i], kBarPlaces[i]);

        m_labels[i].SetTextColor(kTextColor);
        m_labels[i].SetWindowText(L"");
        Move(m_labels[i], kLabelPlaces[i]);
    }

    // Windows before Vista lack the first font's hinting at small sizes.
    OSVERSIONINFOW version{};
    version.dwOSVersionInfoSize = sizeof(version);
    const bool vistaOrLater = GetVersionExW(&version) && version.dwMajorVersion >= 6;
    m_txtStatus.SetTextFont(vistaOrLater ? g_messages.fonts[0].c_str() : g_messages.fonts[1].c_str(),
                            vistaOrLater ? 12 : 14, Gdiplus::FontStyleRegular, Gdiplus::UnitPixel);
    m_txtStatus.SetTextColor(kTextColor);
    m_txtStatus.SetTextAlignment(Gdiplus::StringAlignmentCenter, Gdiplus::StringAlignmentCenter);
    m_txtStatus.SetWindowText(L"");
    Move(m_txtStatus, kStatusPlace);

    m_btnLink.SetTextFont(L"Arial", 12, Gdiplus::FontStyleUnderline, Gdiplus::UnitPixel);
    m_btnLink.SetTextColor(kLinkColor);
    m_btnLink.SetTextAlignment(Gdiplus::StringAlignmentCenter, Gdiplus::StringAlignmentCenter);
    m_btnLink.m_nCursor = IDC_HAND;
    m_btnLink.SetWindowText(L"");
    Move(m_btnLink, kLinkPlace);

    AddRenderedControl(m_btnClose);
    AddRenderedControl(m_bars[0]);
    AddRenderedControl(m_bars[1]);
    AddRenderedControl(m_txtStatus);
    AddRenderedControl(m_labels[0]);
    AddRenderedControl(m_labels[1]);
    AddRenderedControl(m_btnLink);
    m_btnClose.Show(SW_HIDE);
    m_btnLink.Show(SW_HIDE);
}

BOOL CProgressDlg::OnInitDialog() {
    CTranslucentDialog::OnInitDialog();
    // The work may have ended before the dialog existed: its WM_CLOSE went
    // nowhere, so the dialog closes itself.
    if (m_bClosing) {
        PostMessage(WM_CLOSE);
        return TRUE;
    }
    SetTimer(kCloseButtonTimer, kCloseButtonPeriodMs);
    SetTimer(kRefreshTimer, kRefreshPeriodMs);
    return TRUE;
}

BOOL CProgressDlg::PreTranslateMessage(MSG* pMsg) {
    if (pMsg->message == WM_KEYDOWN && (pMsg->wParam == VK_ESCAPE || pMsg->wParam == VK_RETURN))
        return TRUE;
    if (pMsg->message == WM_LBUTTONUP && pMsg->hwnd == m_btnLink.GetSafeHwnd()) {
        // The address the player sees on the link is the one opened.
        const std::wstring url = WindowText(m_btnLink);
        if (IsWebUrl(url))
            ShellExecuteW(nullptr, L"open", url.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
    }
    if (pMsg->message == WM_TIMER && pMsg->hwnd == m_hWnd) {
        if (pMsg->wParam == kCloseButtonTimer)
            m_btnClose.Show(SW_SHOW);
        else if (pMsg->wParam == kRefreshTimer)
            Refresh();
    }
    return CTranslucentDialog::PreTranslateMessage(pMsg);
}

void CProgressDlg::OnClose() {
    ForgetOpenDialog();
    EndDialog(GetViewBroser()->GetErrorText().empty() ? 0 : 1);
    CTranslucentDialog::OnClose();
}

void CProgressDlg::OnCancel() {
    ForgetOpenDialog();
    CTranslucentDialog::OnCancel();
}

void CProgressDlg::Refresh() {
    const ViewProgress progress = GetViewBroser()->GetProgress();
    if (!progress.errorText.empty()) {
        ShowError(progress.errorText);
        return;
    }
    ShowProgress(0, progress.totals[0], progress.done[0]);
    ShowProgress(1, progress.totals[1], progress.done[1]);
    // A new check cleared the error: the status line goes back under the bars.
    Move(m_txtStatus, kStatusPlace);
    if (m_btnLink.IsShown())
        m_btnLink.Show(SW_HIDE);
    m_txtStatus.SetWindowText(progress.stageText.c_str());
    UpdateView();
}

void CProgressDlg::ShowError(const std::wstring& errorText) {
    for (int i = 0; i < 2; ++i) {
        m_bars[i].Show(SW_HIDE);
        m_labels[i].Show(SW_HIDE);
    }
    Move(m_txtStatus, kErrorPlace);
    m_txtStatus.SetWindowText(errorText.c_str());
    UpdateView();
    m_btnClose.Show(SW_SHOW);
    // The error text was published after the answer that carried web_url,
    // so the address read here is the one that goes with this error.
    const std::wstring url = web_url;
    // The address comes from the server and goes to the shell: only a web
    // page is offered, never a script, a local file or a program.
    if (IsWebUrl(url)) {
        m_btnLink.SetWindowText(url.c_str());
        m_btnLink.Show(SW_SHOW);
    }
}

void CProgressDlg::ShowProgress(int index, std::int64_t total, std::int64_t done) {
    m_bars[index].Show(SW_SHOW);
    m_bars[index].SetRange(static_cast<std::uint64_t>(std::max<std::int64_t>(total, 0)));
    if (done >= 0)
        m_bars[index].SetPos(static_cast<std::uint64_t>(done));
    m_labels[index].Show(SW_SHOW);
    m_labels[index].SetWindowText(FormatPercent(done, total).c_str());
    UpdateView();
}

void CProgressDlg::ForgetOpenDialog() {
    CViewBroser* view = GetViewBroser();
    platform::CriticalSectionLock hold(view->Lock());
    if (view->GetProgressDialog() == this)
        view->SetProgressDialog(nullptr);
}
