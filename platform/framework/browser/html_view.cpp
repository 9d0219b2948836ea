// The browser control's view: its window, the control's window inside it and
// the framework's default answers to the browser. One view for both
// systems, over each system's browser control; it is compiled into that
// control's library, since each needs the other.
#include "platform/afxhtml.h"

#ifdef _WIN32
#include "platform/win32/browser/browser_control.h"
#else
#include "platform/linux/browser/browser_control.h"
#endif

namespace {

std::wstring TextOf(const VARIANT* value) {
    return value && value->vt == VT_BSTR && value->bstrVal ? std::wstring(value->bstrVal) : std::wstring();
}

}  // namespace

void platform::BrowserControlRelease::operator()(BrowserControl* control) const {
    delete control;
}

CHtmlView::CHtmlView() = default;

CHtmlView::~CHtmlView() {
    // The browser calls back into the view; it goes first.
    m_pBrowserApp.reset();
}

BOOL CHtmlView::Create(LPCWSTR lpszClassName, LPCWSTR lpszWindowName, DWORD dwStyle, const RECT& rect, CWnd* pParentWnd,
                       UINT nID) {
    if (!CWnd::Create(lpszClassName, lpszWindowName, dwStyle, rect, pParentWnd, nID)) {
        return FALSE;
    }
    RECT client{};
    GetClientRect(&client);
    COleControlSite* site = nullptr;
    if (!CreateControlSite(&m_container, &site, AFX_IDW_PANE_FIRST, CLSID_WebBrowser) || !site) {
        site = new COleControlSite(&m_container);
    }
    m_pSite.reset(site);
    if (!m_wndBrowser.CreateEx(0, nullptr, L"", WS_CHILD | WS_VISIBLE, client, this, AFX_IDW_PANE_FIRST)) {
        DestroyWindow();
        return FALSE;
    }
    // Without a display there is no browser: the view keeps its place and
    // shows nothing.
    m_pBrowserApp.reset(platform::BrowserControl::Create(*this, *m_pSite, m_wndBrowser.m_hWnd).release());
    return TRUE;
}

void CHtmlView::Navigate2(LPCWSTR lpszURL, DWORD, LPCWSTR, LPCWSTR, LPVOID, DWORD) {
    if (m_pBrowserApp && lpszURL) {
        m_pBrowserApp->Navigate(lpszURL);
    }
}

LPDISPATCH CHtmlView::GetHtmlDocument() const {
    return m_pBrowserApp ? m_pBrowserApp->Document() : nullptr;
}

BOOL CHtmlView::PreTranslateMessage(MSG* pMsg) {
    const bool key = pMsg->message >= WM_KEYFIRST && pMsg->message <= WM_KEYLAST;
    if (key && m_pBrowserApp && m_pBrowserApp->TranslateAccelerator(pMsg)) {
        return TRUE;
    }
    return CWnd::PreTranslateMessage(pMsg);
}

void CHtmlView::OnInitialUpdate() {}

BOOL CHtmlView::CreateControlSite(COleControlContainer*, COleControlSite**, UINT, REFCLSID) {
    return FALSE;  // the plain site
}

void CHtmlView::DocumentComplete(LPDISPATCH, VARIANT* URL) {
    OnDocumentComplete(TextOf(URL).c_str());
}

void CHtmlView::NavigateError(LPDISPATCH, VARIANT* pvURL, VARIANT* pvFrame, VARIANT* pvStatusCode,
                              VARIANT_BOOL* pvbCancel) {
    BOOL cancel = pvbCancel && *pvbCancel;
    const DWORD status = pvStatusCode && pvStatusCode->vt == VT_I4 ? static_cast<DWORD>(pvStatusCode->lVal) : 0;
    OnNavigateError(TextOf(pvURL).c_str(), TextOf(pvFrame).c_str(), status, &cancel);
    if (pvbCancel) {
        *pvbCancel = cancel ? -1 : 0;
    }
}

void CHtmlView::OnDocumentComplete(LPCWSTR) {}

void CHtmlView::OnNavigateError(LPCWSTR, LPCWSTR, DWORD, BOOL*) {}

HRESULT CHtmlView::OnShowContextMenu(DWORD, LPPOINT, LPUNKNOWN, LPDISPATCH) {
    return S_FALSE;
}

HRESULT CHtmlView::OnGetHostInfo(DOCHOSTUIINFO*) {
    return E_NOTIMPL;
}

HRESULT CHtmlView::OnShowUI(DWORD, IOleInPlaceActiveObject*, IOleCommandTarget*, IOleInPlaceFrame*,
                            IOleInPlaceUIWindow*) {
    return S_FALSE;
}

HRESULT CHtmlView::OnHideUI() {
    return E_NOTIMPL;
}

HRESULT CHtmlView::OnUpdateUI() {
    return E_NOTIMPL;
}

HRESULT CHtmlView::OnEnableModeless(BOOL) {
    return E_NOTIMPL;
}

HRESULT CHtmlView::OnDocWindowActivate(BOOL) {
    return E_NOTIMPL;
}

HRESULT CHtmlView::OnFrameWindowActivate(BOOL) {
    return E_NOTIMPL;
}

HRESULT CHtmlView::OnResizeBorder(LPCRECT, IOleInPlaceUIWindow*, BOOL) {
    return E_NOTIMPL;
}

HRESULT CHtmlView::OnTranslateAccelerator(LPMSG, const GUID*, DWORD) {
    return S_FALSE;
}

HRESULT CHtmlView::OnGetOptionKeyPath(LPOLESTR*, DWORD) {
    return E_NOTIMPL;
}

HRESULT CHtmlView::OnGetDropTarget(LPDROPTARGET, LPDROPTARGET*) {
    return E_NOTIMPL;
}

HRESULT CHtmlView::OnGetExternal(LPDISPATCH*) {
    return E_NOTIMPL;
}

HRESULT CHtmlView::OnTranslateUrl(DWORD, OLECHAR*, OLECHAR**) {
    return S_FALSE;
}

HRESULT CHtmlView::OnFilterDataObject(LPDATAOBJECT, LPDATAOBJECT*) {
    return S_FALSE;
}

void CHtmlView::OnSize(UINT nType, int cx, int cy) {
    CWnd::OnSize(nType, cx, cy);
    if (m_wndBrowser.m_hWnd) {
        m_wndBrowser.MoveWindow(0, 0, cx, cy, TRUE);
    }
}

void CHtmlView::OnDestroy() {
    m_pBrowserApp.reset();
    CWnd::OnDestroy();
}
