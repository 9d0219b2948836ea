// The page view's answers to the browser, without a display: the external
// object, context menus, host flags, the error log, and the control site's
// interfaces and URL policies.
#include "ui/web/browser_view.h"
#include "ui/web/doc_host_site.h"

#include "platform/kernel32.h"
#include "platform/text.h"
#include "state/launcher_settings.h"
#include "tests/support/temp_dir.h"
#include "ui/web/launcher_resource.h"
#include "ui/web/page_messages.h"
#include "ui/web/page_view_test_support.h"

#include <gtest/gtest.h>

#include <cctype>
#include <string>
#include <vector>

namespace {

using page_view_test::CallByName;
using page_view_test::CommandWindow;

class PageViewTest : public ::testing::Test {
protected:
    void SetUp() override {
        GetCurrentDirectoryW(MAX_PATH, m_previousDirectory);
        SetCurrentDirectoryW(platform::FromUtf8(m_folder.Str()).c_str());
    }
    void TearDown() override { SetCurrentDirectoryW(m_previousDirectory); }

    std::string ReadLog() const { return testsupport::ReadBytes(m_folder.Path() / "launcher.log"); }

    testsupport::TempDir m_folder;
    wchar_t m_previousDirectory[MAX_PATH] = L"";
};

TEST_F(PageViewTest, StartsWithTheDescribedFields) {
    COrbHtmlView view;
    EXPECT_EQ(view.m_pCommandWnd, nullptr);
    EXPECT_EQ(view.m_nContextMenuMode, 1);
    EXPECT_EQ(view.m_strMessageCaption, L"ORB HTMLVIEW");
    EXPECT_EQ(view.m_dwHostFlags, 0x0004000Cu);
    EXPECT_TRUE(view.m_bFrameHosted);
    EXPECT_EQ(view.m_pHtmlDoc, nullptr);
    EXPECT_TRUE(view.m_strUrl.empty());

    DOCHOSTUIINFO info{};
    info.dwDoubleClick = 7;
    EXPECT_EQ(view.OnGetHostInfo(&info), S_OK);
    EXPECT_EQ(info.dwFlags,
              static_cast<DWORD>(DOCHOSTUIFLAG_NO3DBORDER | DOCHOSTUIFLAG_SCROLL_NO | DOCHOSTUIFLAG_THEME));
    EXPECT_EQ(info.dwDoubleClick, static_cast<DWORD>(DOCHOSTUIDBLCLK_DEFAULT));
    EXPECT_EQ(info.cbSize, sizeof(DOCHOSTUIINFO));
    EXPECT_EQ(view.OnGetDropTarget(nullptr, nullptr), S_FALSE);
}

TEST_F(PageViewTest, ExternalMethodsMatchWithoutCaseAndReachTheCommandWindowInOrder) {
    CommandWindow commands;
    COrbHtmlView view;
    view.m_pCommandWnd = &commands;
    IDispatch* external = nullptr;
    ASSERT_EQ(view.OnGetExternal(&external), S_OK);
    ASSERT_EQ(external, view.GetIDispatch(FALSE));

    DISPID id = 0;
    EXPECT_EQ(CallByName(external, L"startgame", {L"x"}, &id), S_OK);
    EXPECT_EQ(id, 1);
    EXPECT_EQ(CallByName(external, L"STARTGAMEDATA", {L"a b"}, &id), S_OK);
    EXPECT_EQ(id, 2);
    EXPECT_EQ(CallByName(external, L"PCVersion", {L"http://127.0.0.1/pc/"}, &id), S_OK);
    EXPECT_EQ(id, 3);
    EXPECT_EQ(CallByName(external, L"pcVersionData", {L"\u4e2d"}, &id), S_OK);
    EXPECT_EQ(id, 4);
    const std::vector<std::pair<UINT, std::wstring>> expected{{WM_STARTGAME, L"x"},
                                                              {WM_STARTGAMEDATA, L"a b"},
                                                              {WM_PCVERSION, L"http://127.0.0.1/pc/"},
                                                              {WM_PCVERSIONDATA, L"\u4e2d"}};
    EXPECT_EQ(commands.commands, expected);

    // What the object does not have, or a call of the wrong shape, sends nothing.
    EXPECT_EQ(CallByName(external, L"StartGames", {L"x"}), DISP_E_UNKNOWNNAME);
    EXPECT_EQ(CallByName(external, L"StartGame", {}), DISP_E_BADPARAMCOUNT);
    EXPECT_EQ(CallByName(external, L"StartGame", {L"a", L"b"}), DISP_E_BADPARAMCOUNT);
    EXPECT_EQ(commands.commands.size(), expected.size());
    external->Release();
}

TEST_F(PageViewTest, ContextMenuModesDecideWhichMenusTheBrowserShows) {
    COrbHtmlView view;
    const DWORD kinds[] = {CONTEXT_MENU_DEFAULT, CONTEXT_MENU_IMAGE,      CONTEXT_MENU_CONTROL,
                           CONTEXT_MENU_TABLE,   CONTEXT_MENU_TEXTSELECT, CONTEXT_MENU_ANCHOR};
    // S_FALSE: the browser's own menu; S_OK: none.
    const std::vector<std::vector<HRESULT>> expected{
        {S_OK, S_OK, S_OK, S_OK, S_OK, S_OK},                     // 0
        {S_FALSE, S_FALSE, S_FALSE, S_FALSE, S_FALSE, S_FALSE},   // 1
        {S_OK, S_OK, S_FALSE, S_OK, S_FALSE, S_OK},               // 2
        {S_OK, S_OK, S_OK, S_OK, S_FALSE, S_OK},                  // 3
        {S_FALSE, S_FALSE, S_FALSE, S_FALSE, S_FALSE, S_FALSE}};  // any other
    const int modes[] = {0, 1, 2, 3, 9};
    for (std::size_t mode = 0; mode < std::size(modes); ++mode) {
        view.m_nContextMenuMode = modes[mode];
        for (std::size_t kind = 0; kind < std::size(kinds); ++kind) {
            POINT point{10, 10};
            EXPECT_EQ(view.OnShowContextMenu(kinds[kind], &point, nullptr, nullptr), expected[mode][kind])
                << "mode " << modes[mode] << ", menu " << kinds[kind];
        }
    }
}

TEST_F(PageViewTest, TheLogKeepsOnlyTheLatestNavigationErrorAsASignedCodeOnAWindowsLine) {
    COrbHtmlView view;
    BOOL cancel = FALSE;
    view.OnNavigateError(L"http://127.0.0.1:1/", L"", 404, &cancel);
    view.OnNavigateError(L"http://127.0.0.1:1/", L"", static_cast<DWORD>(INET_E_RESOURCE_NOT_FOUND), &cancel);
    EXPECT_FALSE(cancel);  // the browser still shows its error page

    const std::string log = ReadLog();
    const std::string tail = "] NavigateError Code is -2146697211 \r\n";
    ASSERT_EQ(log.size(), std::string(" [00:00:00").size() + tail.size()) << log;
    EXPECT_EQ(log.substr(0, 2), " [");
    EXPECT_EQ(log.substr(log.size() - tail.size()), tail);
    // hh:mm:ss, two digits each
    for (std::size_t at : {2u, 3u, 5u, 6u, 8u, 9u}) {
        EXPECT_TRUE(std::isdigit(static_cast<unsigned char>(log[at]))) << log;
    }
    EXPECT_EQ(log[4], ':');
    EXPECT_EQ(log[7], ':');
}

TEST_F(PageViewTest, WithoutThePlaceholderNoViewIsMade) {
    CommandWindow parent;
    COrbHtmlView view;
    EXPECT_FALSE(view.CreateInDialog(&parent, &parent));
    EXPECT_EQ(view.GetSafeHwnd(), nullptr);
    EXPECT_EQ(view.m_pCommandWnd, nullptr);
}

TEST_F(PageViewTest, InAPlaceholdersSteadTheViewTakesItsPlaceAndIdAndAsksForTheStartPage) {
    CommandWindow parent;
    CommandWindow commands;
    CWnd placeholder;
    ASSERT_TRUE(placeholder.CreateEx(0, L"Static", L"", WS_CHILD | WS_VISIBLE, 20, 30, 200, 100, parent,
                                     reinterpret_cast<HMENU>(static_cast<UINT_PTR>(IDC_WEBVIEW))));
    const HWND placeholderHwnd = placeholder.GetSafeHwnd();
    CBrowserView view;
    ASSERT_TRUE(view.CreateInDialog(&parent, &commands));
    EXPECT_FALSE(IsWindow(placeholderHwnd));
    EXPECT_EQ(GetDlgItem(parent, IDC_WEBVIEW), view.GetSafeHwnd());
    RECT rect{};
    view.GetWindowRect(&rect);
    parent.ScreenToClient(&rect);
    EXPECT_EQ(rect.left, 20);
    EXPECT_EQ(rect.top, 30);
    EXPECT_EQ(rect.right, 220);
    EXPECT_EQ(rect.bottom, 130);
    EXPECT_TRUE(view.GetStyle() & WS_CLIPSIBLINGS);
    EXPECT_FALSE(view.m_bFrameHosted);
    EXPECT_EQ(view.m_pCommandWnd, &commands);
    EXPECT_EQ(view.m_nContextMenuMode, 3);
    EXPECT_EQ(view.m_strUrl, g_settings.webUrl);
    // Destroying the dialog's view leaves the object to its owner.
    view.DestroyWindow();
    EXPECT_EQ(view.GetSafeHwnd(), nullptr);
    EXPECT_EQ(view.m_nContextMenuMode, 3);
}

// ---- the control site

template <typename Interface>
Interface* Ask(CDocHostSite& site, REFIID iid) {
    void* answer = nullptr;
    return SUCCEEDED(site.ExternalQueryInterface(iid, &answer)) ? static_cast<Interface*>(answer) : nullptr;
}

TEST(DocHostSiteTest, AnswersEachHostInterfaceAndLeadsBackToTheSite) {
    COrbHtmlView view;
    COleControlContainer container(&view);
    CDocHostSite site(&container, &view);
    auto* showUi = Ask<IDocHostShowUI>(site, IID_IDocHostShowUI);
    auto* handler = Ask<IDocHostUIHandler>(site, IID_IDocHostUIHandler);
    auto* handler2 = Ask<IDocHostUIHandler2>(site, IID_IDocHostUIHandler2);
    auto* security = Ask<IInternetSecurityManager>(site, IID_IInternetSecurityManager);
    auto* services = Ask<IServiceProvider>(site, IID_IServiceProvider);
    auto* unknown = Ask<IUnknown>(site, IID_IUnknown);
    ASSERT_TRUE(showUi && handler && handler2 && security && services && unknown);
    EXPECT_EQ(Ask<IDispatch>(site, IID_IDispatch), nullptr);
    // Every interface answers for the others, as one object does.
    void* again = nullptr;
    ASSERT_EQ(handler2->QueryInterface(IID_IDocHostUIHandler, &again), S_OK);
    EXPECT_EQ(again, handler);
    ASSERT_EQ(security->QueryInterface(IID_IUnknown, &again), S_OK);
    EXPECT_EQ(again, unknown);

    // The UI handler is the view's; the second one leaves all to the browser.
    view.m_nContextMenuMode = 0;
    EXPECT_EQ(handler->ShowContextMenu(CONTEXT_MENU_TEXTSELECT, nullptr, nullptr, nullptr), S_OK);
    EXPECT_EQ(handler2->ShowContextMenu(CONTEXT_MENU_TEXTSELECT, nullptr, nullptr, nullptr), S_FALSE);
    EXPECT_EQ(handler2->GetOverrideKeyPath(nullptr, 0), S_FALSE);
    DOCHOSTUIINFO info{};
    EXPECT_EQ(handler->GetHostInfo(&info), S_OK);
    EXPECT_EQ(info.dwFlags, view.m_dwHostFlags);
    EXPECT_EQ(handler2->GetHostInfo(&info), S_FALSE);
    IDispatch* external = nullptr;
    EXPECT_EQ(handler->GetExternal(&external), S_OK);
    EXPECT_EQ(external, view.GetIDispatch(FALSE));
    external->Release();
    EXPECT_EQ(handler->TranslateAccelerator(nullptr, nullptr, 0), E_NOTIMPL);
    EXPECT_EQ(handler->GetDropTarget(nullptr, nullptr), S_FALSE);
    EXPECT_EQ(showUi->ShowHelp(nullptr, nullptr, 0, 0, POINT{}, nullptr), E_NOTIMPL);

    // Only the security manager is offered as a service, and only as itself.
    void* service = nullptr;
    EXPECT_EQ(services->QueryService(IID_IInternetSecurityManager, IID_IInternetSecurityManager, &service), S_OK);
    EXPECT_EQ(service, security);
    EXPECT_EQ(services->QueryService(IID_IInternetSecurityManager, IID_IUnknown, &service), E_NOINTERFACE);
    EXPECT_EQ(service, nullptr);
    EXPECT_EQ(services->QueryService(IID_IDocHostUIHandler, IID_IInternetSecurityManager, &service), E_NOINTERFACE);
    DWORD zone = 0;
    EXPECT_EQ(security->MapUrlToZone(L"http://127.0.0.1/", &zone, 0), INET_E_DEFAULT_ACTION);
    EXPECT_EQ(security->SetZoneMapping(0, L"*", 0), INET_E_DEFAULT_ACTION);
}

TEST(DocHostSiteTest, UrlActionsFollowTheirRanges) {
    COrbHtmlView view;
    COleControlContainer container(&view);
    CDocHostSite site(&container, &view);
    auto* security = Ask<IInternetSecurityManager>(site, IID_IInternetSecurityManager);
    ASSERT_NE(security, nullptr);
    struct Case {
        DWORD action;
        HRESULT result;
        DWORD policy;  // 0xFF: left as it was
    };
    const Case cases[] = {
        {0x1200, S_OK, URLPOLICY_ALLOW},       {0x13FF, S_OK, URLPOLICY_ALLOW},        // controls, plug-ins
        {0x1400, S_OK, URLPOLICY_ALLOW},       {0x15FF, S_OK, URLPOLICY_ALLOW},        // scripting
        {0x1406, S_FALSE, URLPOLICY_DISALLOW},                                         // cross-domain data
        {0x1C00, INET_E_DEFAULT_ACTION, 0xFF}, {0x1CFF, INET_E_DEFAULT_ACTION, 0xFF},  // Java
        {0x1605, INET_E_DEFAULT_ACTION, 0xFF}, {0x1600, INET_E_DEFAULT_ACTION, 0xFF},
        {0x11FF, INET_E_DEFAULT_ACTION, 0xFF}, {0x2000, INET_E_DEFAULT_ACTION, 0xFF},
    };
    for (const Case& c : cases) {
        DWORD policy = 0xFF;
        EXPECT_EQ(security->ProcessUrlAction(L"http://127.0.0.1/", c.action, reinterpret_cast<BYTE*>(&policy),
                                             sizeof policy, nullptr, 0, 0, 0),
                  c.result)
            << std::hex << c.action;
        EXPECT_EQ(policy, c.policy) << std::hex << c.action;
    }
    // Too small a buffer: not written.
    BYTE small[3] = {0xFF, 0xFF, 0xFF};
    EXPECT_EQ(security->ProcessUrlAction(L"http://127.0.0.1/", 0x1400, small, sizeof small, nullptr, 0, 0, 0), S_FALSE);
    EXPECT_EQ(small[0], 0xFF);
}

}  // namespace
