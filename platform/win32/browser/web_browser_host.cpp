#include "platform/win32/browser/web_browser_host.h"

#include "platform/win32/browser/browser_site.h"

namespace platform {

namespace {

// Where the window keeps its host while the host follows its size.
constexpr wchar_t kHostProperty[] = L"Quillmoor.WebBrowserHost";

template <typename Interface>
void ReleaseAndClear(Interface*& object) {
    if (object) {
        object->Release();
        object = nullptr;
    }
}

}  // namespace

std::unique_ptr<WebBrowserHost> WebBrowserHost::Create(HWND window, BrowserClient& client) {
    std::unique_ptr<WebBrowserHost> host(new WebBrowserHost(window, client));
    if (!host->Open()) {
        return nullptr;
    }
    return host;
}

WebBrowserHost::WebBrowserHost(HWND window, BrowserClient& client)
    : m_window(window), m_client(client), m_site(new BrowserSite(client, window)) {}

bool WebBrowserHost::Open() {
    // Each successful start is ended once, in the destructor.
    m_oleStarted = SUCCEEDED(OleInitialize(nullptr));
    if (!m_oleStarted || FAILED(CoCreateInstance(CLSID_WebBrowser, nullptr, CLSCTX_INPROC_SERVER, IID_IOleObject,
                                                 reinterpret_cast<void**>(&m_object)))) {
        return false;
    }
    m_client.AttachSite(static_cast<IOleClientSite*>(m_site));
    m_siteAttached = true;
    if (FAILED(m_object->SetClientSite(m_site))) {
        return false;
    }
    RECT area{};
    GetClientRect(m_window, &area);
    if (FAILED(m_object->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, m_site, 0, m_window, &area)) ||
        FAILED(m_object->QueryInterface(IID_IWebBrowser2, reinterpret_cast<void**>(&m_browser))) ||
        FAILED(m_object->QueryInterface(IID_IOleInPlaceObject, reinterpret_cast<void**>(&m_inPlace)))) {
        return false;
    }
    IConnectionPointContainer* points = nullptr;
    if (SUCCEEDED(m_object->QueryInterface(IID_IConnectionPointContainer, reinterpret_cast<void**>(&points)))) {
        if (SUCCEEDED(points->FindConnectionPoint(DIID_DWebBrowserEvents2, &m_events)) &&
            FAILED(m_events->Advise(static_cast<IDispatch*>(m_site), &m_eventsCookie))) {
            ReleaseAndClear(m_events);
        }
        points->Release();
    }
    if (!m_events) {
        return false;  // a control whose events never come is no use to the view
    }
    SetPropW(m_window, kHostProperty, this);
    m_windowProc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(m_window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&WebBrowserHost::FollowSize)));
    return true;
}

WebBrowserHost::~WebBrowserHost() {
    if (m_windowProc) {
        SetWindowLongPtrW(m_window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(m_windowProc));
        RemovePropW(m_window, kHostProperty);
    }
    // No event reaches the client from here on, even while the control closes.
    m_site->Detach();
    if (m_events) {
        m_events->Unadvise(m_eventsCookie);
        ReleaseAndClear(m_events);
    }
    if (m_inPlace) {
        m_inPlace->InPlaceDeactivate();
        ReleaseAndClear(m_inPlace);
    }
    ReleaseAndClear(m_browser);
    if (m_object) {
        m_object->Close(OLECLOSE_NOSAVE);
        m_object->SetClientSite(nullptr);
        ReleaseAndClear(m_object);
    }
    if (m_siteAttached) {
        m_client.AttachSite(nullptr);
    }
    m_site->Release();
    if (m_oleStarted) {
        OleUninitialize();
    }
}

HRESULT WebBrowserHost::Navigate(const wchar_t* url) {
    VARIANT address;
    VariantInit(&address);
    address.vt = VT_BSTR;
    address.bstrVal = SysAllocString(url);
    VARIANT none;
    VariantInit(&none);
    const HRESULT result = m_browser->Navigate2(&address, &none, &none, &none, &none);
    VariantClear(&address);
    return result;
}

IDispatch* WebBrowserHost::Document() const {
    IDispatch* document = nullptr;
    if (FAILED(m_browser->get_Document(&document))) {
        return nullptr;
    }
    return document;
}

bool WebBrowserHost::TranslateAccelerator(MSG* msg) {
    IOleInPlaceActiveObject* active = nullptr;
    if (FAILED(m_object->QueryInterface(IID_IOleInPlaceActiveObject, reinterpret_cast<void**>(&active)))) {
        return false;
    }
    const bool taken = active->TranslateAccelerator(msg) == S_OK;
    active->Release();
    return taken;
}

IOleClientSite* WebBrowserHost::Site() const {
    IOleClientSite* site = nullptr;
    m_object->GetClientSite(&site);
    return site;
}

LRESULT CALLBACK WebBrowserHost::FollowSize(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* host = static_cast<WebBrowserHost*>(GetPropW(window, kHostProperty));
    if (message == WM_SIZE) {
        RECT area{0, 0, LOWORD(lParam), HIWORD(lParam)};
        host->m_inPlace->SetObjectRects(&area, &area);
    }
    return CallWindowProcW(host->m_windowProc, window, message, wParam, lParam);
}

}  // namespace platform
