// The browser behind the framework's CHtmlView on Windows: the WebBrowser
// control in the view's browser window. The control asks the view's control
// site for what goes beyond the OLE site (the UI handler, message boxes,
// security), and its events reach the view's DocumentComplete and
// NavigateError. Window thread only.
#pragma once

#include "platform/afxhtml.h"
#include "platform/win32/browser/web_browser_host.h"

#include <memory>
#include <string>

namespace platform {

class BrowserControl final : public BrowserClient {
public:
    // Null when the control cannot be made (no browser engine).
    static std::unique_ptr<BrowserControl> Create(CHtmlView& view, COleControlSite& site, HWND window);

    void Navigate(const std::wstring& url);
    // The current document's IDispatch with a reference; NULL before the first.
    LPDISPATCH Document() const;
    // The client site the control holds, with a reference.
    IOleClientSite* Site() const { return m_host->Site(); }
    // Offers a key message to the control; true when it took it.
    bool TranslateAccelerator(MSG* pMsg) { return m_host->TranslateAccelerator(pMsg); }

    void DocumentComplete(IDispatch* pDisp, VARIANT* pvURL) override;
    void NavigateError(IDispatch* pDisp, VARIANT* pvURL, VARIANT* pvFrame, VARIANT* pvStatusCode,
                       VARIANT_BOOL* pvbCancel) override;
    HRESULT QueryHostInterface(REFIID iid, void** ppvObject) override;
    void AttachSite(IUnknown* pSite) override;

private:
    BrowserControl(CHtmlView& view, COleControlSite& site);

    CHtmlView& m_view;
    COleControlSite& m_site;
    std::unique_ptr<WebBrowserHost> m_host;
};

}  // namespace platform
