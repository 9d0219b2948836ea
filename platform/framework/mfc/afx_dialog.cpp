// CDialog: dialogs made from templates, modal loops, data exchange.
#include "platform/afxwin.h"

#include "platform/dialog_template.h"
#include "platform/framework/mfc/framework_loop.h"
#include "platform/window_system.h"

namespace {

// A modal dialog disables its owner's top-level window, not a child of it.
HWND TopLevelOwner(CWnd* parent) {
    HWND hwnd = parent ? parent->GetSafeHwnd() : nullptr;
    while (hwnd && (::GetWindowLongW(hwnd, GWL_STYLE) & WS_CHILD)) {
        hwnd = ::GetParent(hwnd);
    }
    return hwnd;
}

}  // namespace

CDataExchange::CDataExchange(CWnd* pDlgWnd, BOOL bSaveAndValidate)
    : m_bSaveAndValidate(bSaveAndValidate), m_pDlgWnd(pDlgWnd) {}

HWND CDataExchange::PrepareCtrl(int nIDC) {
    HWND control = m_pDlgWnd ? ::GetDlgItem(m_pDlgWnd->GetSafeHwnd(), nIDC) : nullptr;
    if (!control) {
        Fail();
    }
    return control;
}

void CDataExchange::Fail() {
    m_bFailed = true;
}

void DDX_Control(CDataExchange* pDX, int nIDC, CWnd& rControl) {
    if (rControl.GetSafeHwnd()) {
        return;  // bound by an earlier exchange
    }
    HWND control = pDX->PrepareCtrl(nIDC);
    if (control && !rControl.SubclassWindow(control)) {
        pDX->Fail();  // the control belongs to another object already
    }
}

CDialog::CDialog(UINT nIDTemplate, CWnd* pParentWnd) : m_pParentWnd(pParentWnd), m_nIDTemplate(nIDTemplate) {}

bool CDialog::CreateFromTemplate(HWND owner) {
    auto dialogTemplate = platform::FindDialogTemplate(m_nIDTemplate);
    if (!dialogTemplate) {
        return false;
    }
    platform::ScopedCreationHook hook([this](HWND hwnd) { AttachCreated(hwnd); });
    return platform::CreateDialogWindow(*dialogTemplate, owner) != nullptr;
}

INT_PTR CDialog::DoModal() {
    if (m_hWnd || !platform::FindDialogTemplate(m_nIDTemplate)) {
        return -1;
    }
    HWND owner = TopLevelOwner(m_pParentWnd);
    const bool reenableOwner = owner && ::IsWindowEnabled(owner);
    if (reenableOwner) {
        ::EnableWindow(owner, FALSE);
    }
    m_nModalResult = -1;
    m_bModalLoop = true;
    m_bContinueModal = true;
    // An EndDialog during OnInitDialog ends the dialog before its loop starts.
    if (CreateFromTemplate(owner) && m_bContinueModal) {
        bool showOnIdle = !(GetStyle() & WS_VISIBLE);
        const bool quit = !platform::RunFrameworkLoop([this] { return m_bContinueModal && m_hWnd; },
                                                      [this, &showOnIdle] {
                                                          if (showOnIdle) {
                                                              showOnIdle = false;
                                                              ShowWindow(SW_SHOWNORMAL);
                                                          }
                                                      });
        if (quit) {
            ::PostMessageW(nullptr, WM_QUIT, 0, 0);  // the loops outside end too
        }
    }
    m_bModalLoop = false;
    m_bContinueModal = false;
    if (m_hWnd) {
        ::SetWindowPos(m_hWnd, nullptr, 0, 0, 0, 0,
                       SWP_HIDEWINDOW | SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    if (reenableOwner) {
        ::EnableWindow(owner, TRUE);
    }
    DestroyWindow();
    return m_nModalResult;
}

BOOL CDialog::Create(UINT nIDTemplate, CWnd* pParentWnd) {
    if (m_hWnd) {
        return FALSE;
    }
    m_nIDTemplate = nIDTemplate;
    m_pParentWnd = pParentWnd;
    return CreateFromTemplate(pParentWnd ? pParentWnd->GetSafeHwnd() : nullptr) ? TRUE : FALSE;
}

void CDialog::EndDialog(int nResult) {
    if (m_bModalLoop) {
        m_nModalResult = nResult;
        if (m_bContinueModal) {
            m_bContinueModal = false;
            // Wakes the loop, which may be waiting for a message.
            ::PostMessageW(m_hWnd, WM_NULL, 0, 0);
        }
    }
    if (m_hWnd) {
        ::SetWindowPos(m_hWnd, nullptr, 0, 0, 0, 0,
                       SWP_HIDEWINDOW | SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
}

BOOL CDialog::OnInitDialog() {
    if (!UpdateData(FALSE)) {
        EndDialog(-1);
        return FALSE;
    }
    return TRUE;
}

BOOL CDialog::UpdateData(BOOL bSaveAndValidate) {
    CDataExchange exchange(this, bSaveAndValidate);
    DoDataExchange(&exchange);
    return exchange.Failed() ? FALSE : TRUE;
}

BOOL CDialog::PreTranslateMessage(MSG* pMsg) {
    const bool input = (pMsg->message >= WM_KEYFIRST && pMsg->message <= WM_KEYLAST) ||
                       (pMsg->message >= WM_MOUSEFIRST && pMsg->message <= WM_MOUSELAST);
    return input && m_hWnd ? ::IsDialogMessageW(m_hWnd, pMsg) : FALSE;
}

BOOL CDialog::OnCommand(WPARAM wParam, LPARAM lParam) {
    if (HIWORD(wParam) == BN_CLICKED) {
        switch (LOWORD(wParam)) {
            case IDOK:
                OnOK();
                return TRUE;
            case IDCANCEL:
                OnCancel();
                return TRUE;
            default:
                break;
        }
    }
    return CWnd::OnCommand(wParam, lParam);
}

LRESULT CDialog::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        return OnInitDialog();
    }
    return CWnd::WindowProc(message, wParam, lParam);
}

void CDialog::OnOK() {
    if (UpdateData(TRUE)) {
        EndDialog(IDOK);
    }
}

void CDialog::OnCancel() {
    EndDialog(IDCANCEL);
}

void CDialog::DoDataExchange(CDataExchange*) {}
