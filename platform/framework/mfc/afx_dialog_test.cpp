// CWnd and CDialog: modal loops and how they end, keys, data exchange and
// the objects' attachment to their windows.
#include "platform/afxwin.h"
#include "platform/conformance/window_test_helpers.h"
#include "platform/dialog_template.h"

#include <atomic>
#include <string>

namespace {

using window_test::StartThread;
using window_test::TestWindow;
using window_test::WindowTest;

constexpr UINT kDialog = 9101;
constexpr UINT kVisibleDialog = 9102;
constexpr UINT kEndWith = WM_USER + 5;  // wParam: the result

// Every test's dialog reports what happened to it and lets the test act on
// its messages.
class ScriptedDialog : public CDialog {
public:
    using CDialog::CDialog;

    std::function<void(ScriptedDialog&)> onInit;
    std::function<std::optional<LRESULT>(UINT, WPARAM, LPARAM)> onMessage;
    std::function<void(CDataExchange*)> onExchange;
    std::function<bool(MSG*)> onPreTranslate;
    int oks = 0;
    int cancels = 0;
    int shows = 0;

    BOOL OnInitDialog() override {
        const BOOL result = CDialog::OnInitDialog();
        if (result && onInit) {
            onInit(*this);
        }
        return result;
    }
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
        if (message == WM_SHOWWINDOW && wParam) {
            ++shows;
        }
        if (onMessage) {
            if (auto result = onMessage(message, wParam, lParam)) {
                return *result;
            }
        }
        if (message == kEndWith) {
            EndDialog(static_cast<int>(wParam));
            return 0;
        }
        return CDialog::WindowProc(message, wParam, lParam);
    }
    BOOL PreTranslateMessage(MSG* pMsg) override {
        if (onPreTranslate && onPreTranslate(pMsg)) {
            return TRUE;
        }
        return CDialog::PreTranslateMessage(pMsg);
    }
    void OnOK() override {
        ++oks;
        CDialog::OnOK();
    }
    void OnCancel() override {
        ++cancels;
        CDialog::OnCancel();
    }
    void DoDataExchange(CDataExchange* pDX) override {
        if (onExchange) {
            onExchange(pDX);
        }
    }
};

// A control object that counts what reaches its handlers.
class CountingButton : public CWnd {
public:
    int presses = 0;
    int subclassed = 0;

protected:
    void PreSubclassWindow() override { ++subclassed; }
    void OnLButtonDown(UINT nFlags, CPoint point) override {
        ++presses;
        CWnd::OnLButtonDown(nFlags, point);
    }
};

// Clicks the control from another thread once the dialog shows it.
void ClickWhenVisible(HWND control) {
    ASSERT_NE(StartThread([control] {
                  while (!IsWindowVisible(control)) {
                      Sleep(1);
                  }
                  RECT rect{};
                  GetWindowRect(control, &rect);
                  platform::InjectClick(POINT{rect.left + 2, rect.top + 2});
                  return DWORD{0};
              }),
              nullptr);
}

class Dialogs : public WindowTest {
protected:
    void SetUp() override {
        DialogTemplate dialog;
        dialog.id = kDialog;
        dialog.style = WS_POPUP | WS_CAPTION | DS_MODALFRAME | DS_CENTER;
        dialog.cx = 160;
        dialog.cy = 80;
        dialog.caption = L"test";
        dialog.controls = {
            {IDOK, L"Button", L"OK", WS_VISIBLE, 0, 10, 50, 40, 14},
            {IDCANCEL, L"Button", L"Cancel", WS_VISIBLE, 0, 60, 50, 40, 14},
            {1015, L"Static", L"status", WS_VISIBLE, 0, 10, 10, 140, 10},
        };
        platform::AddDialogTemplate(dialog);
        dialog.id = kVisibleDialog;
        dialog.style |= WS_VISIBLE;
        platform::AddDialogTemplate(dialog);
    }
    void TearDown() override {
        platform::InjectMouseMove(POINT{1900, 1000});
        WindowTest::TearDown();
    }
};

TEST_F(Dialogs, DoModalShowsTheDialogOnceIdleAndReturnsTheEndDialogValue) {
    ScriptedDialog dialog(kDialog);
    HWND hwnd = nullptr;
    bool visibleAtEnd = false;
    dialog.onInit = [&](ScriptedDialog& d) {
        hwnd = d.GetSafeHwnd();
        EXPECT_EQ(platform::FindDialog(kDialog), hwnd);
        EXPECT_FALSE(d.IsWindowVisible());
        d.SetTimer(1, 10);
    };
    dialog.onMessage = [&](UINT message, WPARAM wParam, LPARAM) -> std::optional<LRESULT> {
        if (message == WM_TIMER && wParam == 1) {
            visibleAtEnd = dialog.IsWindowVisible() != FALSE;
            dialog.EndDialog(42);
            return 0;
        }
        return std::nullopt;
    };
    EXPECT_EQ(dialog.DoModal(), 42);
    EXPECT_TRUE(visibleAtEnd);
    EXPECT_EQ(dialog.shows, 1);
    EXPECT_EQ(dialog.GetSafeHwnd(), nullptr);
    EXPECT_FALSE(IsWindow(hwnd));
}

TEST_F(Dialogs, ANestedDialogEndsFirstThenTheOuterOne) {
    ScriptedDialog outer(kDialog);
    ScriptedDialog inner(kDialog, &outer);
    std::vector<std::string> events;
    outer.onInit = [](ScriptedDialog& d) { d.PostMessage(WM_USER + 1); };
    outer.onMessage = [&](UINT message, WPARAM, LPARAM) -> std::optional<LRESULT> {
        if (message != WM_USER + 1) {
            return std::nullopt;
        }
        events.push_back("inner runs");
        events.push_back("inner returned " + std::to_string(inner.DoModal()));
        EXPECT_TRUE(outer.IsWindowEnabled());  // enabled again when the inner ended
        outer.EndDialog(5);
        return 0;
    };
    inner.onInit = [&](ScriptedDialog& d) {
        EXPECT_FALSE(outer.IsWindowEnabled());  // the owner of a modal dialog
        d.PostMessage(kEndWith, 7);
    };
    events.push_back("outer returned " + std::to_string(outer.DoModal()));
    EXPECT_EQ(events, (std::vector<std::string>{"inner runs", "inner returned 7", "outer returned 5"}));
}

TEST_F(Dialogs, EndingTheOuterDialogLeavesTheNestedLoopRunningUntilItsOwnEnd) {
    ScriptedDialog outer(kDialog);
    ScriptedDialog inner(kDialog, &outer);
    bool innerRanOn = false;
    INT_PTR innerResult = 0;
    outer.onInit = [](ScriptedDialog& d) { d.PostMessage(WM_USER + 1); };
    outer.onMessage = [&](UINT message, WPARAM, LPARAM) -> std::optional<LRESULT> {
        if (message == WM_USER + 1) {
            innerResult = inner.DoModal();
            return 0;
        }
        return std::nullopt;
    };
    inner.onInit = [&](ScriptedDialog& d) {
        outer.EndDialog(9);
        d.PostMessage(WM_USER + 3);
    };
    inner.onMessage = [&](UINT message, WPARAM, LPARAM) -> std::optional<LRESULT> {
        if (message == WM_USER + 3) {
            innerRanOn = true;
            inner.EndDialog(8);
            return 0;
        }
        return std::nullopt;
    };
    EXPECT_EQ(outer.DoModal(), 9);
    EXPECT_TRUE(innerRanOn);
    EXPECT_EQ(innerResult, 8);
}

TEST_F(Dialogs, WmClosePostedByAWorkerEndsTheDialogAsCancelDoes) {
    ScriptedDialog dialog(kDialog);
    dialog.onInit = [](ScriptedDialog& d) {
        HWND hwnd = d.GetSafeHwnd();
        ASSERT_NE(StartThread([hwnd] {
                      while (!IsWindowVisible(hwnd)) {
                          Sleep(1);
                      }
                      PostMessageW(hwnd, WM_CLOSE, 0, 0);
                      return DWORD{0};
                  }),
                  nullptr);
    };
    EXPECT_EQ(dialog.DoModal(), IDCANCEL);
    EXPECT_EQ(dialog.cancels, 1);
}

TEST_F(Dialogs, AResultGivenByTheCloseHandlerStandsAfterTheDefaultHandling) {
    ScriptedDialog dialog(kDialog);
    dialog.onInit = [](ScriptedDialog& d) { d.PostMessage(WM_CLOSE); };
    dialog.onMessage = [&](UINT message, WPARAM, LPARAM) -> std::optional<LRESULT> {
        if (message == WM_CLOSE) {
            dialog.EndDialog(1);
        }
        return std::nullopt;  // then the default handling
    };
    EXPECT_EQ(dialog.DoModal(), 1);
    EXPECT_EQ(dialog.cancels, 0);
}

TEST_F(Dialogs, ADialogClosedBeforeItsLoopWasIdleIsNeverShown) {
    ScriptedDialog dialog(kDialog);
    dialog.onInit = [](ScriptedDialog& d) { d.PostMessage(WM_CLOSE); };
    EXPECT_EQ(dialog.DoModal(), IDCANCEL);
    EXPECT_EQ(dialog.shows, 0);
}

TEST_F(Dialogs, EnterAndEscapeBecomeOkAndCancel) {
    ScriptedDialog enter(kDialog);
    enter.onInit = [](ScriptedDialog& d) { platform::InjectKey(d.GetSafeHwnd(), VK_RETURN); };
    EXPECT_EQ(enter.DoModal(), IDOK);
    EXPECT_EQ(enter.oks, 1);

    // Keys that reach a control count for its dialog.
    ScriptedDialog escape(kDialog);
    escape.onInit = [](ScriptedDialog& d) { platform::InjectKey(::GetDlgItem(d.GetSafeHwnd(), IDOK), VK_ESCAPE); };
    EXPECT_EQ(escape.DoModal(), IDCANCEL);
    EXPECT_EQ(escape.cancels, 1);
}

TEST_F(Dialogs, ADialogCanKeepEnterAndEscapeForItself) {
    ScriptedDialog dialog(kDialog);
    int taken = 0;
    dialog.onPreTranslate = [&](MSG* msg) {
        const bool key = msg->message == WM_KEYDOWN && (msg->wParam == VK_RETURN || msg->wParam == VK_ESCAPE);
        taken += key;
        return key;
    };
    dialog.onInit = [](ScriptedDialog& d) {
        platform::InjectKey(d.GetSafeHwnd(), VK_ESCAPE);
        platform::InjectKey(d.GetSafeHwnd(), VK_RETURN);
        d.PostMessage(kEndWith, 9);
    };
    EXPECT_EQ(dialog.DoModal(), 9);
    EXPECT_EQ(taken, 2);
    EXPECT_EQ(dialog.oks, 0);
    EXPECT_EQ(dialog.cancels, 0);

    // Enter does nothing while the OK button is disabled.
    ScriptedDialog disabled(kDialog);
    disabled.onInit = [](ScriptedDialog& d) {
        d.GetDlgItem(IDOK)->EnableWindow(FALSE);
        platform::InjectKey(d.GetSafeHwnd(), VK_RETURN);
        d.PostMessage(kEndWith, 4);
    };
    EXPECT_EQ(disabled.DoModal(), 4);
    EXPECT_EQ(disabled.oks, 0);
}

TEST_F(Dialogs, DdxControlBindsTheObjectAndTheControlKeepsWorking) {
    ScriptedDialog dialog(kDialog);
    CountingButton ok;
    dialog.onExchange = [&](CDataExchange* pDX) { DDX_Control(pDX, IDOK, ok); };
    dialog.onInit = [&](ScriptedDialog& d) {
        EXPECT_EQ(ok.GetSafeHwnd(), ::GetDlgItem(d.GetSafeHwnd(), IDOK));
        EXPECT_EQ(CWnd::FromHandlePermanent(ok.GetSafeHwnd()), &ok);
        EXPECT_EQ(d.GetDlgItem(IDOK), &ok);
        EXPECT_TRUE(d.UpdateData(FALSE));  // a second exchange keeps the binding
        ClickWhenVisible(ok.GetSafeHwnd());
    };
    // The click reaches the object's handler, and the button's own handling
    // still turns it into IDOK.
    EXPECT_EQ(dialog.DoModal(), IDOK);
    EXPECT_EQ(ok.presses, 1);
    EXPECT_EQ(ok.subclassed, 1);
    EXPECT_EQ(dialog.oks, 1);
    EXPECT_EQ(ok.GetSafeHwnd(), nullptr);  // let go with its window
}

TEST_F(Dialogs, AMissingControlOrTemplateFailsTheDialogWithMinusOne) {
    ScriptedDialog dialog(kDialog);
    CWnd missing;
    dialog.onExchange = [&](CDataExchange* pDX) { DDX_Control(pDX, 4242, missing); };
    EXPECT_EQ(dialog.DoModal(), -1);
    EXPECT_EQ(dialog.shows, 0);

    ScriptedDialog noTemplate(7777);
    EXPECT_EQ(noTemplate.DoModal(), -1);
    EXPECT_EQ(noTemplate.GetSafeHwnd(), nullptr);
}

TEST_F(Dialogs, TheOwnerIsDisabledWhileTheDialogRuns) {
    TestWindow owner(WS_POPUP | WS_VISIBLE);
    CWnd ownerObject;
    ASSERT_TRUE(ownerObject.Attach(owner.hwnd()));
    ScriptedDialog dialog(kDialog, &ownerObject);
    dialog.onInit = [&](ScriptedDialog& d) {
        EXPECT_FALSE(IsWindowEnabled(owner.hwnd()));
        EXPECT_EQ(::GetParent(d.GetSafeHwnd()), owner.hwnd());
        d.PostMessage(kEndWith, 3);
    };
    EXPECT_EQ(dialog.DoModal(), 3);
    EXPECT_TRUE(IsWindowEnabled(owner.hwnd()));
    EXPECT_EQ(owner.Count(WM_ENABLE), 2u);
    ownerObject.Detach();
}

TEST_F(Dialogs, AModelessDialogShowsFromItsTemplateAndEndDialogHidesIt) {
    ScriptedDialog dialog(kVisibleDialog);
    ASSERT_TRUE(dialog.Create(kVisibleDialog));
    EXPECT_TRUE(dialog.IsWindowVisible());
    const auto info = platform::DescribeWindow(dialog.GetSafeHwnd());
    ASSERT_TRUE(info);
    EXPECT_EQ(info->templateId, kVisibleDialog);
    EXPECT_EQ(info->className, L"#32770");
    // Centred in the 1920 x 1040 work area.
    EXPECT_EQ((info->windowRect.left + info->windowRect.right) / 2, 960);
    dialog.EndDialog(IDCANCEL);
    EXPECT_FALSE(dialog.IsWindowVisible());
    EXPECT_TRUE(IsWindow(dialog.GetSafeHwnd()));
    EXPECT_TRUE(dialog.DestroyWindow());
}

TEST_F(Dialogs, WindowObjectsAttachAtCreationAndLetGoOfTheirWindows) {
    struct Refusing : CWnd {
        int OnCreate(LPCREATESTRUCTW) override { return -1; }
    } refusing;
    const std::size_t before = platform::FindWindows(L"AfxWnd", 0).size();
    EXPECT_FALSE(refusing.CreateEx(0, nullptr, L"no", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr));
    EXPECT_EQ(refusing.GetSafeHwnd(), nullptr);
    EXPECT_EQ(platform::FindWindows(L"AfxWnd", 0).size(), before);

    struct Styled : CWnd {
        int created = 0;
        BOOL PreCreateWindow(CREATESTRUCTW& cs) override {
            cs.style |= WS_CLIPSIBLINGS;
            return TRUE;
        }
        int OnCreate(LPCREATESTRUCTW cs) override {
            ++created;
            EXPECT_EQ(CWnd::FromHandlePermanent(GetSafeHwnd()), this);  // attached before WM_CREATE
            return CWnd::OnCreate(cs);
        }
    };
    CWnd parent;
    ASSERT_TRUE(parent.CreateEx(0, nullptr, L"parent", WS_POPUP, 0, 0, 100, 100, nullptr, nullptr));
    Styled child;
    ASSERT_TRUE(child.Create(nullptr, L"child", WS_VISIBLE, RECT{1, 2, 30, 40}, &parent, 55));
    EXPECT_EQ(child.created, 1);
    EXPECT_EQ(child.GetStyle() & (WS_CHILD | WS_CLIPSIBLINGS), static_cast<DWORD>(WS_CHILD | WS_CLIPSIBLINGS));
    EXPECT_EQ(child.GetDlgCtrlID(), 55);
    EXPECT_EQ(parent.GetDlgItem(55), &child);
    EXPECT_EQ(child.GetParent(), &parent);

    // A window without an object gets a temporary one.
    HWND plain =
        CreateWindowExW(0, L"Static", L"", WS_CHILD, 0, 0, 5, 5, parent.GetSafeHwnd(), nullptr, nullptr, nullptr);
    CWnd* temporary = CWnd::FromHandle(plain);
    ASSERT_NE(temporary, nullptr);
    EXPECT_EQ(temporary->GetSafeHwnd(), plain);
    EXPECT_EQ(CWnd::FromHandlePermanent(plain), nullptr);

    EXPECT_TRUE(parent.DestroyWindow());
    EXPECT_EQ(child.GetSafeHwnd(), nullptr);
    EXPECT_EQ(parent.GetSafeHwnd(), nullptr);
}

TEST_F(Dialogs, TheApplicationLoopLastsAsLongAsTheMainWindow) {
    struct App : CWinApp {
        int ExitInstance() override { return 17; }
    } app;
    CWnd main;
    ASSERT_TRUE(main.CreateEx(0, nullptr, L"main", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr));
    app.m_pMainWnd = &main;
    main.PostMessage(WM_CLOSE);
    EXPECT_EQ(app.Run(), 17);
    EXPECT_EQ(app.m_pMainWnd, nullptr);
    EXPECT_EQ(main.GetSafeHwnd(), nullptr);
}

}  // namespace
