// What the WebBrowser control's host passes on: the control's events, and
// its questions that go beyond the OLE site (the UI handler, the message
// boxes, the security manager, ...).
#pragma once

#include <oaidl.h>
#include <windows.h>

namespace platform {

class BrowserClient {
public:
    // DWebBrowserEvents2's arguments as the control gives them.
    virtual void DocumentComplete(IDispatch* pDisp, VARIANT* pvURL) = 0;
    virtual void NavigateError(IDispatch* pDisp, VARIANT* pvURL, VARIANT* pvFrame, VARIANT* pvStatusCode,
                               VARIANT_BOOL* pvbCancel) = 0;
    // The client's own answer for an interface of the site beyond the OLE
    // ones, with a reference, or E_NOINTERFACE.
    virtual HRESULT QueryHostInterface(REFIID iid, void** ppvObject) = 0;
    // The site object, before the control gets it, and NULL once the control
    // has let it go: the interfaces the client hands out should lead back to
    // it (their IUnknown and reference counts are the site's).
    virtual void AttachSite(IUnknown* pSite) = 0;

protected:
    ~BrowserClient() = default;
};

}  // namespace platform
