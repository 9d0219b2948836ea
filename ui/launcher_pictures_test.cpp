// The windows with the pictures the build draws: every picture they load by
// name is there and lands in the composed picture.
#include "app/update_threads.h"
#include "platform/png_file.h"
#include "tests/support/temp_dir.h"
#include "tests/support/test_process.h"
#include "ui/launcher_translucent_dlg.h"
#include "ui/launcher_windows_test_support.h"
#include "ui/progress_dlg.h"

#include <gtest/gtest.h>

#include <chrono>
#include <optional>
#include <vector>

namespace {

using kit_test::WaitUntil;
using ui_test::Helper;
using ui_test::TextOf;

using Pixels = std::vector<std::uint32_t>;

// The pixels of a rectangle of the window's picture.
Pixels Capture(HWND hwnd, RECT rect) {
    Pixels pixels;
    for (LONG y = rect.top; y < rect.bottom; ++y)
        for (LONG x = rect.left; x < rect.right; ++x)
            pixels.push_back(kit_test::PixelAt(hwnd, x, y));
    return pixels;
}

// The same rectangle of a PNG file, premultiplied as pictures are composed.
Pixels CaptureFile(const std::filesystem::path& file, RECT rect) {
    const auto picture = platform::LoadPng(file);
    Pixels pixels;
    if (picture) {
        for (LONG y = rect.top; y < rect.bottom; ++y)
            for (LONG x = rect.left; x < rect.right; ++x)
                pixels.push_back(picture->pixels[static_cast<std::size_t>(y) * picture->size.cx + x]);
    }
    return pixels;
}

int Differences(const Pixels& a, const Pixels& b) {
    if (a.size() != b.size())
        return -1;
    int count = 0;
    for (std::size_t i = 0; i < a.size(); ++i)
        count += a[i] != b[i];
    return count;
}

class GeneratedPicturesTest : public ui_test::LauncherWindowsTest {
protected:
    void SetUp() override {
        ui_test::LauncherWindowsTest::SetUp();
        testsupport::ProcessStart generator;
        generator.argv = {QM_STYLES_GENERATOR, m_folder.Str()};
        // The bound only ends a run that would otherwise hang the test.
        ASSERT_EQ(testsupport::RunProcess(generator, std::chrono::minutes(5)), std::optional<int>(0));
    }

    std::filesystem::path Image(const char* name) const { return m_folder.Path() / "LauncherStyles" / "Image" / name; }
};

constexpr RECT kExit{794, 39, 819, 64};
constexpr RECT kMinimize{762, 39, 787, 64};
constexpr RECT kClose{380, 43, 405, 68};
// Inside each bar: a part that only the frame and, at 100 %, the fill cover,
// and a part where only the slider lands at 100 % (the labels start at 360).
constexpr RECT kBarMiddles[2] = {{50, 100, 340, 118}, {50, 125, 340, 143}};
constexpr RECT kBarEnds[2] = {{355, 100, 360, 118}, {355, 125, 360, 143}};

TEST_F(GeneratedPicturesTest, TheMainWindowShowsItsBackgroundAndButtons) {
    SIZE size{};
    int exitDrawn = 0;
    int minimizeDrawn = 0;
    CLauncherTranslucentDlg dialog;
    Helper helper([&] {
        const HWND main = ui_test::WaitForShownDialog(IDD_LAUNCHER_TRANSLUCENT);
        if (const auto picture = kit_test::PictureOf(main))
            size = picture->size;
        exitDrawn = Differences(Capture(main, kExit), CaptureFile(Image("ui_main_01.png"), kExit));
        minimizeDrawn = Differences(Capture(main, kMinimize), CaptureFile(Image("ui_main_01.png"), kMinimize));
        PostMessageW(main, WM_CLOSE, 0, 0);
    });
    dialog.DoModal();
    helper.Join();

    EXPECT_EQ(size.cx, 870);
    EXPECT_EQ(size.cy, 520);
    EXPECT_GT(exitDrawn, 0);
    EXPECT_GT(minimizeDrawn, 0);
}

TEST_F(GeneratedPicturesTest, TheProgressDialogShowsItsBackgroundBarsAndCloseButton) {
    CViewBroser* view = GetViewBroser();
    for (int i = 0; i < 2; ++i) {
        view->SetTotal(i, 100);
        view->SetDone(i, 0);
    }
    SIZE size{};
    Pixels background[2], emptyMiddle[2], emptyEnd[2], fullMiddle[2], fullEnd[2];
    bool closeDrawn = false;
    CProgressDlg dialog(IDD_PROGRESS, g_settings.startDirectory + L"/LauncherStyles/Image/ui_main_02.png", nullptr);
    view->SetProgressDialog(&dialog);
    Helper helper([&] {
        const HWND hwnd = ui_test::WaitForShownDialog(IDD_PROGRESS);
        if (const auto picture = kit_test::PictureOf(hwnd))
            size = picture->size;
        auto labelsRead = [&](const wchar_t* text) {
            return WaitUntil([&] {
                return TextOf(GetDlgItem(hwnd, IDC_FILE_PERCENT)) == text &&
                       TextOf(GetDlgItem(hwnd, IDC_TOTAL_PERCENT)) == text;
            });
        };
        if (labelsRead(L"0%")) {
            for (int i = 0; i < 2; ++i) {
                background[i] = CaptureFile(Image("ui_main_02.png"), kBarMiddles[i]);
                emptyMiddle[i] = Capture(hwnd, kBarMiddles[i]);
                emptyEnd[i] = Capture(hwnd, kBarEnds[i]);
            }
        }
        view->SetDone(0, 100);
        view->SetDone(1, 100);
        if (labelsRead(L"100%")) {
            for (int i = 0; i < 2; ++i) {
                fullMiddle[i] = Capture(hwnd, kBarMiddles[i]);
                fullEnd[i] = Capture(hwnd, kBarEnds[i]);
            }
        }
        PostMessageW(hwnd, WM_TIMER, CProgressDlg::kCloseButtonTimer, 0);
        // Shown first, drawn right after.
        const Pixels under = CaptureFile(Image("ui_main_02.png"), kClose);
        closeDrawn = WaitUntil([&] { return Differences(Capture(hwnd, kClose), under) > 0; });
        CloseProgressDialog();
    });
    dialog.DoModal();
    helper.Join();

    EXPECT_EQ(size.cx, 440);
    EXPECT_EQ(size.cy, 200);
    for (int i = 0; i < 2; ++i) {
        EXPECT_GT(Differences(emptyMiddle[i], background[i]), 0) << "frame of bar " << i;
        EXPECT_GT(Differences(emptyMiddle[i], fullMiddle[i]), 0) << "fill of bar " << i;
        EXPECT_GT(Differences(emptyEnd[i], fullEnd[i]), 0) << "slider of bar " << i;
    }
    EXPECT_TRUE(closeDrawn);
}

}  // namespace
