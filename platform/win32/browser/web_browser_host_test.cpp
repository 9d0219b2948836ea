// The WebBrowser control in a plain window: made and activated there,
// following the window's size, asking the host for its interfaces beyond
// the OLE site, and reporting a refused address as a navigation error.
#include "platform/win32/browser/web_browser_host.h"

#include "tests/support/loopback_server.h"
#include "tests/support/wine.h"

#include <gtest/gtest.h>

#include <mshtmhst.h>

#include <chrono>
#include <functional>
#include <string>
#include <vector>

namespace {

struct RecordedError {
    std::wstring url;
    LONG status = 0;
    bool cancelWritable = false;
};

// Records the events; answers only IDocHostUIHandler2's base interface
// with a marker object, to see what the control reaches through the site.
class RecordingClient : public platform::BrowserClient {
public:
    void DocumentComplete(IDispatch*, VARIANT*) override { ++documents; }
    void NavigateError(IDispatch*, VARIANT* pvURL, VARIANT*, VARIANT* pvStatusCode, VARIANT_BOOL* pvbCancel) override {
        RecordedError error;
        if (pvURL && pvURL->vt == VT_BSTR) {
            error.url = pvURL->bstrVal;
        }
        if (pvStatusCode && pvStatusCode->vt == VT_I4) {
            error.status = pvStatusCode->lVal;
        }
        error.cancelWritable = pvbCancel != nullptr;
        errors.push_back(error);
    }
    HRESULT QueryHostInterface(REFIID iid, void** ppvObject) override {
        asked.push_back(iid);
        *ppvObject = nullptr;
        return E_NOINTERFACE;
    }

    int documents = 0;
    std::vector<RecordedError> errors;
    std::vector<IID> asked;
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

// Runs the window thread's messages until the condition holds or the limit passes.
bool PumpUntil(const std::function<bool()>& condition, std::chrono::milliseconds limit) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > end) {
            return false;
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
    return true;
}

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
    site->Release();

    // Gone with the host: nothing of the control is left in the window.
    host.reset();
    EXPECT_FALSE(IsWindow(control));
}

TEST(WebBrowserHost, ARefusedAddressArrivesAsNavigateErrorWithItsCode) {
    PlainWindow window;
    RecordingClient client;
    auto host = platform::WebBrowserHost::Create(window.Handle(), client);
    ASSERT_TRUE(host);
    const std::wstring url = L"http://127.0.0.1:" + std::to_wstring(testsupport::LoopbackServer::RefusedPort()) + L"/";
    ASSERT_EQ(host->Navigate(url.c_str()), S_OK);
    ASSERT_TRUE(PumpUntil([&] { return !client.errors.empty(); }, std::chrono::seconds(15)));

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
    EXPECT_EQ(client.documents, 0);
}

}  // namespace
