// The progress dialog run modally as the main window runs it, with the
// update threads' side played by a helper thread: what it shows of the
// shared counters and texts, its error look, and how it ends.
#include "ui/progress_dlg.h"

#include "app/update_threads.h"
#include "platform/text.h"
#include "tests/support/recording_opener.h"
#include "ui/launcher_windows_test_support.h"

#include <gtest/gtest.h>

#if defined(__SANITIZE_ADDRESS__)
// Text drawing reaches fontconfig, whose cached patterns LeakSanitizer
// cannot see as referenced; only that library's allocations are excused.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libfontconfig.so\n";
}
#endif

namespace {

using kit_test::PixelAt;
using kit_test::WaitUntil;
using ui_test::Helper;
using ui_test::IsShown;
using ui_test::TextOf;

// Rows through the middle of the two bars' fill areas.
constexpr int kFileRow = 108;
constexpr int kTotalRow = 133;

class ProgressDialogTest : public ui_test::LauncherWindowsTest {
protected:
    std::wstring Background() const {
        return (m_folder.Path() / "LauncherStyles" / "Image" / "ui_main_02.png").wstring();
    }

    // As the main window runs it.
    INT_PTR Run(CProgressDlg& dialog) {
        GetViewBroser()->SetProgressDialog(&dialog);
        return dialog.DoModal();
    }

    static HWND Item(HWND dialog, int id) { return GetDlgItem(dialog, id); }

    // The launcher's own close, as the update threads end the dialog.
    static void CloseAsTheLauncherDoes() { CloseProgressDialog(); }
};

TEST_F(ProgressDialogTest, ShowsTheCountersAsBarsAndPercentages) {
    CViewBroser* view = GetViewBroser();
    view->SetTotal(0, 200);
    view->SetDone(0, 50);
    view->SetTotal(1, 0);  // nothing to do yet: no division by zero
    view->SetDone(1, 0);
    view->SetStageText(g_messages.entries[9]);

    std::wstring status;
    std::uint32_t file[6] = {};
    std::uint32_t total[3] = {};
    CProgressDlg dialog(IDD_PROGRESS, Background(), nullptr);
    Helper helper([&] {
        if (const HWND hwnd = ui_test::WaitForShownDialog(IDD_PROGRESS)) {
            // The status line is the last thing a refresh sets.
            EXPECT_TRUE(WaitUntil([&] {
                status = TextOf(Item(hwnd, IDC_STATUS));
                return TextOf(Item(hwnd, IDC_FILE_PERCENT)) == L"25%" &&
                       TextOf(Item(hwnd, IDC_TOTAL_PERCENT)) == L"0%" && !status.empty();
            }));
            // 79 of 316 pixels filled from x 38; the slider covers 110..124.
            const int columns[6] = {kit_test::CrispStretchedEdges() ? 38 : 60, 109, 110, 124, 125, 300};
            for (int i = 0; i < 6; ++i)
                file[i] = PixelAt(hwnd, columns[i], kFileRow);
            const int totalColumns[3] = {31, 45, 46};
            for (int i = 0; i < 3; ++i)
                total[i] = PixelAt(hwnd, totalColumns[i], kTotalRow);
        }
        CloseAsTheLauncherDoes();
    });
    EXPECT_EQ(Run(dialog), 0);
    helper.Join();

    EXPECT_EQ(status, g_messages.entries[9]);
    EXPECT_EQ(file[0], ui_test::kFileFill);
    EXPECT_EQ(file[1], ui_test::kFileFill);
    EXPECT_EQ(file[2], ui_test::kSlider);
    EXPECT_EQ(file[3], ui_test::kSlider);
    EXPECT_EQ(file[4], ui_test::kProgressBackground);
    EXPECT_EQ(file[5], ui_test::kProgressBackground);
    // An empty total: no fill, the slider at the start.
    EXPECT_EQ(total[0], ui_test::kSlider);
    EXPECT_EQ(total[1], ui_test::kSlider);
    EXPECT_EQ(total[2], ui_test::kProgressBackground);
    EXPECT_EQ(view->GetProgressDialog(), nullptr);
    EXPECT_EQ(view->GetProgressActive(), 0);
}

TEST_F(ProgressDialogTest, DoneAboveTotalKeepsTheBarInItsRangeAndTheLabelAbove100) {
    CViewBroser* view = GetViewBroser();
    view->SetTotal(0, 200);
    view->SetDone(0, 50);

    std::uint32_t afterOverrun[2] = {};
    std::uint32_t afterShrink = 0;
    CProgressDlg dialog(IDD_PROGRESS, Background(), nullptr);
    Helper helper([&] {
        if (const HWND hwnd = ui_test::WaitForShownDialog(IDD_PROGRESS)) {
            const HWND label = Item(hwnd, IDC_FILE_PERCENT);
            EXPECT_TRUE(WaitUntil([&] { return TextOf(label) == L"25%"; }));
            view->SetDone(0, 300);
            EXPECT_TRUE(WaitUntil([&] { return TextOf(label) == L"150%"; }));
            // 300 lies outside 0..200: the bar stays at 50.
            afterOverrun[0] = PixelAt(hwnd, 109, kFileRow);
            afterOverrun[1] = PixelAt(hwnd, 125, kFileRow);
            // A range below the position pulls the bar to its end.
            view->SetTotal(0, 40);
            EXPECT_TRUE(WaitUntil([&] { return TextOf(label) == L"750%"; }));
            afterShrink = PixelAt(hwnd, kit_test::CrispStretchedEdges() ? 346 : 300, kFileRow);
        }
        CloseAsTheLauncherDoes();
    });
    EXPECT_EQ(Run(dialog), 0);
    helper.Join();

    EXPECT_EQ(afterOverrun[0], ui_test::kFileFill);
    EXPECT_EQ(afterOverrun[1], ui_test::kProgressBackground);
    EXPECT_EQ(afterShrink, ui_test::kFileFill);
}

TEST_F(ProgressDialogTest, AnErrorReplacesTheBarsWithTheErrorTheCloseButtonAndTheLink) {
    CViewBroser* view = GetViewBroser();
    view->SetTotal(0, 200);
    view->SetDone(0, 50);
    web_url = L"http://127.0.0.1/support";

    struct Seen {
        bool barsShown = true;
        bool labelsShown = true;
        RECT status{};
        std::wstring statusText;
        bool closeShown = false;
        bool linkShown = false;
        std::wstring linkText;
        std::uint32_t barPixel = 0;
    } seen;
    CProgressDlg dialog(IDD_PROGRESS, Background(), nullptr);
    Helper helper([&] {
        if (const HWND hwnd = ui_test::WaitForShownDialog(IDD_PROGRESS)) {
            EXPECT_TRUE(WaitUntil([&] { return TextOf(Item(hwnd, IDC_FILE_PERCENT)) == L"25%"; }));
            view->SetErrorText(g_messages.entries[10]);
            const HWND link = Item(hwnd, IDC_LINK);
            EXPECT_TRUE(WaitUntil([&] { return IsShown(link); }));
            seen.barsShown = IsShown(Item(hwnd, IDC_FILE_PROGRESS)) || IsShown(Item(hwnd, IDC_TOTAL_PROGRESS));
            seen.labelsShown = IsShown(Item(hwnd, IDC_FILE_PERCENT)) || IsShown(Item(hwnd, IDC_TOTAL_PERCENT));
            seen.status = ui_test::PlaceIn(hwnd, Item(hwnd, IDC_STATUS));
            seen.statusText = TextOf(Item(hwnd, IDC_STATUS));
            seen.closeShown = IsShown(Item(hwnd, IDCANCEL));
            seen.linkShown = IsShown(link);
            seen.linkText = TextOf(link);
            seen.barPixel = PixelAt(hwnd, 60, kFileRow);
        }
        CloseAsTheLauncherDoes();
    });
    // Ended by the launcher while an error is pending: 1.
    EXPECT_EQ(Run(dialog), 1);
    helper.Join();

    EXPECT_FALSE(seen.barsShown);
    EXPECT_FALSE(seen.labelsShown);
    EXPECT_EQ(seen.status.left, 35);
    EXPECT_EQ(seen.status.top, 95);
    EXPECT_EQ(seen.status.right - seen.status.left, 356);
    EXPECT_EQ(seen.status.bottom - seen.status.top, 20);
    EXPECT_EQ(seen.statusText, g_messages.entries[10]);
    EXPECT_TRUE(seen.closeShown);
    EXPECT_TRUE(seen.linkShown);
    EXPECT_EQ(seen.linkText, L"http://127.0.0.1/support");
    EXPECT_EQ(seen.barPixel, ui_test::kProgressBackground);
}

TEST_F(ProgressDialogTest, AnErrorWithoutPageAddressShowsNoLink) {
    GetViewBroser()->SetErrorText(g_messages.entries[3]);
    bool linkShown = true;
    CProgressDlg dialog(IDD_PROGRESS, Background(), nullptr);
    Helper helper([&] {
        if (const HWND hwnd = ui_test::WaitForShownDialog(IDD_PROGRESS)) {
            EXPECT_TRUE(WaitUntil([&] { return IsShown(Item(hwnd, IDCANCEL)); }));
            ui_test::Settle(hwnd);
            linkShown = IsShown(Item(hwnd, IDC_LINK));
        }
        CloseAsTheLauncherDoes();
    });
    EXPECT_EQ(Run(dialog), 1);
    helper.Join();
    EXPECT_FALSE(linkShown);
}

TEST_F(ProgressDialogTest, ANewCheckClearingTheErrorBringsBackTheBars) {
    web_url = L"http://127.0.0.1/support";
    GetViewBroser()->SetErrorText(g_messages.entries[10]);
    bool barsBack = false;
    bool linkGone = false;
    RECT status{};
    CProgressDlg dialog(IDD_PROGRESS, Background(), nullptr);
    Helper helper([&] {
        if (const HWND hwnd = ui_test::WaitForShownDialog(IDD_PROGRESS)) {
            const HWND link = Item(hwnd, IDC_LINK);
            EXPECT_TRUE(WaitUntil([&] { return IsShown(link); }));
            // As the next client check starts.
            GetViewBroser()->SetErrorText(L"");
            GetViewBroser()->SetStageText(g_messages.entries[9]);
            barsBack = WaitUntil([&] { return TextOf(Item(hwnd, IDC_STATUS)) == g_messages.entries[9]; }) &&
                       IsShown(Item(hwnd, IDC_FILE_PROGRESS)) && IsShown(Item(hwnd, IDC_TOTAL_PROGRESS));
            linkGone = !IsShown(link);
            status = ui_test::PlaceIn(hwnd, Item(hwnd, IDC_STATUS));
        }
        CloseAsTheLauncherDoes();
    });
    EXPECT_EQ(Run(dialog), 0);
    helper.Join();
    EXPECT_TRUE(barsBack);
    EXPECT_TRUE(linkGone);
    EXPECT_EQ(status.left, 35);
    EXPECT_EQ(status.top, 157);
}

TEST_F(ProgressDialogTest, ClickingTheLinkOpensThePageAddress) {
    const testsupport::RecordingOpener opener(m_folder.Path());
    web_url = L"http://127.0.0.1/help?from=launcher";
    GetViewBroser()->SetErrorText(g_messages.entries[10]);

    CProgressDlg dialog(IDD_PROGRESS, Background(), nullptr);
    Helper helper([&] {
        if (const HWND hwnd = ui_test::WaitForShownDialog(IDD_PROGRESS)) {
            const HWND link = Item(hwnd, IDC_LINK);
            if (WaitUntil([&] { return IsShown(link); })) {
                platform::InjectMouseMove(kit_test::At(link, 178, 9));
                platform::InjectClick(kit_test::At(link, 178, 9));
                EXPECT_TRUE(WaitUntil([&] { return opener.WasCalled(); }));
            }
        }
        CloseAsTheLauncherDoes();
    });
    Run(dialog);
    helper.Join();
    EXPECT_EQ(opener.Opened(), "http://127.0.0.1/help?from=launcher\n");
}

TEST_F(ProgressDialogTest, AnAddressThatIsNoWebPageIsNeitherShownNorOpened) {
    const testsupport::RecordingOpener opener(m_folder.Path());
    GetViewBroser()->SetErrorText(g_messages.entries[10]);
    const std::string program = (m_folder.Path() / "C1" / "qm.exe").string();
    for (const std::wstring& url : {std::wstring(L"javascript:alert(1)"), std::wstring(L"file:///etc/passwd"),
                                    std::wstring(L"--help"), platform::FromUtf8(program)}) {
        web_url = url;
        bool linkShown = true;
        CProgressDlg dialog(IDD_PROGRESS, Background(), nullptr);
        Helper helper([&] {
            if (const HWND hwnd = ui_test::WaitForShownDialog(IDD_PROGRESS)) {
                EXPECT_TRUE(WaitUntil([&] { return IsShown(Item(hwnd, IDCANCEL)); }));
                ui_test::Settle(hwnd);
                const HWND link = Item(hwnd, IDC_LINK);
                linkShown = IsShown(link);
                platform::InjectMouseMove(kit_test::At(link, 178, 9));
                platform::InjectClick(kit_test::At(link, 178, 9));
                ui_test::Settle(hwnd);
            }
            CloseAsTheLauncherDoes();
        });
        Run(dialog);
        helper.Join();
        EXPECT_FALSE(linkShown) << platform::ToUtf8(url);
    }
    EXPECT_FALSE(opener.WasCalled()) << opener.Opened();
}

TEST_F(ProgressDialogTest, TheCloseButtonEndsWith2AndForgetsTheDialog) {
    GetViewBroser()->SetErrorText(g_messages.entries[7]);
    CProgressDlg dialog(IDD_PROGRESS, Background(), nullptr);
    Helper helper([&] {
        const HWND hwnd = ui_test::WaitForShownDialog(IDD_PROGRESS);
        const HWND close = hwnd ? Item(hwnd, IDCANCEL) : nullptr;
        if (close && WaitUntil([&] { return IsShown(close); })) {
            const RECT place = ui_test::PlaceIn(hwnd, close);
            EXPECT_EQ(place.left, 380);
            EXPECT_EQ(place.top, 43);
            platform::InjectMouseMove(kit_test::At(close, 12, 12));
            platform::InjectClick(kit_test::At(close, 12, 12));
            if (WaitUntil([&] { return !IsWindow(hwnd); }))
                return;
        }
        CloseAsTheLauncherDoes();
    });
    EXPECT_EQ(Run(dialog), IDCANCEL);
    // Cleared as the dialog ended, before its object goes.
    EXPECT_EQ(GetViewBroser()->GetProgressDialog(), nullptr);
    helper.Join();
}

TEST_F(ProgressDialogTest, TheCloseButtonAppearsWhenItsTimerFires) {
    bool hiddenAtFirst = false;
    bool shownAfterTimer = false;
    CProgressDlg dialog(IDD_PROGRESS, Background(), nullptr);
    Helper helper([&] {
        if (const HWND hwnd = ui_test::WaitForShownDialog(IDD_PROGRESS)) {
            const HWND close = Item(hwnd, IDCANCEL);
            hiddenAtFirst = !IsShown(close);
            PostMessageW(hwnd, WM_TIMER, CProgressDlg::kCloseButtonTimer, 0);
            shownAfterTimer = WaitUntil([&] { return IsShown(close); });
        }
        CloseAsTheLauncherDoes();
    });
    EXPECT_EQ(Run(dialog), 0);
    helper.Join();
    EXPECT_TRUE(hiddenAtFirst);
    EXPECT_TRUE(shownAfterTimer);
}

TEST_F(ProgressDialogTest, EscapeAndEnterDoNotEndIt) {
    CProgressDlg dialog(IDD_PROGRESS, Background(), nullptr);
    Helper helper([&] {
        if (const HWND hwnd = ui_test::WaitForShownDialog(IDD_PROGRESS)) {
            platform::InjectKey(hwnd, VK_ESCAPE);
            platform::InjectKey(hwnd, VK_RETURN);
            platform::InjectKey(Item(hwnd, IDC_LINK), VK_ESCAPE);
        }
        // Queued after the keys: only reached if they left the dialog open.
        CloseAsTheLauncherDoes();
    });
    // Escape would end it with 2, Enter with 1.
    EXPECT_EQ(Run(dialog), 0);
    helper.Join();
}

TEST_F(ProgressDialogTest, WorkFinishedBeforeItOpenedClosesItAtOnce) {
    {
        CProgressDlg dialog(IDD_PROGRESS, Background(), nullptr);
        dialog.MarkClosedByLauncher();
        EXPECT_EQ(Run(dialog), 0);
        EXPECT_EQ(GetViewBroser()->GetProgressDialog(), nullptr);
    }
    {
        GetViewBroser()->SetErrorText(g_messages.entries[0]);
        CProgressDlg dialog(IDD_PROGRESS, Background(), nullptr);
        dialog.MarkClosedByLauncher();
        EXPECT_EQ(Run(dialog), 1);
    }
}

}  // namespace
