// The page window on its own: its colour key, the place of its web view,
// and reload requests from other threads.
#include "ui/launcher_standard_dlg.h"

#include "ui/launcher_windows_test_support.h"

#include <gtest/gtest.h>

#include <thread>

namespace {

using PageWindowTest = ui_test::LauncherWindowsTest;

TEST_F(PageWindowTest, AReloadRequestFromAnotherThreadIsCarriedOutOnTheWindowThread) {
    CWnd owner;
    ASSERT_TRUE(owner.CreateEx(0, nullptr, L"owner", WS_POPUP, 100, 100, 870, 520, nullptr, nullptr));
    CLauncherStandardDlg page(&owner);
    ASSERT_TRUE(page.CreateModeless());
    EXPECT_EQ(page.m_webView.m_strUrl, g_settings.webUrl);
    // The page's commands go to the main window.
    EXPECT_EQ(page.m_webView.m_pCommandWnd->GetSafeHwnd(), owner.GetSafeHwnd());

    const std::wstring previous = g_settings.webUrl;
    g_settings.webUrl = L"http://127.0.0.1/other.html";
    std::thread([&page] { page.ShowStartPage(); }).join();
    // Nothing changes until the window thread handles the request.
    EXPECT_EQ(page.m_webView.m_strUrl, previous);
    EXPECT_TRUE(kit_test::PumpUntil([&] { return page.m_webView.m_strUrl == L"http://127.0.0.1/other.html"; }));
    g_settings.webUrl = previous;
}

TEST_F(PageWindowTest, ItKeepsTheWebViewsPlaceOnAKeyColouredBackground) {
    CWnd owner;
    ASSERT_TRUE(owner.CreateEx(0, nullptr, L"owner", WS_POPUP, 100, 100, 870, 520, nullptr, nullptr));
    CLauncherStandardDlg page(&owner);
    ASSERT_TRUE(page.CreateModeless());
    const HWND hwnd = page.GetSafeHwnd();

    const auto info = platform::DescribeWindow(hwnd);
    ASSERT_TRUE(info);
    EXPECT_EQ(info->layeredFlags, static_cast<DWORD>(LWA_COLORKEY));
    EXPECT_EQ(info->colorKey, RGB(0, 255, 0));
    // The web view took the placeholder's id and stands where it was placed.
    ASSERT_EQ(GetDlgItem(hwnd, IDC_WEBVIEW), page.m_webView.GetSafeHwnd());
    EXPECT_TRUE(page.m_webView.m_strUrl == g_settings.webUrl);
    const RECT place = ui_test::PlaceIn(hwnd, GetDlgItem(hwnd, IDC_WEBVIEW));
    EXPECT_EQ(place.left, 75);
    EXPECT_EQ(place.top, 69);
    EXPECT_EQ(place.right, 75 + 718);
    EXPECT_EQ(place.bottom, 69 + 398);
    // The dialog's background is the key colour's brush.
    EXPECT_NE(page.SendMessage(WM_CTLCOLORDLG), 0);
}

}  // namespace
