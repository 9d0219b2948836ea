// The main window run modally as the application runs it, with a helper
// thread in the place of the player, the page and the update threads.
#include "ui/launcher_translucent_dlg.h"

#include "app/game_launch.h"
#include "platform/text.h"
#include "state/mem_manger.h"
#include "tests/support/loopback_server.h"
#include "tests/support/wine.h"
#include "ui/launcher_windows_test_support.h"
#include "ui/web/page_messages.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using kit_test::PixelAt;
using kit_test::WaitUntil;
using ui_test::Helper;
using ui_test::IsShown;

class MainWindowTest : public ui_test::LauncherWindowsTest {
protected:
    static HWND MainWindow() { return ui_test::WaitForShownDialog(IDD_LAUNCHER_TRANSLUCENT); }
    static void Close(HWND hwnd) { PostMessageW(hwnd, WM_CLOSE, 0, 0); }
    static bool Closing() { return GetController()->closing != 0; }
};

TEST_F(MainWindowTest, AnAfterUpdateStartShowsTheWindowsAtOnceAndOpensTheClientCheck) {
    struct Seen {
        bool progressShown = true;
        bool tokenGiven = false;
        SIZE picture{};
        std::uint32_t exitPixel = 0;
        std::uint32_t minimizePixel = 0;
        RECT exit{};
        bool pageShown = false;
        DWORD pageKeyFlags = 0;
        COLORREF pageKey = 0;
        RECT mainRect{};
        RECT pageRect{};
        RECT webView{};
    } seen;
    {
        CLauncherTranslucentDlg dialog;
        EXPECT_EQ(GetMemManger()->transferBufferSize, 1030u * 1024u);
        Helper helper([&] {
            const HWND main = MainWindow();
            if (main) {
                seen.progressShown = platform::FindDialog(IDD_PROGRESS) != nullptr;
                seen.tokenGiven = WaitForSingleObject(ClientCheckReadyEvent, 0) == WAIT_OBJECT_0;
                if (const auto picture = kit_test::PictureOf(main))
                    seen.picture = picture->size;
                seen.exitPixel = PixelAt(main, 806, 51);
                seen.minimizePixel = PixelAt(main, 774, 51);
                seen.exit = ui_test::PlaceIn(main, GetDlgItem(main, IDC_EXIT));
                const HWND page = platform::FindDialog(IDD_LAUNCHER_STANDARD);
                if (const auto info = ui_test::Describe(page)) {
                    seen.pageShown = info->visible;
                    seen.pageKeyFlags = info->layeredFlags;
                    seen.pageKey = info->colorKey;
                    seen.pageRect = info->windowRect;
                    seen.webView = ui_test::PlaceIn(page, GetDlgItem(page, IDC_WEBVIEW));
                }
                seen.mainRect = kit_test::WindowRect(main);
                // The player leaves through the exit button. Wine's hit
                // testing ignores the page window's colour key, so there the
                // click lands on the page window lying over the button.
                if (!testsupport::UnderWine()) {
                    platform::InjectMouseMove(kit_test::At(main, 806, 51));
                    platform::InjectClick(kit_test::At(main, 806, 51));
                    if (WaitUntil([&] { return !IsWindow(main); }))
                        return;
                }
            }
            Close(main);
        });
        EXPECT_EQ(dialog.DoModal(), IDCANCEL);
        helper.Join();
    }

    EXPECT_FALSE(seen.progressShown);
    EXPECT_TRUE(seen.tokenGiven);
    EXPECT_EQ(seen.picture.cx, 870);
    EXPECT_EQ(seen.picture.cy, 520);
    EXPECT_EQ(seen.exitPixel, ui_test::kExitNormal);
    EXPECT_EQ(seen.minimizePixel, ui_test::kMinimizeNormal);
    EXPECT_EQ(seen.exit.left, 794);
    EXPECT_EQ(seen.exit.top, 39);
    EXPECT_EQ(seen.exit.right - seen.exit.left, 25);
    EXPECT_TRUE(seen.pageShown);
    EXPECT_EQ(seen.pageKeyFlags, static_cast<DWORD>(LWA_COLORKEY));
    EXPECT_EQ(seen.pageKey, RGB(0, 255, 0));
    EXPECT_EQ(seen.pageRect.left, seen.mainRect.left);
    EXPECT_EQ(seen.pageRect.top, seen.mainRect.top);
    EXPECT_EQ(seen.pageRect.right, seen.mainRect.right);
    EXPECT_EQ(seen.pageRect.bottom, seen.mainRect.bottom);
    EXPECT_EQ(seen.webView.left, 75);
    EXPECT_EQ(seen.webView.top, 69);
    EXPECT_EQ(seen.webView.right - seen.webView.left, 718);
    EXPECT_EQ(seen.webView.bottom - seen.webView.top, 398);
    // The exit button went through the close handling.
    EXPECT_TRUE(Closing());
    // The update threads find no windows once they are gone.
    EXPECT_EQ(GetViewBroser()->GetMainWindow(), nullptr);
    EXPECT_EQ(GetViewBroser()->GetWebPageWindow(), nullptr);
    EXPECT_EQ(GetController()->mainDialog.load(), nullptr);
}

TEST_F(MainWindowTest, EscapeAndEnterDoNotEndTheMainWindow) {
    CLauncherTranslucentDlg dialog;
    Helper helper([&] {
        const HWND main = MainWindow();
        if (main) {
            platform::InjectKey(main, VK_ESCAPE);
            platform::InjectKey(main, VK_RETURN);
            platform::InjectKey(GetDlgItem(main, IDC_MINIMIZE), VK_ESCAPE);
        }
        // Reaches the close handling only if the window outlived the keys.
        Close(main);
    });
    dialog.DoModal();
    helper.Join();
    EXPECT_TRUE(Closing());
}

TEST_F(MainWindowTest, CancelInThePageWindowClosesTheLauncher) {
    CLauncherTranslucentDlg dialog;
    Helper helper([&] {
        const HWND main = MainWindow();
        const HWND page = platform::FindDialog(IDD_LAUNCHER_STANDARD);
        if (main && page) {
            platform::InjectKey(page, VK_ESCAPE);
            if (WaitUntil([&] { return !IsWindow(main); }))
                return;
        }
        Close(main);
    });
    dialog.DoModal();
    helper.Join();
    EXPECT_TRUE(Closing());
}

TEST_F(MainWindowTest, OnlyAChangedVersionReportRestartsTheClientCheck) {
    SkipRetryPauses();
    testsupport::LoopbackServer server;  // answers 404: every check fails
    const std::wstring base = platform::FromUtf8(server.BaseUrl());
    const std::wstring first = base + L"/a/index.html";
    const std::wstring second = base + L"/b/index.html";

    struct Seen {
        bool identicalKeptChain = false;
        bool changedStoppedChain = false;
        bool firstCheckRan = false;
        bool secondCheckRan = false;
        bool noThirdCheck = false;
    } seen;
    CLauncherTranslucentDlg dialog;
    Helper helper([&] {
        const HWND main = MainWindow();
        // Checks wait for the token; hold it until the reports are in.
        if (main && WaitForSingleObject(ClientCheckReadyEvent, 0) == WAIT_OBJECT_0) {
            SendMessageW(main, WM_PCVERSION, 0, reinterpret_cast<LPARAM>(first.c_str()));
            // A restart stops the client chain, which resets this event.
            SetEvent(ClientReadyEvent);
            SendMessageW(main, WM_PCVERSION, 0, reinterpret_cast<LPARAM>(first.c_str()));
            seen.identicalKeptChain = WaitForSingleObject(ClientReadyEvent, 0) == WAIT_OBJECT_0;
            SetEvent(ClientReadyEvent);
            SendMessageW(main, WM_PCVERSION, 0, reinterpret_cast<LPARAM>(second.c_str()));
            seen.changedStoppedChain = WaitForSingleObject(ClientReadyEvent, 0) == WAIT_TIMEOUT;

            // Each check fails after its five requests and keeps the token:
            // every signal lets exactly one waiting check run.
            SetEvent(ClientCheckReadyEvent);
            seen.firstCheckRan = WaitUntil([&] { return server.Requests().size() == 5; });
            SetEvent(ClientCheckReadyEvent);
            seen.secondCheckRan = WaitUntil([&] { return server.Requests().size() == 10; });
            SetEvent(ClientCheckReadyEvent);
            // Nobody waits any more, so the signal stays.
            seen.noThirdCheck = WaitForSingleObject(ClientCheckReadyEvent, 0) == WAIT_OBJECT_0;
        }
        Close(main);
    });
    dialog.DoModal();
    helper.Join();

    EXPECT_TRUE(seen.identicalKeptChain);
    EXPECT_TRUE(seen.changedStoppedChain);
    EXPECT_TRUE(seen.firstCheckRan);
    EXPECT_TRUE(seen.secondCheckRan);
    EXPECT_TRUE(seen.noThirdCheck);
    for (const auto& request : server.Requests())
        EXPECT_EQ(request.target, "/b/pcversion");
}

TEST_F(MainWindowTest, TheGameStartShowsTheProgressUntilTheClientIsReady) {
    struct Seen {
        bool mainHidden = false;
        bool progressShown = false;
        std::wstring gameArgs;
    } seen;
    static const wchar_t kPageText[] = L"server=\"one\"";
    CLauncherTranslucentDlg dialog;
    Helper helper([&] {
        const HWND main = MainWindow();
        if (main) {
            // Posted: the handler runs the progress dialog's loop.
            PostMessageW(main, WM_STARTGAMEDATA, 0, reinterpret_cast<LPARAM>(kPageText));
            const HWND progress = ui_test::WaitForShownDialog(IDD_PROGRESS);
            seen.progressShown = progress != nullptr;
            seen.mainHidden = !IsShown(main) && !IsShown(platform::FindDialog(IDD_LAUNCHER_STANDARD));
            if (ILauncherWindow* window = GetController()->mainDialog.load())
                seen.gameArgs = window->GetGameArgs();
            // The client chain is done: the game start thread takes over.
            SetEvent(ClientReadyEvent);
            if (WaitUntil([&] { return !IsWindow(main); }))
                return;
        }
        Close(main);
    });
    dialog.DoModal();
    helper.Join();

    EXPECT_TRUE(seen.progressShown);
    EXPECT_TRUE(seen.mainHidden);
    EXPECT_EQ(seen.gameArgs, BuildGameDataArgs(kPageText));
    EXPECT_EQ(GetViewBroser()->GetProgressDialog(), nullptr);
    EXPECT_EQ(GetViewBroser()->GetProgress().stageText, g_messages.entries[2]);
}

TEST_F(MainWindowTest, AFailedLauncherCheckClosesTheLauncherWithTheProgressDialog) {
    SkipRetryPauses();
    g_settings.startedPlain = 1;
    g_settings.versionUrl =
        L"http://127.0.0.1:" + std::to_wstring(testsupport::LoopbackServer::RefusedPort()) + L"/api/launcherversionnew";

    struct Seen {
        bool mainHidden = false;
        std::wstring error;
    } seen;
    CLauncherTranslucentDlg dialog;
    Helper helper([&] {
        const HWND progress = ui_test::WaitForShownDialog(IDD_PROGRESS);
        const HWND close = progress ? GetDlgItem(progress, IDCANCEL) : nullptr;
        if (close && WaitUntil([&] { return IsShown(close); })) {
            seen.mainHidden = !IsShown(platform::FindDialog(IDD_LAUNCHER_TRANSLUCENT));
            seen.error = ui_test::TextOf(GetDlgItem(progress, IDC_STATUS));
            platform::InjectMouseMove(kit_test::At(close, 12, 12));
            platform::InjectClick(kit_test::At(close, 12, 12));
            if (WaitUntil([] { return !IsWindow(platform::FindDialog(IDD_LAUNCHER_TRANSLUCENT)); }))
                return;
        }
        Close(platform::FindDialog(IDD_LAUNCHER_TRANSLUCENT));
    });
    EXPECT_EQ(dialog.DoModal(), IDCANCEL);
    helper.Join();

    EXPECT_TRUE(seen.mainHidden);
    EXPECT_FALSE(seen.error.empty());
    EXPECT_EQ(seen.error, GetViewBroser()->GetErrorText());
    EXPECT_TRUE(Closing());
    EXPECT_EQ(GetViewBroser()->GetProgressDialog(), nullptr);
}

}  // namespace
