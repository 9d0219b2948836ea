// The web page view: the browser control that can live inside a dialog, and
// whose external object hands the page's commands to a command window.
#pragma once

#include "platform/afxhtml.h"
#include "ui/web/page_messages.h"

#include <string>

class COrbHtmlView : public CHtmlView {
public:
    COrbHtmlView();
    ~COrbHtmlView() override;

    // Takes the place of the parent's control 1009; pCommandWnd receives the
    // page's commands. FALSE without that control or when the view cannot
    // be made.
    BOOL CreateInDialog(CWnd* pParent, CWnd* pCommandWnd);
    // Shows the configured web page again; window thread.
    void ShowStartPage();

    // The external object: each page command (page_messages.h) is sent to
    // the command window as its message.
#define QM_DECLARE_PAGE_COMMAND(name, message, offset, option, kind) void name(LPCWSTR lpszText);
    QM_PAGE_COMMANDS(QM_DECLARE_PAGE_COMMAND)
#undef QM_DECLARE_PAGE_COMMAND

    BOOL PreCreateWindow(CREATESTRUCTW& cs) override;
    void PostNcDestroy() override;
    BOOL CreateControlSite(COleControlContainer* pContainer, COleControlSite** ppSite, UINT nID,
                           REFCLSID clsid) override;
    HRESULT OnShowContextMenu(DWORD dwID, LPPOINT ppt, LPUNKNOWN pcmdtReserved, LPDISPATCH pdispReserved) override;
    HRESULT OnGetExternal(LPDISPATCH* lppDispatch) override;
    HRESULT OnGetHostInfo(DOCHOSTUIINFO* pInfo) override;
    HRESULT OnGetDropTarget(LPDROPTARGET pDropTarget, LPDROPTARGET* ppDropTarget) override;
    void OnDocumentComplete(LPCWSTR lpszURL) override;
    void OnNavigateError(LPCWSTR lpszURL, LPCWSTR lpszFrame, DWORD dwError, BOOL* pbCancel) override;
    void DocumentComplete(LPDISPATCH pDisp, VARIANT* URL) override;
    // The page's message boxes; the browser's standard caption becomes ours.
    virtual HRESULT OnShowMessage(HWND hwnd, LPOLESTR lpstrText, LPOLESTR lpstrCaption, DWORD dwType,
                                  LPOLESTR lpstrHelpFile, DWORD dwHelpContext, LRESULT* plResult);
    virtual HRESULT OnShowCustomContextMenu(LPPOINT ppt, LPUNKNOWN pcmdtReserved, LPDISPATCH pdispReserved);

    CWnd* m_pCommandWnd = nullptr;
    int m_nContextMenuMode = 1;
    std::wstring m_strMessageCaption = L"ORB HTMLVIEW";
    DWORD m_dwHostFlags = DOCHOSTUIFLAG_NO3DBORDER | DOCHOSTUIFLAG_SCROLL_NO | DOCHOSTUIFLAG_THEME;
    BOOL m_bFrameHosted = TRUE;
    IHTMLDocument2* m_pHtmlDoc = nullptr;
    std::wstring m_strUrl;

protected:
    int OnCreate(LPCREATESTRUCTW lpCreateStruct) override;
    void OnDestroy() override;
    void OnSize(UINT nType, int cx, int cy) override;

    DECLARE_DISPATCH_MAP()

private:
    void SendPageCommand(UINT message, LPCWSTR lpszText);
};
