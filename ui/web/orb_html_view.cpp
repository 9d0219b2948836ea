#include "ui/web/orb_html_view.h"

#include "platform/crt.h"
#include "platform/kernel32.h"
#include "platform/thread_stop.h"
#include "state/launcher_settings.h"
#include "state/view_broser.h"
#include "ui/web/doc_host_site.h"
#include "ui/web/launcher_resource.h"
#include "ui/web/page_messages.h"

#include <cstdio>
#include <ctime>
#include <cwchar>

#define QM_DISPATCH_PAGE_COMMAND(name, message, offset, option, kind) \
    DISP_FUNCTION(COrbHtmlView, #name, name, VT_NULL, VTS_BSTR)
BEGIN_DISPATCH_MAP(COrbHtmlView, CHtmlView)
QM_PAGE_COMMANDS(QM_DISPATCH_PAGE_COMMAND)
END_DISPATCH_MAP()
#undef QM_DISPATCH_PAGE_COMMAND

namespace {

// The browser's standard caption for the page's message boxes.
constexpr UINT kBrowserCaptionString = 2213;

// The launcher check may replace the address while the window thread reads it.
std::wstring ConfiguredWebUrl() {
    CViewBroser* view = GetViewBroser();
    platform::CriticalSectionLock hold(view->Lock());
    return g_settings.webUrl;
}

}  // namespace

COrbHtmlView::COrbHtmlView() {
    EnableAutomation();
}

COrbHtmlView::~COrbHtmlView() {
    if (m_pHtmlDoc) {
        m_pHtmlDoc->Release();
    }
}

BOOL COrbHtmlView::CreateInDialog(CWnd* pParent, CWnd* pCommandWnd) {
    CWnd* placeholder = pParent->GetDlgItem(IDC_WEBVIEW);
    if (!placeholder) {
        return FALSE;
    }
    m_pCommandWnd = pCommandWnd;
    RECT rect{};
    placeholder->GetWindowRect(&rect);
    pParent->ScreenToClient(&rect);
    placeholder->DestroyWindow();
    // A view in a dialog is the dialog's member: even a creation that fails
    // half-way must not make it delete itself.
    m_bFrameHosted = FALSE;
    if (!Create(nullptr, nullptr, WS_CHILD | WS_VISIBLE, rect, pParent, IDC_WEBVIEW)) {
        return FALSE;
    }
    m_strUrl = ConfiguredWebUrl();
    OnInitialUpdate();
    return TRUE;
}

void COrbHtmlView::ShowStartPage() {
    m_strUrl = ConfiguredWebUrl();
    Navigate2(m_strUrl.c_str(), 0, nullptr, nullptr, nullptr, 0);
}

void COrbHtmlView::SendPageCommand(UINT message, LPCWSTR lpszText) {
    if (m_pCommandWnd) {
        m_pCommandWnd->SendMessage(message, 0, reinterpret_cast<LPARAM>(lpszText));
    }
}

#define QM_DEFINE_PAGE_COMMAND(name, message, offset, option, kind) \
    void COrbHtmlView::name(LPCWSTR lpszText) {                     \
        SendPageCommand(message, lpszText);                         \
    }
QM_PAGE_COMMANDS(QM_DEFINE_PAGE_COMMAND)
#undef QM_DEFINE_PAGE_COMMAND

BOOL COrbHtmlView::PreCreateWindow(CREATESTRUCTW& cs) {
    cs.style |= WS_CLIPSIBLINGS;
    return CHtmlView::PreCreateWindow(cs);
}

void COrbHtmlView::PostNcDestroy() {
    if (m_bFrameHosted) {
        delete this;
    }
}

BOOL COrbHtmlView::CreateControlSite(COleControlContainer* pContainer, COleControlSite** ppSite, UINT, REFCLSID) {
    *ppSite = new CDocHostSite(pContainer, this);
    return TRUE;
}

HRESULT COrbHtmlView::OnShowContextMenu(DWORD dwID, LPPOINT ppt, LPUNKNOWN pcmdtReserved, LPDISPATCH pdispReserved) {
    switch (m_nContextMenuMode) {
        case 0:
            return S_OK;
        case 2:
            return dwID == CONTEXT_MENU_TEXTSELECT || dwID == CONTEXT_MENU_CONTROL ? S_FALSE : S_OK;
        case 3:
            if (dwID == CONTEXT_MENU_TEXTSELECT) {
                return S_FALSE;
            }
            return OnShowCustomContextMenu(ppt, pcmdtReserved, pdispReserved);
        default:
            return S_FALSE;
    }
}

HRESULT COrbHtmlView::OnShowCustomContextMenu(LPPOINT, LPUNKNOWN, LPDISPATCH) {
    return S_OK;
}

HRESULT COrbHtmlView::OnGetExternal(LPDISPATCH* lppDispatch) {
    *lppDispatch = GetIDispatch(TRUE);
    return S_OK;
}

HRESULT COrbHtmlView::OnGetHostInfo(DOCHOSTUIINFO* pInfo) {
    pInfo->cbSize = sizeof(DOCHOSTUIINFO);
    pInfo->dwFlags = m_dwHostFlags;
    pInfo->dwDoubleClick = DOCHOSTUIDBLCLK_DEFAULT;
    return S_OK;
}

HRESULT COrbHtmlView::OnGetDropTarget(LPDROPTARGET, LPDROPTARGET*) {
    return S_FALSE;
}

void COrbHtmlView::OnDocumentComplete(LPCWSTR lpszURL) {
    CHtmlView::OnDocumentComplete(lpszURL);
    if (m_pHtmlDoc) {
        m_pHtmlDoc->Release();
        m_pHtmlDoc = nullptr;
    }
    if (LPDISPATCH document = GetHtmlDocument()) {
        document->QueryInterface(IID_IHTMLDocument2, reinterpret_cast<void**>(&m_pHtmlDoc));
        document->Release();
    }
}

void COrbHtmlView::OnNavigateError(LPCWSTR, LPCWSTR, DWORD dwError, BOOL*) {
    const std::time_t now = std::time(nullptr);
    const std::tm* local = std::localtime(&now);
    char line[512];
    std::snprintf(line, sizeof line, " [%02d:%02d:%02d] NavigateError Code is %d \n", local->tm_hour, local->tm_min,
                  local->tm_sec, static_cast<int>(dwError));
    // Only the latest error is kept.
    if (FILE* log = _wfopen(L"launcher.log", L"w+")) {
        std::fputs(line, log);
        std::fclose(log);
    }
}

void COrbHtmlView::DocumentComplete(LPDISPATCH pDisp, VARIANT* URL) {
    CHtmlView::DocumentComplete(pDisp, URL);
    LPDISPATCH document = GetHtmlDocument();
    IHTMLDocument2* htmlDocument = nullptr;
    if (document && SUCCEEDED(document->QueryInterface(IID_IHTMLDocument2, reinterpret_cast<void**>(&htmlDocument)))) {
        IHTMLElement* body = nullptr;
        if (SUCCEEDED(htmlDocument->get_body(&body)) && body) {
            VARIANT external;
            external.vt = VT_DISPATCH;
            external.pdispVal = GetIDispatch(FALSE);
            BSTR name = SysAllocString(L"external");
            body->setAttribute(name, external, 0);
            SysFreeString(name);
            body->Release();
        }
        htmlDocument->Release();
    }
    if (document) {
        document->Release();
    }
    ShowWindow(SW_SHOW);
}

HRESULT COrbHtmlView::OnShowMessage(HWND, LPOLESTR lpstrText, LPOLESTR lpstrCaption, DWORD dwType, LPOLESTR, DWORD,
                                    LRESULT* plResult) {
    HMODULE browserTexts = LoadLibraryW(L"SHDOCLC.DLL");
    if (!browserTexts) {
        return S_FALSE;
    }
    wchar_t standardCaption[2048] = L"";
    LoadStringW(browserTexts, kBrowserCaptionString, standardCaption, 2048);
    LPCWSTR caption = lpstrCaption;
    if (lpstrCaption && std::wcscmp(lpstrCaption, standardCaption) == 0) {
        caption = m_strMessageCaption.c_str();
    }
    const int pressed = MessageBoxW(m_hWnd, lpstrText, caption, dwType);
    if (plResult) {
        *plResult = pressed;
    }
    FreeLibrary(browserTexts);
    return S_OK;
}

int COrbHtmlView::OnCreate(LPCREATESTRUCTW lpCreateStruct) {
    if (CHtmlView::OnCreate(lpCreateStruct) == -1) {
        return -1;
    }
    return 0;
}

void COrbHtmlView::OnDestroy() {
    if (m_bFrameHosted) {
        return;
    }
    m_pBrowserApp.reset();
    CWnd::OnDestroy();
}

void COrbHtmlView::OnSize(UINT nType, int cx, int cy) {
    CHtmlView::OnSize(nType, cx, cy);
    if (m_wndBrowser.m_hWnd) {
        // The browser's own edge falls outside the view.
        RECT client{};
        GetClientRect(&client);
        AdjustWindowRectEx(&client, GetStyle(), FALSE, WS_EX_CLIENTEDGE);
        m_wndBrowser.SetWindowPos(nullptr, client.left, client.top, client.right - client.left,
                                  client.bottom - client.top, SWP_NOZORDER | SWP_NOACTIVATE);
    }
}
