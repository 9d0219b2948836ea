#include "platform/win32/browser/browser_control.h"

namespace platform {

// The control keeps its cache and site data where the system keeps every
// browser control's: there is no folder of the program's own to name.
void SetBrowserDataFolder(const std::wstring&) {}

std::unique_ptr<BrowserControl> BrowserControl::Create(CHtmlView& view, COleControlSite& site, HWND window) {
    std::unique_ptr<BrowserControl> control(new BrowserControl(view, site));
    control->m_host = WebBrowserHost::Create(window, *control);
    if (!control->m_host) {
        return nullptr;
    }
    return control;
}

BrowserControl::BrowserControl(CHtmlView& view, COleControlSite& site) : m_view(view), m_site(site) {}

void BrowserControl::Navigate(const std::wstring& url) {
    m_host->Navigate(url.c_str());
}

LPDISPATCH BrowserControl::Document() const {
    return m_host->Document();
}

void BrowserControl::DocumentComplete(IDispatch* pDisp, VARIANT* pvURL) {
    m_view.DocumentComplete(pDisp, pvURL);
}

void BrowserControl::NavigateError(IDispatch* pDisp, VARIANT* pvURL, VARIANT* pvFrame, VARIANT* pvStatusCode,
                                   VARIANT_BOOL* pvbCancel) {
    m_view.NavigateError(pDisp, pvURL, pvFrame, pvStatusCode, pvbCancel);
}

HRESULT BrowserControl::QueryHostInterface(REFIID iid, void** ppvObject) {
    return m_site.InternalQueryInterface(iid, ppvObject);
}

void BrowserControl::AttachSite(IUnknown* pSite) {
    // The view's site answers for the control's: one object to the control.
    m_site.SetControllingUnknown(pSite);
}

}  // namespace platform
