// The translucent dialog: the picture it composes, where it places itself,
// the overlay dialog that follows it, and moving it with the mouse.
#include "ui/kit/translucent_dialog.h"

#include "tests/support/temp_dir.h"
#include "tests/support/wine.h"
#include "ui/kit/kit_test_dialog.h"

#include <gtest/gtest.h>

#if defined(__SANITIZE_ADDRESS__)
// Text drawing reaches fontconfig, whose cached patterns LeakSanitizer
// cannot see as referenced; only that library's allocations are excused.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libfontconfig.so\n";
}
#endif

namespace {

using kit_test::At;
using kit_test::KitDialog;
using kit_test::PixelAt;
using kit_test::PumpUntil;
using kit_test::WindowRect;

using kit_test::kGrey;
constexpr std::uint32_t kHalfRed = 0x80FF0000;
constexpr int kWidth = 200;
constexpr int kHeight = 100;

class DialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        // A see-through corner and a half-transparent band on grey.
        kit_test::WritePng(Background(), kWidth, kHeight, kGrey,
                           {{0, 0, 10, 10, 0x00000000}, {0, 90, kWidth, 10, kHalfRed}});
    }
    void TearDown() override {
        platform::InjectMouseUp(POINT{1900, 1030});
        platform::InjectMouseMove(POINT{1900, 1030});
        kit_test::PumpFrameworkPending();
    }

    std::filesystem::path Background() const { return m_folder.Path() / "background.png"; }

    kit_test::GdiplusSession m_gdiplus;
    testsupport::TempDir m_folder;
};

TEST_F(DialogTest, ThePictureIsTheBackgroundWithItsAlpha) {
    KitDialog dialog(Background(), false);
    ASSERT_TRUE(dialog.Create(kit_test::kKitDialog));
    const HWND hwnd = dialog.GetSafeHwnd();

    const auto picture = kit_test::PictureOf(hwnd);
    ASSERT_TRUE(picture);
    EXPECT_EQ(picture->size.cx, kWidth);
    EXPECT_EQ(picture->size.cy, kHeight);
    EXPECT_EQ(PixelAt(hwnd, 50, 50), kGrey);
    EXPECT_EQ(PixelAt(hwnd, 5, 5), 0u);
    // Premultiplied, as layered windows take it.
    EXPECT_EQ(PixelAt(hwnd, 50, 95), 0x80800000u);
    EXPECT_TRUE(dialog.GetExStyle() & WS_EX_LAYERED);
}

TEST_F(DialogTest, ATextIsDrawnInItsControlsPlace) {
    KitDialog dialog(Background(), false);
    dialog.setUp = [](KitDialog& d) {
        d.text.SetWindowPos(nullptr, 20, 20, 160, 40, SWP_NOZORDER | SWP_NOACTIVATE);
        d.text.SetTextFont(L"Arial", 30, Gdiplus::FontStyleRegular, Gdiplus::UnitPixel);
        d.Add(d.text);
    };
    ASSERT_TRUE(dialog.Create(kit_test::kKitDialog));
    const HWND hwnd = dialog.GetSafeHwnd();
    auto countBright = [hwnd](int left, int top, int right, int bottom) {
        int bright = 0;
        for (int y = top; y < bottom; ++y)
            for (int x = left; x < right; ++x)
                bright += (PixelAt(hwnd, x, y) & 0xFF) > 0xC0;
        return bright;
    };
    EXPECT_EQ(countBright(0, 0, kWidth, 90), 0);

    dialog.text.SetWindowText(L"WWW");
    dialog.UpdateView();
    // White text, top-left aligned inside the control only.
    EXPECT_GT(countBright(20, 20, 100, 60), 20);
    EXPECT_EQ(countBright(0, 0, kWidth, 20) + countBright(0, 60, kWidth, 90), 0);
}

TEST_F(DialogTest, ItTakesThePicturesSizeCentredAsItsFramedTemplateWouldBe) {
    KitDialog dialog(Background(), false);
    ASSERT_TRUE(dialog.Create(kit_test::kKitDialog));
    // Centred in the work area (1920 x 1040 without a display); the
    // template's caption and dialog frame add 6 x 25 pixels to the picture's
    // 200 x 100.
    RECT work{};
    ASSERT_TRUE(SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0));
    const RECT rect = WindowRect(dialog.GetSafeHwnd());
    EXPECT_EQ(rect.left, work.left + (work.right - work.left - 206) / 2);
    EXPECT_EQ(rect.top, work.top + (work.bottom - work.top - 125) / 2);
    EXPECT_EQ(rect.right - rect.left, kWidth);
    EXPECT_EQ(rect.bottom - rect.top, kHeight);
    EXPECT_FALSE(dialog.GetStyle() & WS_CAPTION);
    EXPECT_TRUE(dialog.GetStyle() & WS_POPUP);

    KitDialog placed(Background(), false);
    placed.m_bCenterOnCreate = false;
    ASSERT_TRUE(placed.Create(kit_test::kKitDialog));
    // The template's position, 20 x 16 dialog units.
    const RECT at = WindowRect(placed.GetSafeHwnd());
    EXPECT_EQ(at.left, 30);
    EXPECT_EQ(at.top, 26);
}

TEST_F(DialogTest, AMissingBackgroundLeavesTheWindowWithoutPicture) {
    KitDialog dialog(m_folder.Path() / "missing.png", false);
    ASSERT_TRUE(dialog.Create(kit_test::kKitDialog));
    dialog.UpdateView();
    EXPECT_FALSE(kit_test::PictureOf(dialog.GetSafeHwnd()));
}

TEST_F(DialogTest, TheOverlayIsColourKeyedAndFollowsTheDialog) {
    KitDialog dialog(Background(), true);
    ASSERT_TRUE(dialog.Create(kit_test::kKitDialog));
    const HWND hwnd = dialog.GetSafeHwnd();
    const HWND overlay = dialog.StandardDialog()->GetSafeHwnd();

    const auto info = platform::DescribeWindow(overlay);
    ASSERT_TRUE(info);
    EXPECT_TRUE(info->visible);
    EXPECT_EQ(info->parent, hwnd);
    EXPECT_EQ(info->layeredFlags, static_cast<DWORD>(LWA_COLORKEY));
    EXPECT_EQ(info->colorKey, kit_test::kOverlayKey);
    const RECT start = WindowRect(hwnd);
    const RECT overlayStart = info->windowRect;
    EXPECT_EQ(overlayStart.left, start.left);
    EXPECT_EQ(overlayStart.top, start.top);
    EXPECT_EQ(overlayStart.right, start.right);
    EXPECT_EQ(overlayStart.bottom, start.bottom);

    dialog.SetWindowPos(nullptr, 100, 50, 300, 150, SWP_NOZORDER | SWP_NOACTIVATE);
    const RECT moved = WindowRect(overlay);
    EXPECT_EQ(moved.left, 100);
    EXPECT_EQ(moved.top, 50);
    EXPECT_EQ(moved.right, 400);
    EXPECT_EQ(moved.bottom, 200);
}

TEST_F(DialogTest, CancellingTheOverlayClosesTheDialogButEnterDoesNothing) {
    KitDialog dialog(Background(), true);
    ASSERT_TRUE(dialog.Create(kit_test::kKitDialog));
    dialog.ShowWindow(SW_SHOW);
    const HWND overlay = dialog.StandardDialog()->GetSafeHwnd();

    platform::InjectKey(overlay, VK_RETURN);
    kit_test::PumpFrameworkPending();
    EXPECT_EQ(dialog.closeRequests, 0);
    EXPECT_TRUE(IsWindowVisible(overlay));

    platform::InjectKey(overlay, VK_ESCAPE);
    kit_test::PumpFrameworkPending();
    EXPECT_EQ(dialog.closeRequests, 1);
}

TEST_F(DialogTest, DraggingTheBackgroundMovesBothWindows) {
    if (testsupport::UnderWine())
        GTEST_SKIP() << "Wine's hit testing ignores a layered window's colour key: the press lands on the overlay, "
                        "not on the dialog below it";
    KitDialog dialog(Background(), true);
    ASSERT_TRUE(dialog.Create(kit_test::kKitDialog));
    dialog.ShowWindow(SW_SHOW);
    const HWND hwnd = dialog.GetSafeHwnd();
    const HWND overlay = dialog.StandardDialog()->GetSafeHwnd();
    const RECT start = WindowRect(hwnd);

    // The overlay's key colour lets the press through to the dialog.
    const POINT grab = At(hwnd, 150, 50);
    platform::InjectMouseMove(grab);
    platform::InjectMouseDown(grab);
    kit_test::PumpFrameworkPending();
    platform::InjectMouseMove(POINT{grab.x + 40, grab.y + 30});
    platform::InjectMouseUp(POINT{grab.x + 40, grab.y + 30});
    ASSERT_TRUE(PumpUntil([&] { return WindowRect(hwnd).left == start.left + 40; }));
    EXPECT_EQ(WindowRect(hwnd).top, start.top + 30);
    EXPECT_EQ(WindowRect(overlay).left, start.left + 40);
    EXPECT_EQ(WindowRect(overlay).top, start.top + 30);
}

TEST_F(DialogTest, WithoutDragMoveAPressLeavesTheWindowInPlace) {
    KitDialog dialog(Background(), false);
    dialog.m_bDragMove = false;
    ASSERT_TRUE(dialog.Create(kit_test::kKitDialog));
    dialog.ShowWindow(SW_SHOW);
    const HWND hwnd = dialog.GetSafeHwnd();
    const RECT start = WindowRect(hwnd);

    const POINT grab = At(hwnd, 150, 50);
    platform::InjectMouseMove(grab);
    platform::InjectMouseDown(grab);
    kit_test::PumpFrameworkPending();
    platform::InjectMouseMove(POINT{grab.x + 40, grab.y + 30});
    platform::InjectMouseUp(POINT{grab.x + 40, grab.y + 30});
    kit_test::PumpFrameworkPending();
    EXPECT_EQ(WindowRect(hwnd).left, start.left);
    EXPECT_EQ(WindowRect(hwnd).top, start.top);
}

}  // namespace
