#include "platform/win32/browser/browser_site.h"

#include <exdisp.h>
#include <exdispid.h>
#include <olectl.h>

namespace platform {

namespace {

// The control passes its by-reference arguments as VT_BYREF variants; a
// plain one stands for itself.
VARIANT* Referenced(VARIANT& argument) {
    return argument.vt == (VT_BYREF | VT_VARIANT) ? argument.pvarVal : &argument;
}

IDispatch* DispatchOf(const VARIANT& argument) {
    return argument.vt == VT_DISPATCH ? argument.pdispVal : nullptr;
}

}  // namespace

BrowserSite::BrowserSite(BrowserClient& client, HWND window) : m_client(&client), m_window(window) {}

HRESULT BrowserSite::QueryInterface(REFIID riid, void** ppvObject) {
    if (!ppvObject) {
        return E_POINTER;
    }
    *ppvObject = nullptr;
    if (riid == IID_IUnknown || riid == IID_IOleClientSite) {
        *ppvObject = static_cast<IOleClientSite*>(this);
    } else if (riid == IID_IOleWindow || riid == IID_IOleInPlaceSite) {
        *ppvObject = static_cast<IOleInPlaceSite*>(this);
    } else if (riid == IID_IOleInPlaceUIWindow || riid == IID_IOleInPlaceFrame) {
        *ppvObject = static_cast<IOleInPlaceFrame*>(this);
    } else if (riid == IID_IDispatch || riid == DIID_DWebBrowserEvents2) {
        *ppvObject = static_cast<IDispatch*>(this);
    } else if (m_client) {
        return m_client->QueryHostInterface(riid, ppvObject);
    } else {
        return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
}

ULONG BrowserSite::Release() {
    const ULONG left = --m_refs;
    if (left == 0) {
        delete this;
    }
    return left;
}

HRESULT BrowserSite::GetContainer(IOleContainer** ppContainer) {
    if (ppContainer) {
        *ppContainer = nullptr;
    }
    return E_NOINTERFACE;
}

HRESULT BrowserSite::GetWindow(HWND* phwnd) {
    if (!phwnd) {
        return E_POINTER;
    }
    *phwnd = m_window;
    return S_OK;
}

HRESULT BrowserSite::GetWindowContext(IOleInPlaceFrame** ppFrame, IOleInPlaceUIWindow** ppDoc, LPRECT lprcPosRect,
                                      LPRECT lprcClipRect, LPOLEINPLACEFRAMEINFO lpFrameInfo) {
    if (!ppFrame || !ppDoc || !lprcPosRect || !lprcClipRect || !lpFrameInfo) {
        return E_POINTER;
    }
    *ppFrame = this;
    AddRef();
    *ppDoc = nullptr;
    ::GetClientRect(m_window, lprcPosRect);
    *lprcClipRect = *lprcPosRect;
    lpFrameInfo->fMDIApp = FALSE;
    lpFrameInfo->hwndFrame = GetAncestor(m_window, GA_ROOT);
    lpFrameInfo->haccel = nullptr;
    lpFrameInfo->cAccelEntries = 0;
    return S_OK;
}

HRESULT BrowserSite::GetTypeInfoCount(UINT* pctinfo) {
    if (!pctinfo) {
        return E_POINTER;
    }
    *pctinfo = 0;
    return S_OK;
}

HRESULT BrowserSite::Invoke(DISPID dispIdMember, REFIID, LCID, WORD, DISPPARAMS* pDispParams, VARIANT* pVarResult,
                            EXCEPINFO*, UINT*) {
    // The client may end the host while it handles an event.
    AddRef();
    HRESULT result = DISP_E_MEMBERNOTFOUND;
    VARIANTARG* args = pDispParams ? pDispParams->rgvarg : nullptr;
    const UINT count = pDispParams ? pDispParams->cArgs : 0;
    if (dispIdMember == DISPID_AMBIENT_USERMODE && pVarResult) {
        // The page is live, not being designed.
        VariantInit(pVarResult);
        pVarResult->vt = VT_BOOL;
        pVarResult->boolVal = VARIANT_TRUE;
        result = S_OK;
    } else if (dispIdMember == DISPID_DOCUMENTCOMPLETE && m_client && count == 2) {
        // Arguments come last first.
        m_client->DocumentComplete(DispatchOf(args[1]), Referenced(args[0]));
        result = S_OK;
    } else if (dispIdMember == DISPID_NAVIGATEERROR && m_client && count == 5) {
        VARIANT_BOOL* cancel = args[0].vt == (VT_BYREF | VT_BOOL) ? args[0].pboolVal : nullptr;
        m_client->NavigateError(DispatchOf(args[4]), Referenced(args[3]), Referenced(args[2]), Referenced(args[1]),
                                cancel);
        result = S_OK;
    }
    Release();
    return result;
}

}  // namespace platform
