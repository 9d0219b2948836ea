// Keys for the page reach the browser control before the windows around it:
// the view, in a window of the framework, over a stand-in control that
// wraps the real one and records what its in-place active object is offered.
#include "platform/afxhtml.h"

#include <exdisp.h>
#include <gtest/gtest.h>

#include <vector>

namespace {

struct OfferedKey {
    UINT message;
    WPARAM key;
    HWND window;
};

// The real control with one difference: its in-place active object records
// each message offered and takes Tab only.
class RecordingControl final : public IOleObject, public IOleInPlaceActiveObject {
public:
    RecordingControl(IOleObject* real, std::vector<OfferedKey>& offered) : m_real(real), m_offered(offered) {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
        if (riid == IID_IUnknown || riid == IID_IOleObject) {
            *ppv = static_cast<IOleObject*>(this);
        } else if (riid == IID_IOleInPlaceActiveObject || riid == IID_IOleWindow) {
            *ppv = static_cast<IOleInPlaceActiveObject*>(this);
        } else {
            return m_real->QueryInterface(riid, ppv);
        }
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++m_references; }
    ULONG STDMETHODCALLTYPE Release() override {
        const ULONG left = --m_references;
        if (left == 0) {
            m_real->Release();
            delete this;
        }
        return left;
    }

    // IOleInPlaceActiveObject
    HRESULT STDMETHODCALLTYPE TranslateAccelerator(LPMSG lpmsg) override {
        m_offered.push_back({lpmsg->message, lpmsg->wParam, lpmsg->hwnd});
        return lpmsg->message == WM_KEYDOWN && lpmsg->wParam == VK_TAB ? S_OK : S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE GetWindow(HWND* phwnd) override {
        return Active([&](auto* a) { return a->GetWindow(phwnd); });
    }
    HRESULT STDMETHODCALLTYPE ContextSensitiveHelp(BOOL f) override {
        return Active([&](auto* a) { return a->ContextSensitiveHelp(f); });
    }
    HRESULT STDMETHODCALLTYPE OnFrameWindowActivate(BOOL f) override {
        return Active([&](auto* a) { return a->OnFrameWindowActivate(f); });
    }
    HRESULT STDMETHODCALLTYPE OnDocWindowActivate(BOOL f) override {
        return Active([&](auto* a) { return a->OnDocWindowActivate(f); });
    }
    HRESULT STDMETHODCALLTYPE ResizeBorder(LPCRECT r, IOleInPlaceUIWindow* w, BOOL f) override {
        return Active([&](auto* a) { return a->ResizeBorder(r, w, f); });
    }
    HRESULT STDMETHODCALLTYPE EnableModeless(BOOL f) override {
        return Active([&](auto* a) { return a->EnableModeless(f); });
    }

    // IOleObject, passed on.
    HRESULT STDMETHODCALLTYPE SetClientSite(IOleClientSite* s) override { return m_real->SetClientSite(s); }
    HRESULT STDMETHODCALLTYPE GetClientSite(IOleClientSite** s) override { return m_real->GetClientSite(s); }
    HRESULT STDMETHODCALLTYPE SetHostNames(LPCOLESTR a, LPCOLESTR o) override { return m_real->SetHostNames(a, o); }
    HRESULT STDMETHODCALLTYPE Close(DWORD d) override { return m_real->Close(d); }
    HRESULT STDMETHODCALLTYPE SetMoniker(DWORD w, IMoniker* m) override { return m_real->SetMoniker(w, m); }
    HRESULT STDMETHODCALLTYPE GetMoniker(DWORD a, DWORD w, IMoniker** m) override {
        return m_real->GetMoniker(a, w, m);
    }
    HRESULT STDMETHODCALLTYPE InitFromData(IDataObject* d, BOOL c, DWORD r) override {
        return m_real->InitFromData(d, c, r);
    }
    HRESULT STDMETHODCALLTYPE GetClipboardData(DWORD r, IDataObject** d) override {
        return m_real->GetClipboardData(r, d);
    }
    HRESULT STDMETHODCALLTYPE DoVerb(LONG v, LPMSG m, IOleClientSite* s, LONG i, HWND p, LPCRECT r) override {
        return m_real->DoVerb(v, m, s, i, p, r);
    }
    HRESULT STDMETHODCALLTYPE EnumVerbs(IEnumOLEVERB** e) override { return m_real->EnumVerbs(e); }
    HRESULT STDMETHODCALLTYPE Update() override { return m_real->Update(); }
    HRESULT STDMETHODCALLTYPE IsUpToDate() override { return m_real->IsUpToDate(); }
    HRESULT STDMETHODCALLTYPE GetUserClassID(CLSID* c) override { return m_real->GetUserClassID(c); }
    HRESULT STDMETHODCALLTYPE GetUserType(DWORD f, LPOLESTR* t) override { return m_real->GetUserType(f, t); }
    HRESULT STDMETHODCALLTYPE SetExtent(DWORD a, SIZEL* s) override { return m_real->SetExtent(a, s); }
    HRESULT STDMETHODCALLTYPE GetExtent(DWORD a, SIZEL* s) override { return m_real->GetExtent(a, s); }
    HRESULT STDMETHODCALLTYPE Advise(IAdviseSink* s, DWORD* c) override { return m_real->Advise(s, c); }
    HRESULT STDMETHODCALLTYPE Unadvise(DWORD c) override { return m_real->Unadvise(c); }
    HRESULT STDMETHODCALLTYPE EnumAdvise(IEnumSTATDATA** e) override { return m_real->EnumAdvise(e); }
    HRESULT STDMETHODCALLTYPE GetMiscStatus(DWORD a, DWORD* s) override { return m_real->GetMiscStatus(a, s); }
    HRESULT STDMETHODCALLTYPE SetColorScheme(LOGPALETTE* p) override { return m_real->SetColorScheme(p); }

private:
    template <typename Call>
    HRESULT Active(Call call) {
        IOleInPlaceActiveObject* active = nullptr;
        if (FAILED(m_real->QueryInterface(IID_IOleInPlaceActiveObject, reinterpret_cast<void**>(&active)))) {
            return E_NOINTERFACE;
        }
        const HRESULT result = call(active);
        active->Release();
        return result;
    }

    ULONG m_references = 1;
    IOleObject* m_real;
    std::vector<OfferedKey>& m_offered;
};

// Stands in for the browser's class in this process while it lives: every
// control made is a RecordingControl around a real one.
class StandInControlClass final : public IClassFactory {
public:
    StandInControlClass() {
        OleInitialize(nullptr);
        if (SUCCEEDED(CoGetClassObject(CLSID_WebBrowser, CLSCTX_INPROC_SERVER, nullptr, IID_IClassFactory,
                                       reinterpret_cast<void**>(&m_real)))) {
            CoRegisterClassObject(CLSID_WebBrowser, this, CLSCTX_INPROC_SERVER, REGCLS_MULTIPLEUSE, &m_cookie);
        }
    }
    ~StandInControlClass() {
        if (m_cookie) {
            CoRevokeClassObject(m_cookie);
        }
        if (m_real) {
            m_real->Release();
        }
        OleUninitialize();
    }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
        if (riid == IID_IUnknown || riid == IID_IClassFactory) {
            *ppv = static_cast<IClassFactory*>(this);
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    // Lives on the test's stack.
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID riid, void** ppv) override {
        IOleObject* real = nullptr;
        if (outer || FAILED(m_real->CreateInstance(nullptr, IID_IOleObject, reinterpret_cast<void**>(&real)))) {
            return E_FAIL;
        }
        ++made;
        RecordingControl* control = new RecordingControl(real, offered);
        const HRESULT result = control->QueryInterface(riid, ppv);
        control->Release();
        return result;
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }

    bool Registered() const { return m_cookie != 0; }

    int made = 0;
    std::vector<OfferedKey> offered;

private:
    IClassFactory* m_real = nullptr;
    DWORD m_cookie = 0;
};

// The window around the view, recording the keys that reach it.
class SurroundingWindow : public CWnd {
public:
    BOOL PreTranslateMessage(MSG* pMsg) override {
        if (pMsg->message >= WM_KEYFIRST && pMsg->message <= WM_KEYLAST) {
            seen.push_back(pMsg->wParam);
        }
        return CWnd::PreTranslateMessage(pMsg);
    }
    std::vector<WPARAM> seen;
};

// The window deepest inside `window` along first children: where the
// control's own window receives its keys.
HWND Innermost(HWND window) {
    while (HWND child = GetWindow(window, GW_CHILD)) {
        window = child;
    }
    return window;
}

}  // namespace

TEST(HtmlViewKeys, KeysForThePageAreOfferedToTheControlBeforeTheWindowsAroundIt) {
    StandInControlClass standIn;
    ASSERT_TRUE(standIn.Registered()) << "the browser's class could not be stood in for";
    SurroundingWindow surrounding;
    ASSERT_TRUE(surrounding.CreateEx(0, nullptr, L"keys", WS_OVERLAPPEDWINDOW, 0, 0, 400, 300, nullptr, nullptr));
    CHtmlView view;
    ASSERT_TRUE(view.Create(nullptr, L"", WS_CHILD | WS_VISIBLE, RECT{0, 0, 400, 300}, &surrounding, 1));
    ASSERT_EQ(standIn.made, 1) << "the view did not make its control through the browser's class";

    const HWND control = Innermost(view.m_hWnd);
    ASSERT_NE(control, view.m_hWnd);
    PostMessageW(control, WM_KEYDOWN, VK_TAB, 0);
    PostMessageW(control, WM_KEYDOWN, 'C', 0);
    PostMessageW(control, WM_CHAR, 'c', 0);
    PostMessageW(control, WM_NULL, 0, 0);
    MSG next;
    while (PeekMessageW(&next, nullptr, 0, 0, PM_NOREMOVE) && next.message != WM_NULL) {
        AfxPumpMessage();
    }

    // Every key was offered to the control first, for the window it was
    // sent to; the one the control took went no further.
    ASSERT_EQ(standIn.offered.size(), 3u);
    EXPECT_EQ(standIn.offered[0].key, static_cast<WPARAM>(VK_TAB));
    EXPECT_EQ(standIn.offered[1].message, static_cast<UINT>(WM_KEYDOWN));
    EXPECT_EQ(standIn.offered[1].key, static_cast<WPARAM>('C'));
    EXPECT_EQ(standIn.offered[2].message, static_cast<UINT>(WM_CHAR));
    for (const OfferedKey& key : standIn.offered) {
        EXPECT_EQ(key.window, control);
    }
    EXPECT_EQ(surrounding.seen, (std::vector<WPARAM>{'C', 'c'}));

    view.DestroyWindow();
    surrounding.DestroyWindow();
}
