#include "ui/web/doc_host_site.h"

#include "ui/web/orb_html_view.h"

#include <cstring>

CDocHostSite::CDocHostSite(COleControlContainer* pCtrlCont, COrbHtmlView* pView)
    : COleControlSite(pCtrlCont), m_pView(pView) {
    m_xDocHostShowUI.m_pThis = this;
    m_xDocHostUIHandler.m_pThis = this;
    m_xDocHostUIHandler2.m_pThis = this;
    m_xInternetSecurityManager.m_pThis = this;
    m_xServiceProvider.m_pThis = this;
}

template <typename Nested>
HRESULT CDocHostSite::Hand(Nested& nested, void** ppvObj) {
    *ppvObj = &nested;
    ExternalAddRef();
    return S_OK;
}

HRESULT CDocHostSite::InternalQueryInterface(REFIID iid, void** ppvObj) {
    if (iid == IID_IDocHostShowUI) {
        return Hand(m_xDocHostShowUI, ppvObj);
    }
    if (iid == IID_IDocHostUIHandler) {
        return Hand(m_xDocHostUIHandler, ppvObj);
    }
    if (iid == IID_IDocHostUIHandler2) {
        return Hand(m_xDocHostUIHandler2, ppvObj);
    }
    if (iid == IID_IInternetSecurityManager) {
        return Hand(m_xInternetSecurityManager, ppvObj);
    }
    if (iid == IID_IServiceProvider) {
        return Hand(m_xServiceProvider, ppvObj);
    }
    return COleControlSite::InternalQueryInterface(iid, ppvObj);
}

// ---- IDocHostShowUI

HRESULT CDocHostSite::XDocHostShowUI::ShowMessage(HWND hwnd, LPOLESTR lpstrText, LPOLESTR lpstrCaption, DWORD dwType,
                                                  LPOLESTR lpstrHelpFile, DWORD dwHelpContext, LRESULT* plResult) {
    return m_pThis->m_pView->OnShowMessage(hwnd, lpstrText, lpstrCaption, dwType, lpstrHelpFile, dwHelpContext,
                                           plResult);
}

HRESULT CDocHostSite::XDocHostShowUI::ShowHelp(HWND, LPOLESTR, UINT, DWORD, POINT, IDispatch*) {
    return E_NOTIMPL;
}

// ---- IDocHostUIHandler: the view's operations

HRESULT CDocHostSite::XDocHostUIHandler::ShowContextMenu(DWORD dwID, POINT* ppt, IUnknown* pcmdtReserved,
                                                         IDispatch* pdispReserved) {
    return m_pThis->m_pView->OnShowContextMenu(dwID, ppt, pcmdtReserved, pdispReserved);
}

HRESULT CDocHostSite::XDocHostUIHandler::GetHostInfo(DOCHOSTUIINFO* pInfo) {
    return m_pThis->m_pView->OnGetHostInfo(pInfo);
}

HRESULT CDocHostSite::XDocHostUIHandler::ShowUI(DWORD dwID, IOleInPlaceActiveObject* pActiveObject,
                                                IOleCommandTarget* pCommandTarget, IOleInPlaceFrame* pFrame,
                                                IOleInPlaceUIWindow* pDoc) {
    return m_pThis->m_pView->OnShowUI(dwID, pActiveObject, pCommandTarget, pFrame, pDoc);
}

HRESULT CDocHostSite::XDocHostUIHandler::HideUI() {
    return m_pThis->m_pView->OnHideUI();
}

HRESULT CDocHostSite::XDocHostUIHandler::UpdateUI() {
    return m_pThis->m_pView->OnUpdateUI();
}

HRESULT CDocHostSite::XDocHostUIHandler::EnableModeless(BOOL fEnable) {
    return m_pThis->m_pView->OnEnableModeless(fEnable);
}

HRESULT CDocHostSite::XDocHostUIHandler::OnDocWindowActivate(BOOL fActivate) {
    return m_pThis->m_pView->OnDocWindowActivate(fActivate);
}

HRESULT CDocHostSite::XDocHostUIHandler::OnFrameWindowActivate(BOOL fActivate) {
    return m_pThis->m_pView->OnFrameWindowActivate(fActivate);
}

HRESULT CDocHostSite::XDocHostUIHandler::ResizeBorder(LPCRECT prcBorder, IOleInPlaceUIWindow* pUIWindow,
                                                      BOOL fRameWindow) {
    return m_pThis->m_pView->OnResizeBorder(prcBorder, pUIWindow, fRameWindow);
}

HRESULT CDocHostSite::XDocHostUIHandler::TranslateAccelerator(MSG*, const GUID*, DWORD) {
    return E_NOTIMPL;  // the browser handles its own accelerators
}

HRESULT CDocHostSite::XDocHostUIHandler::GetOptionKeyPath(LPOLESTR* pchKey, DWORD dw) {
    return m_pThis->m_pView->OnGetOptionKeyPath(pchKey, dw);
}

HRESULT CDocHostSite::XDocHostUIHandler::GetDropTarget(IDropTarget* pDropTarget, IDropTarget** ppDropTarget) {
    return m_pThis->m_pView->OnGetDropTarget(pDropTarget, ppDropTarget);
}

HRESULT CDocHostSite::XDocHostUIHandler::GetExternal(IDispatch** ppDispatch) {
    return m_pThis->m_pView->OnGetExternal(ppDispatch);
}

HRESULT CDocHostSite::XDocHostUIHandler::TranslateUrl(DWORD dwTranslate, LPWSTR pchURLIn, LPWSTR* ppchURLOut) {
    return m_pThis->m_pView->OnTranslateUrl(dwTranslate, pchURLIn, ppchURLOut);
}

HRESULT CDocHostSite::XDocHostUIHandler::FilterDataObject(IDataObject* pDO, IDataObject** ppDORet) {
    return m_pThis->m_pView->OnFilterDataObject(pDO, ppDORet);
}

// ---- IInternetSecurityManager

HRESULT CDocHostSite::XInternetSecurityManager::SetSecuritySite(IInternetSecurityMgrSite*) {
    return INET_E_DEFAULT_ACTION;
}

HRESULT CDocHostSite::XInternetSecurityManager::GetSecuritySite(IInternetSecurityMgrSite**) {
    return INET_E_DEFAULT_ACTION;
}

HRESULT CDocHostSite::XInternetSecurityManager::MapUrlToZone(LPCWSTR, DWORD*, DWORD) {
    return INET_E_DEFAULT_ACTION;
}

HRESULT CDocHostSite::XInternetSecurityManager::GetSecurityId(LPCWSTR, BYTE*, DWORD*, DWORD_PTR) {
    return INET_E_DEFAULT_ACTION;
}

HRESULT CDocHostSite::XInternetSecurityManager::ProcessUrlAction(LPCWSTR, DWORD dwAction, BYTE* pPolicy, DWORD cbPolicy,
                                                                 BYTE*, DWORD, DWORD, DWORD) {
    DWORD dwPolicy = URLPOLICY_ALLOW;
    if (dwAction >= 0x1200 && dwAction <= 0x13FF) {
        dwPolicy = URLPOLICY_ALLOW;  // ActiveX controls and plug-ins
    } else if ((dwAction >= 0x1C00 && dwAction <= 0x1CFF) || dwAction == 0x1605) {
        return INET_E_DEFAULT_ACTION;
    } else if (dwAction == URLACTION_CROSS_DOMAIN_DATA) {
        // The page's scripts run freely, but reading other sites' data
        // through it would hand them to whoever controls the page.
        dwPolicy = URLPOLICY_DISALLOW;
    } else if (dwAction >= 0x1400 && dwAction <= 0x15FF) {
        dwPolicy = URLPOLICY_ALLOW;  // scripting
    } else {
        return INET_E_DEFAULT_ACTION;
    }
    if (cbPolicy < sizeof(DWORD) || !pPolicy) {
        return S_FALSE;
    }
    std::memcpy(pPolicy, &dwPolicy, sizeof dwPolicy);
    return dwPolicy == URLPOLICY_ALLOW ? S_OK : S_FALSE;
}

HRESULT CDocHostSite::XInternetSecurityManager::QueryCustomPolicy(LPCWSTR, REFGUID, BYTE**, DWORD*, BYTE*, DWORD,
                                                                  DWORD) {
    return INET_E_DEFAULT_ACTION;
}

HRESULT CDocHostSite::XInternetSecurityManager::SetZoneMapping(DWORD, LPCWSTR, DWORD) {
    return INET_E_DEFAULT_ACTION;
}

HRESULT CDocHostSite::XInternetSecurityManager::GetZoneMappings(DWORD, IEnumString**, DWORD) {
    return INET_E_DEFAULT_ACTION;
}

// ---- IServiceProvider

HRESULT CDocHostSite::XServiceProvider::QueryService(REFGUID guidService, REFIID riid, void** ppvObject) {
    if (!ppvObject) {
        return E_POINTER;
    }
    if (guidService == IID_IInternetSecurityManager && riid == IID_IInternetSecurityManager) {
        return m_pThis->Hand(m_pThis->m_xInternetSecurityManager, ppvObject);
    }
    *ppvObject = nullptr;
    return E_NOINTERFACE;
}
