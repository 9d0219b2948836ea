// The launcher's page view on the real WebBrowser control: made in the
// dialog's placeholder, the browser window following the view, a page that
// cannot load logged with the browser's error code, and the host answers
// (window.external, the security manager) reached through the client site
// the control holds, as the control itself reaches them, all one object.
#include "ui/web/browser_view.h"

#include "platform/text.h"
#include "platform/win32/browser/browser_control.h"
#include "platform/window_automation.h"
#include "state/launcher_settings.h"
#include "tests/support/loopback_server.h"
#include "tests/support/temp_dir.h"
#include "tests/support/wine.h"
#include "ui/web/launcher_resource.h"
#include "ui/web/page_view_test_support.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace {

using page_view_test::CallByName;
using page_view_test::CommandWindow;

// The launcher's view, with its browser in reach of the test.
class ReachableView : public CBrowserView {
public:
    platform::BrowserControl* Browser() const { return m_pBrowserApp.get(); }
};

template <typename Interface>
Interface* Ask(IUnknown* object, REFIID iid) {
    void* answer = nullptr;
    return SUCCEEDED(object->QueryInterface(iid, &answer)) ? static_cast<Interface*>(answer) : nullptr;
}

class PageViewOnWindows : public ::testing::Test {
protected:
    void SetUp() override {
        GetCurrentDirectoryW(MAX_PATH, m_previousDirectory);
        SetCurrentDirectoryW(platform::FromUtf8(m_folder.Str()).c_str());
        g_settings.webUrl = L"http://127.0.0.1:" + std::to_wstring(testsupport::LoopbackServer::RefusedPort()) + L"/";
        ASSERT_TRUE(m_placeholder.CreateEx(0, L"Static", L"", WS_CHILD | WS_VISIBLE, 20, 30, 200, 100, m_parent,
                                           reinterpret_cast<HMENU>(static_cast<UINT_PTR>(IDC_WEBVIEW))));
    }
    void TearDown() override { SetCurrentDirectoryW(m_previousDirectory); }

    testsupport::TempDir m_folder;
    wchar_t m_previousDirectory[MAX_PATH] = L"";
    CommandWindow m_parent;
    CommandWindow m_commands;
    CWnd m_placeholder;
};

TEST_F(PageViewOnWindows, TheControlLivesInTheViewAndAPageThatCannotLoadIsLoggedWithItsCode) {
    ReachableView view;
    ASSERT_TRUE(view.CreateInDialog(&m_parent, &m_commands));
    ASSERT_NE(view.Browser(), nullptr) << "no browser control in the view";

    // The browser window fills the view, its edge outside; the control's
    // window fills the browser window, also after the view changes size.
    const HWND browserWindow = GetDlgItem(view, AFX_IDW_PANE_FIRST);
    ASSERT_TRUE(browserWindow);
    const HWND control = GetWindow(browserWindow, GW_CHILD);
    ASSERT_TRUE(control);
    view.SetWindowPos(nullptr, 0, 0, 300, 200, SWP_NOZORDER | SWP_NOMOVE | SWP_NOACTIVATE);
    RECT placed{};
    GetWindowRect(browserWindow, &placed);
    view.ScreenToClient(&placed);
    RECT expected{0, 0, 300, 200};
    AdjustWindowRectEx(&expected, view.GetStyle(), FALSE, WS_EX_CLIENTEDGE);
    EXPECT_EQ(placed.left, expected.left);
    EXPECT_EQ(placed.top, expected.top);
    EXPECT_EQ(placed.right, expected.right);
    EXPECT_EQ(placed.bottom, expected.bottom);
    RECT inner{};
    GetClientRect(control, &inner);
    EXPECT_EQ(inner.right, expected.right - expected.left);
    EXPECT_EQ(inner.bottom, expected.bottom - expected.top);

    // The start page's address is refused: the view logs the browser's code.
    // The bound only ends a hung test: in a fresh Wine prefix on a busy
    // machine the control's first navigation once took longer than 15 s.
    const std::filesystem::path log = m_folder.Path() / "launcher.log";
    ASSERT_TRUE(platform::RunMessagesUntil([&] { return std::filesystem::exists(log); }, 60000));
    const std::string line = testsupport::ReadBytes(log);
    const std::string tail = testsupport::UnderWine() ? "] NavigateError Code is -2146697208 \r\n"  // 0x800C0008
                                                      : "] NavigateError Code is -214669";          // INET_E_...
    EXPECT_NE(line.find(tail), std::string::npos) << line;
    EXPECT_EQ(line.substr(0, 2), " [") << line;
}

TEST_F(PageViewOnWindows, TheControlsSiteLeadsToTheExternalObjectAndTheSecurityManager) {
    ReachableView view;
    ASSERT_TRUE(view.CreateInDialog(&m_parent, &m_commands));
    ASSERT_NE(view.Browser(), nullptr);
    IOleClientSite* site = view.Browser()->Site();
    ASSERT_TRUE(site);

    // window.external: the view's dispatch map, names without regard to case.
    auto* handler = Ask<IDocHostUIHandler>(site, IID_IDocHostUIHandler);
    ASSERT_TRUE(handler);
    IDispatch* external = nullptr;
    ASSERT_EQ(handler->GetExternal(&external), S_OK);
    EXPECT_EQ(external, view.GetIDispatch(FALSE));
    EXPECT_EQ(CallByName(external, L"startgame", {L"-realm 2"}), S_OK);
    EXPECT_EQ(CallByName(external, L"PCVERSION", {L"http://127.0.0.1/pc/"}), S_OK);
    EXPECT_EQ(CallByName(external, L"StartGames", {L"x"}), DISP_E_UNKNOWNNAME);
    const std::vector<std::pair<UINT, std::wstring>> commands{{WM_STARTGAME, L"-realm 2"},
                                                              {WM_PCVERSION, L"http://127.0.0.1/pc/"}};
    EXPECT_EQ(m_commands.commands, commands);
    external->Release();
    DOCHOSTUIINFO info{};
    info.cbSize = sizeof info;
    EXPECT_EQ(handler->GetHostInfo(&info), S_OK);
    EXPECT_EQ(info.dwFlags, view.m_dwHostFlags);
    handler->Release();

    // The security manager is a service of the site: scripts may run.
    auto* services = Ask<IServiceProvider>(site, IID_IServiceProvider);
    ASSERT_TRUE(services);
    IInternetSecurityManager* security = nullptr;
    ASSERT_EQ(services->QueryService(IID_IInternetSecurityManager, IID_IInternetSecurityManager,
                                     reinterpret_cast<void**>(&security)),
              S_OK);
    DWORD policy = 0xFF;
    EXPECT_EQ(security->ProcessUrlAction(L"http://127.0.0.1/", URLACTION_SCRIPT_RUN, reinterpret_cast<BYTE*>(&policy),
                                         sizeof policy, nullptr, 0, 0, 0),
              S_OK);
    EXPECT_EQ(policy, static_cast<DWORD>(URLPOLICY_ALLOW));
    security->Release();
    services->Release();

    // Every interface the site hands out leads back to the one object the
    // control holds, as COM requires.
    auto* showUi = Ask<IDocHostShowUI>(site, IID_IDocHostShowUI);
    ASSERT_TRUE(showUi);
    auto* backToSite = Ask<IOleClientSite>(showUi, IID_IOleClientSite);
    EXPECT_EQ(backToSite, site);
    auto* identity = Ask<IUnknown>(site, IID_IUnknown);
    auto* showUiIdentity = Ask<IUnknown>(showUi, IID_IUnknown);
    EXPECT_EQ(showUiIdentity, identity);
    for (IUnknown* held : {static_cast<IUnknown*>(backToSite), identity, showUiIdentity}) {
        if (held) {
            held->Release();
        }
    }
    showUi->Release();
    site->Release();
}

}  // namespace
