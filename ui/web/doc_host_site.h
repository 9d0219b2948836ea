// The control site of the launcher's page view: the browser asks it for its
// user interface, its message boxes and its security decisions, and it
// answers with the view's operations.
#pragma once

#include "platform/afxdisp.h"
#include "platform/mshtml.h"

class COrbHtmlView;

class CDocHostSite : public COleControlSite {
public:
    CDocHostSite(COleControlContainer* pCtrlCont, COrbHtmlView* pView);

    HRESULT InternalQueryInterface(REFIID iid, void** ppvObj) override;

private:
    // Each interface hands reference counting and QueryInterface to the site.
    template <typename Interface>
    struct XSiteInterface : Interface {
        HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppvObject) override {
            return m_pThis->ExternalQueryInterface(riid, ppvObject);
        }
        ULONG STDMETHODCALLTYPE AddRef() override { return m_pThis->ExternalAddRef(); }
        ULONG STDMETHODCALLTYPE Release() override { return m_pThis->ExternalRelease(); }
        CDocHostSite* m_pThis = nullptr;
    };

    struct XDocHostShowUI : XSiteInterface<IDocHostShowUI> {
        HRESULT STDMETHODCALLTYPE ShowMessage(HWND hwnd, LPOLESTR lpstrText, LPOLESTR lpstrCaption, DWORD dwType,
                                              LPOLESTR lpstrHelpFile, DWORD dwHelpContext, LRESULT* plResult) override;
        HRESULT STDMETHODCALLTYPE ShowHelp(HWND hwnd, LPOLESTR pszHelpFile, UINT uCommand, DWORD dwData, POINT ptMouse,
                                           IDispatch* pDispatchObjectHit) override;
    };

    struct XDocHostUIHandler : XSiteInterface<IDocHostUIHandler> {
        HRESULT STDMETHODCALLTYPE ShowContextMenu(DWORD dwID, POINT* ppt, IUnknown* pcmdtReserved,
                                                  IDispatch* pdispReserved) override;
        HRESULT STDMETHODCALLTYPE GetHostInfo(DOCHOSTUIINFO* pInfo) override;
        HRESULT STDMETHODCALLTYPE ShowUI(DWORD dwID, IOleInPlaceActiveObject* pActiveObject,
                                         IOleCommandTarget* pCommandTarget, IOleInPlaceFrame* pFrame,
                                         IOleInPlaceUIWindow* pDoc) override;
        HRESULT STDMETHODCALLTYPE HideUI() override;
        HRESULT STDMETHODCALLTYPE UpdateUI() override;
        HRESULT STDMETHODCALLTYPE EnableModeless(BOOL fEnable) override;
        HRESULT STDMETHODCALLTYPE OnDocWindowActivate(BOOL fActivate) override;
        HRESULT STDMETHODCALLTYPE OnFrameWindowActivate(BOOL fActivate) override;
        HRESULT STDMETHODCALLTYPE ResizeBorder(LPCRECT prcBorder, IOleInPlaceUIWindow* pUIWindow,
                                               BOOL fRameWindow) override;
        HRESULT STDMETHODCALLTYPE TranslateAccelerator(MSG* lpMsg, const GUID* pguidCmdGroup, DWORD nCmdID) override;
        HRESULT STDMETHODCALLTYPE GetOptionKeyPath(LPOLESTR* pchKey, DWORD dw) override;
        HRESULT STDMETHODCALLTYPE GetDropTarget(IDropTarget* pDropTarget, IDropTarget** ppDropTarget) override;
        HRESULT STDMETHODCALLTYPE GetExternal(IDispatch** ppDispatch) override;
        HRESULT STDMETHODCALLTYPE TranslateUrl(DWORD dwTranslate, LPWSTR pchURLIn, LPWSTR* ppchURLOut) override;
        HRESULT STDMETHODCALLTYPE FilterDataObject(IDataObject* pDO, IDataObject** ppDORet) override;
    };

    // Leaves every decision to the browser: no registry override.
    struct XDocHostUIHandler2 : XSiteInterface<IDocHostUIHandler2> {
        HRESULT STDMETHODCALLTYPE ShowContextMenu(DWORD, POINT*, IUnknown*, IDispatch*) override { return S_FALSE; }
        HRESULT STDMETHODCALLTYPE GetHostInfo(DOCHOSTUIINFO*) override { return S_FALSE; }
        HRESULT STDMETHODCALLTYPE ShowUI(DWORD, IOleInPlaceActiveObject*, IOleCommandTarget*, IOleInPlaceFrame*,
                                         IOleInPlaceUIWindow*) override {
            return S_FALSE;
        }
        HRESULT STDMETHODCALLTYPE HideUI() override { return S_FALSE; }
        HRESULT STDMETHODCALLTYPE UpdateUI() override { return S_FALSE; }
        HRESULT STDMETHODCALLTYPE EnableModeless(BOOL) override { return S_FALSE; }
        HRESULT STDMETHODCALLTYPE OnDocWindowActivate(BOOL) override { return S_FALSE; }
        HRESULT STDMETHODCALLTYPE OnFrameWindowActivate(BOOL) override { return S_FALSE; }
        HRESULT STDMETHODCALLTYPE ResizeBorder(LPCRECT, IOleInPlaceUIWindow*, BOOL) override { return S_FALSE; }
        HRESULT STDMETHODCALLTYPE TranslateAccelerator(MSG*, const GUID*, DWORD) override { return S_FALSE; }
        HRESULT STDMETHODCALLTYPE GetOptionKeyPath(LPOLESTR*, DWORD) override { return S_FALSE; }
        HRESULT STDMETHODCALLTYPE GetDropTarget(IDropTarget*, IDropTarget**) override { return S_FALSE; }
        HRESULT STDMETHODCALLTYPE GetExternal(IDispatch**) override { return S_FALSE; }
        HRESULT STDMETHODCALLTYPE TranslateUrl(DWORD, LPWSTR, LPWSTR*) override { return S_FALSE; }
        HRESULT STDMETHODCALLTYPE FilterDataObject(IDataObject*, IDataObject**) override { return S_FALSE; }
        HRESULT STDMETHODCALLTYPE GetOverrideKeyPath(LPOLESTR*, DWORD) override { return S_FALSE; }
    };

    struct XInternetSecurityManager : XSiteInterface<IInternetSecurityManager> {
        HRESULT STDMETHODCALLTYPE SetSecuritySite(IInternetSecurityMgrSite* pSite) override;
        HRESULT STDMETHODCALLTYPE GetSecuritySite(IInternetSecurityMgrSite** ppSite) override;
        HRESULT STDMETHODCALLTYPE MapUrlToZone(LPCWSTR pwszUrl, DWORD* pdwZone, DWORD dwFlags) override;
        HRESULT STDMETHODCALLTYPE GetSecurityId(LPCWSTR pwszUrl, BYTE* pbSecurityId, DWORD* pcbSecurityId,
                                                DWORD_PTR dwReserved) override;
        HRESULT STDMETHODCALLTYPE ProcessUrlAction(LPCWSTR pwszUrl, DWORD dwAction, BYTE* pPolicy, DWORD cbPolicy,
                                                   BYTE* pContext, DWORD cbContext, DWORD dwFlags,
                                                   DWORD dwReserved) override;
        HRESULT STDMETHODCALLTYPE QueryCustomPolicy(LPCWSTR pwszUrl, REFGUID guidKey, BYTE** ppPolicy, DWORD* pcbPolicy,
                                                    BYTE* pContext, DWORD cbContext, DWORD dwReserved) override;
        HRESULT STDMETHODCALLTYPE SetZoneMapping(DWORD dwZone, LPCWSTR lpszPattern, DWORD dwFlags) override;
        HRESULT STDMETHODCALLTYPE GetZoneMappings(DWORD dwZone, IEnumString** ppenumString, DWORD dwFlags) override;
    };

    struct XServiceProvider : XSiteInterface<IServiceProvider> {
        HRESULT STDMETHODCALLTYPE QueryService(REFGUID guidService, REFIID riid, void** ppvObject) override;
    };

    template <typename Nested>
    HRESULT Hand(Nested& nested, void** ppvObj);

    COrbHtmlView* m_pView;
    XDocHostShowUI m_xDocHostShowUI;
    XDocHostUIHandler m_xDocHostUIHandler;
    XDocHostUIHandler2 m_xDocHostUIHandler2;
    XInternetSecurityManager m_xInternetSecurityManager;
    XServiceProvider m_xServiceProvider;
};
