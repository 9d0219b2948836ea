// The web browser control hosted in a window of the framework. The view
// creates the control inside its own window, gives it a control site (the
// host's answers to the browser) and receives its events. The browser's
// questions to its host reach the view's On... operations through the site;
// their defaults are the browser's own behaviour.
#pragma once

#include "platform/afxwin.h"
#include "platform/mshtml.h"

#include <memory>

namespace platform {
class BrowserControl;
// Ends the browser; the view's derived classes need not know it.
struct BrowserControlRelease {
    void operator()(BrowserControl* control) const;
};
}  // namespace platform

#define AFX_IDW_PANE_FIRST 0xE900

class CHtmlView : public CWnd {
public:
    CHtmlView();
    ~CHtmlView() override;

    // The view's window, then the browser control in it. FALSE when the
    // window cannot be made; without a display the view has no browser.
    BOOL Create(LPCWSTR lpszClassName, LPCWSTR lpszWindowName, DWORD dwStyle, const RECT& rect, CWnd* pParentWnd,
                UINT nID) override;

    // Starts loading the address; the document arrives later (DocumentComplete).
    void Navigate2(LPCWSTR lpszURL, DWORD dwFlags = 0, LPCWSTR lpszTargetFrameName = nullptr,
                   LPCWSTR lpszHeaders = nullptr, LPVOID lpvPostData = nullptr, DWORD dwPostDataLen = 0);
    // The current document's IDispatch with a reference, or NULL.
    LPDISPATCH GetHtmlDocument() const;

    virtual void OnInitialUpdate();
    // Makes the site through which the control asks its host; TRUE with the
    // new site in *ppSite, which the view then owns.
    virtual BOOL CreateControlSite(COleControlContainer* pContainer, COleControlSite** ppSite, UINT nID,
                                   REFCLSID clsid);

    // Events of the control.
    virtual void DocumentComplete(LPDISPATCH pDisp, VARIANT* URL);
    virtual void NavigateError(LPDISPATCH pDisp, VARIANT* pvURL, VARIANT* pvFrame, VARIANT* pvStatusCode,
                               VARIANT_BOOL* pvbCancel);
    virtual void OnDocumentComplete(LPCWSTR lpszURL);
    virtual void OnNavigateError(LPCWSTR lpszURL, LPCWSTR lpszFrame, DWORD dwError, BOOL* pbCancel);

    // The host's user interface answers (IDocHostUIHandler).
    virtual HRESULT OnShowContextMenu(DWORD dwID, LPPOINT ppt, LPUNKNOWN pcmdtReserved, LPDISPATCH pdispReserved);
    virtual HRESULT OnGetHostInfo(DOCHOSTUIINFO* pInfo);
    virtual HRESULT OnShowUI(DWORD dwID, IOleInPlaceActiveObject* pActiveObject, IOleCommandTarget* pCommandTarget,
                             IOleInPlaceFrame* pFrame, IOleInPlaceUIWindow* pDoc);
    virtual HRESULT OnHideUI();
    virtual HRESULT OnUpdateUI();
    virtual HRESULT OnEnableModeless(BOOL fEnable);
    virtual HRESULT OnDocWindowActivate(BOOL fActivate);
    virtual HRESULT OnFrameWindowActivate(BOOL fActivate);
    virtual HRESULT OnResizeBorder(LPCRECT prcBorder, IOleInPlaceUIWindow* pUIWindow, BOOL fFrameWindow);
    virtual HRESULT OnTranslateAccelerator(LPMSG lpMsg, const GUID* pguidCmdGroup, DWORD nCmdID);
    virtual HRESULT OnGetOptionKeyPath(LPOLESTR* pchKey, DWORD dwReserved);
    virtual HRESULT OnGetDropTarget(LPDROPTARGET pDropTarget, LPDROPTARGET* ppDropTarget);
    virtual HRESULT OnGetExternal(LPDISPATCH* lppDispatch);
    virtual HRESULT OnTranslateUrl(DWORD dwTranslate, OLECHAR* pchURLIn, OLECHAR** ppchURLOut);
    virtual HRESULT OnFilterDataObject(LPDATAOBJECT pDataObject, LPDATAOBJECT* ppDataObject);

    // Keys for the page go to the browser before anything else handles
    // them: Tab, Backspace, Enter, copy and paste are the control's
    // accelerators, and only the host's message loop can offer them.
    BOOL PreTranslateMessage(MSG* pMsg) override;

protected:
    // The browser's window follows the view's client area.
    void OnSize(UINT nType, int cx, int cy) override;
    // Lets the browser go with the window.
    void OnDestroy() override;

    // The control's own window, a child of the view.
    CWnd m_wndBrowser;
    std::unique_ptr<platform::BrowserControl, platform::BrowserControlRelease> m_pBrowserApp;

private:
    COleControlContainer m_container{this};
    std::unique_ptr<COleControlSite> m_pSite;
};

#include <string>

namespace platform {
// Where every browser of this process keeps its cache and site data: a
// folder of the program's own rather than one named after the executable in
// the user's cache. Call before the first browser is made. The Windows
// control keeps the system's own.
void SetBrowserDataFolder(const std::wstring& folder);
}  // namespace platform
