// The WebBrowser control hosted in a window of ours without a framework of
// COM classes: made, activated in place filling the window's client area
// (and following its size), navigated, and its events handed to a client.
// Window thread only.
#pragma once

#include "platform/win32/browser/browser_client.h"

#include <exdisp.h>
#include <ole2.h>

#include <memory>

namespace platform {

class BrowserSite;

class WebBrowserHost {
public:
    // Null when the control cannot be made or activated (no browser engine).
    static std::unique_ptr<WebBrowserHost> Create(HWND window, BrowserClient& client);
    ~WebBrowserHost();
    WebBrowserHost(const WebBrowserHost&) = delete;
    WebBrowserHost& operator=(const WebBrowserHost&) = delete;

    // Starts loading; the outcome arrives as events.
    HRESULT Navigate(const wchar_t* url);
    // The current document with a reference, or null.
    IDispatch* Document() const;
    // Offers a key message to the control (Tab, its accelerators); true when
    // it took the message.
    bool TranslateAccelerator(MSG* msg);
    // The client site the control holds, with a reference.
    IOleClientSite* Site() const;

private:
    WebBrowserHost(HWND window, BrowserClient& client);
    bool Open();
    static LRESULT CALLBACK FollowSize(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    HWND m_window;
    BrowserClient& m_client;
    BrowserSite* m_site;
    bool m_siteAttached = false;
    bool m_oleStarted = false;
    IOleObject* m_object = nullptr;
    IWebBrowser2* m_browser = nullptr;
    IOleInPlaceObject* m_inPlace = nullptr;
    IConnectionPoint* m_events = nullptr;
    DWORD m_eventsCookie = 0;
    WNDPROC m_windowProc = nullptr;
};

}  // namespace platform
