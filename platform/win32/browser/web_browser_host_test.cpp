// The WebBrowser control in a plain window: made and activated there,
// following the window's size, asking the host for its interfaces beyond
// the OLE site, reporting a refused address as a navigation error; and the
// event sink reading the control's events.
#include "platform/win32/browser/web_browser_host.h"

#include "platform/window_automation.h"
#include "tests/support/loopback_server.h"
#include "tests/support/wine.h"

#include <gtest/gtest.h>

#include <exdispid.h>
#include <mshtmdid.h>
#include <mshtmhst.h>
#include <olectl.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

struct RecordedError {
    std::wstring url;
    std::wstring frame;
    LONG status = 0;
    bool cancelWritable = false;
};

std::wstring TextOf(const VARIANT* value) {
    return value && value->vt == VT_BSTR && value->bstrVal ? std::wstring(value->bstrVal) : std::wstring();
}

// Records the events, and which host interfaces the control asks the site
// for (it gets none: the control's own behaviour stands).
class RecordingClient : public platform::BrowserClient {
public:
    void DocumentComplete(IDispatch* pDisp, VARIANT* pvURL) override {
        documents.push_back(TextOf(pvURL));
        documentSource = pDisp;
    }
    void NavigateError(IDispatch*, VARIANT* pvURL, VARIANT* pvFrame, VARIANT* pvStatusCode,
                       VARIANT_BOOL* pvbCancel) override {
        RecordedError error{TextOf(pvURL), TextOf(pvFrame)};
        if (pvStatusCode && pvStatusCode->vt == VT_I4) {
            error.status = pvStatusCode->lVal;
        }
        error.cancelWritable = pvbCancel != nullptr;
        if (pvbCancel) {
            *pvbCancel = cancel;
        }
        errors.push_back(error);
    }
    HRESULT QueryHostInterface(REFIID iid, void** ppvObject) override {
        asked.push_back(iid);
        *ppvObject = nullptr;
        return E_NOINTERFACE;
    }
    void AttachSite(IUnknown* pSite) override { attached.push_back(pSite); }

    std::vector<std::wstring> documents;
    IDispatch* documentSource = nullptr;
    std::vector<RecordedError> errors;
    VARIANT_BOOL cancel = VARIANT_FALSE;
    std::vector<IID> asked;
    std::vector<IUnknown*> attached;
};

class PlainWindow {
public:
    PlainWindow() {
        WNDCLASSW windowClass{};
        windowClass.lpfnWndProc = DefWindowProcW;
        windowClass.hInstance = GetModuleHandleW(nullptr);
        windowClass.lpszClassName = L"BrowserHostTest";
        RegisterClassW(&windowClass);
        m_window = CreateWindowExW(0, L"BrowserHostTest", L"host", WS_OVERLAPPEDWINDOW, 0, 0, 400, 300, nullptr,
                                   nullptr, windowClass.hInstance, nullptr);
    }
    ~PlainWindow() { DestroyWindow(m_window); }
    HWND Handle() const { return m_window; }

private:
    HWND m_window;
};

RECT ClientArea(HWND window) {
    RECT area{};
    GetClientRect(window, &area);
    return area;
}

TEST(WebBrowserHost, TheControlFillsTheWindowFollowsItsSizeAndAsksTheHostThroughTheSite) {
    PlainWindow window;
    ASSERT_TRUE(window.Handle());
    RecordingClient client;
    auto host = platform::WebBrowserHost::Create(window.Handle(), client);
    ASSERT_TRUE(host) << "the control was not made or activated";

    // The control's window is the host window's child, over its client area.
    HWND control = GetWindow(window.Handle(), GW_CHILD);
    ASSERT_TRUE(control);
    RECT area = ClientArea(control);
    EXPECT_EQ(area.right, ClientArea(window.Handle()).right);
    EXPECT_EQ(area.bottom, ClientArea(window.Handle()).bottom);

    SetWindowPos(window.Handle(), nullptr, 0, 0, 640, 480, SWP_NOZORDER | SWP_NOACTIVATE);
    const RECT resized = ClientArea(window.Handle());
    area = ClientArea(control);
    EXPECT_EQ(area.right, resized.right);
    EXPECT_EQ(area.bottom, resized.bottom);

    // The control found the host's UI handler through the site.
    bool askedForUiHandler = false;
    for (const IID& iid : client.asked) {
        askedForUiHandler = askedForUiHandler || iid == IID_IDocHostUIHandler;
    }
    EXPECT_TRUE(askedForUiHandler);

    // The site the control holds is the host's: in place in the window.
    IOleClientSite* site = host->Site();
    ASSERT_TRUE(site);
    IOleInPlaceSite* inPlace = nullptr;
    ASSERT_EQ(site->QueryInterface(IID_IOleInPlaceSite, reinterpret_cast<void**>(&inPlace)), S_OK);
    HWND siteWindow = nullptr;
    EXPECT_EQ(inPlace->GetWindow(&siteWindow), S_OK);
    EXPECT_EQ(siteWindow, window.Handle());
    inPlace->Release();
    // The client knows the site by the identity the control sees.
    IUnknown* identity = nullptr;
    ASSERT_EQ(site->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&identity)), S_OK);
    ASSERT_EQ(client.attached.size(), 1u);
    EXPECT_EQ(client.attached[0], identity);
    identity->Release();
    site->Release();

    // Gone with the host: nothing of the control is left in the window, and
    // the client was told the site before the control had it and after.
    host.reset();
    EXPECT_FALSE(IsWindow(control));
    ASSERT_EQ(client.attached.size(), 2u);
    EXPECT_EQ(client.attached[1], nullptr);
}

TEST(WebBrowserHost, ARefusedAddressArrivesAsNavigateErrorWithItsCode) {
    PlainWindow window;
    RecordingClient client;
    auto host = platform::WebBrowserHost::Create(window.Handle(), client);
    ASSERT_TRUE(host);
    const std::wstring url = L"http://127.0.0.1:" + std::to_wstring(testsupport::LoopbackServer::RefusedPort()) + L"/";
    ASSERT_EQ(host->Navigate(url.c_str()), S_OK);
    ASSERT_TRUE(platform::RunMessagesUntil([&] { return !client.errors.empty(); }, 15000));

    ASSERT_EQ(client.errors.size(), 1u);
    EXPECT_EQ(client.errors[0].url, url);
    EXPECT_TRUE(client.errors[0].cancelWritable);
    if (testsupport::UnderWine()) {
        // Wine reports every failed connection so.
        EXPECT_EQ(client.errors[0].status, static_cast<LONG>(0x800C0008));  // INET_E_DOWNLOAD_FAILURE
    } else {
        // The browser's own error codes (INET_E_...).
        EXPECT_EQ(client.errors[0].status & 0xFFFF0000, static_cast<LONG>(0x800C0000));
    }
    EXPECT_TRUE(client.documents.empty());
}

VARIANT Variant(VARTYPE type, LONG value = 0) {
    VARIANT variant;
    VariantInit(&variant);
    variant.vt = type;
    variant.lVal = value;
    return variant;
}

// Sends an event with its arguments in the order they are declared, as the
// control does (DISPPARAMS holds them last first).
HRESULT Send(IDispatch* sink, DISPID event, std::vector<VARIANT> args) {
    std::reverse(args.begin(), args.end());
    DISPPARAMS params{args.data(), nullptr, static_cast<UINT>(args.size()), 0};
    return sink->Invoke(event, IID_NULL, 0, DISPATCH_METHOD, &params, nullptr, nullptr, nullptr);
}

// What Wine's control never sends without a page renderer (a completed
// document), and the by-reference arguments a real Windows control passes,
// sent to the sink the control was given.
TEST(WebBrowserHost, TheSinkReadsEventsAsTheControlSendsThemAndAnswersAmbientProperties) {
    PlainWindow window;
    RecordingClient client;
    auto host = platform::WebBrowserHost::Create(window.Handle(), client);
    ASSERT_TRUE(host);
    IOleClientSite* site = host->Site();
    ASSERT_TRUE(site);
    IDispatch* sink = nullptr;
    ASSERT_EQ(site->QueryInterface(DIID_DWebBrowserEvents2, reinterpret_cast<void**>(&sink)), S_OK);
    VARIANT source = Variant(VT_DISPATCH);
    source.pdispVal = sink;
    VARIANT url = Variant(VT_BSTR), frame = Variant(VT_BSTR), status = Variant(VT_I4, 404);
    url.bstrVal = SysAllocString(L"http://127.0.0.1/page.html");
    frame.bstrVal = SysAllocString(L"banner");
    VARIANT urlRef = Variant(VT_BYREF | VT_VARIANT), frameRef = urlRef, statusRef = urlRef;
    urlRef.pvarVal = &url;
    frameRef.pvarVal = &frame;
    statusRef.pvarVal = &status;

    EXPECT_EQ(Send(sink, DISPID_DOCUMENTCOMPLETE, {source, urlRef}), S_OK);
    ASSERT_EQ(client.documents, std::vector<std::wstring>{L"http://127.0.0.1/page.html"});
    EXPECT_EQ(client.documentSource, sink);

    // The client's cancel answer goes back to the control.
    VARIANT_BOOL cancel = VARIANT_FALSE;
    VARIANT cancelRef = Variant(VT_BYREF | VT_BOOL);
    cancelRef.pboolVal = &cancel;
    client.cancel = VARIANT_TRUE;
    EXPECT_EQ(Send(sink, DISPID_NAVIGATEERROR, {source, urlRef, frameRef, statusRef, cancelRef}), S_OK);
    ASSERT_EQ(client.errors.size(), 1u);
    EXPECT_EQ(client.errors[0].url, L"http://127.0.0.1/page.html");
    EXPECT_EQ(client.errors[0].frame, L"banner");
    EXPECT_EQ(client.errors[0].status, 404);
    EXPECT_EQ(cancel, VARIANT_TRUE);

    // The page is live (user mode); other ambient properties are the control's own.
    VARIANT answer = Variant(VT_EMPTY);
    DISPPARAMS none{nullptr, nullptr, 0, 0};
    EXPECT_EQ(
        sink->Invoke(DISPID_AMBIENT_USERMODE, IID_NULL, 0, DISPATCH_PROPERTYGET, &none, &answer, nullptr, nullptr),
        S_OK);
    EXPECT_EQ(answer.vt, VT_BOOL);
    EXPECT_EQ(answer.boolVal, VARIANT_TRUE);
    EXPECT_EQ(
        sink->Invoke(DISPID_AMBIENT_DLCONTROL, IID_NULL, 0, DISPATCH_PROPERTYGET, &none, &answer, nullptr, nullptr),
        DISP_E_MEMBERNOTFOUND);

    // Once the host is gone, a control still holding the sink reaches nobody.
    host.reset();
    EXPECT_EQ(Send(sink, DISPID_DOCUMENTCOMPLETE, {source, urlRef}), DISP_E_MEMBERNOTFOUND);
    EXPECT_EQ(client.documents.size(), 1u);
    sink->Release();
    site->Release();
    VariantClear(&url);
    VariantClear(&frame);
}

}  // namespace
