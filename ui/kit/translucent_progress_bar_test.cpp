// The progress bar: where its fill and slider land in the dialog's picture,
// and how range and position changes ask for a new picture.
#include "ui/kit/translucent_progress_bar.h"

#include "tests/support/temp_dir.h"
#include "ui/kit/kit_test_dialog.h"

#include <gtest/gtest.h>

namespace {

using kit_test::KitDialog;
using kit_test::PixelAt;

using kit_test::kGrey;
constexpr std::uint32_t kBlue = 0xFF0000FF;
constexpr std::uint32_t kGreen = 0xFF00FF00;
constexpr std::uint32_t kRed = 0xFFFF0000;
constexpr std::uint32_t kClear = 0x00000000;

// The bar sits at (30, 40), 332 x 18; its fill area is (38, 46), 316 x 5,
// the groove the frame leaves open.
constexpr int kFillLeft = 38;
constexpr int kFillTop = 46;
constexpr int kFillRow = 48;

class ProgressBarPicture : public ::testing::Test {
protected:
    static bool WritePictures(const std::filesystem::path& dir) {
        kit_test::WritePng(dir / "background.png", 400, 100, kGrey);
        kit_test::WritePng(dir / "frame.png", 332, 18, kBlue, {{8, 6, 316, 5, kClear}});
        kit_test::WritePng(dir / "fill.png", 10, 5, kGreen);
        kit_test::WritePng(dir / "slider.png", 15, 15, kRed);
        return true;
    }

    void SetUp() override {
        m_dialog.setUp = [this](KitDialog& dialog) {
            const auto& folder = m_folder.Path();
            EXPECT_TRUE(dialog.bar.SetFrameImage((folder / "frame.png").wstring().c_str()));
            EXPECT_TRUE(dialog.bar.SetFillImage((folder / "fill.png").wstring().c_str()));
            EXPECT_TRUE(dialog.bar.SetSliderImage((folder / "slider.png").wstring().c_str()));
            dialog.bar.SetFillArea(8, 6, 316, 5);
            dialog.bar.SetWindowPos(nullptr, 30, 40, 332, 18, SWP_NOZORDER | SWP_NOACTIVATE);
            dialog.Add(dialog.bar);
        };
        ASSERT_TRUE(m_dialog.Create(kit_test::kKitDialog));
        m_hwnd = m_dialog.GetSafeHwnd();
    }

    kit_test::GdiplusSession m_gdiplus;
    testsupport::TempDir m_folder;
    // Written before the dialog, which loads its background when it is built.
    const bool m_written = WritePictures(m_folder.Path());
    KitDialog m_dialog{m_folder.Path() / "background.png", false};
    HWND m_hwnd = nullptr;
};

TEST_F(ProgressBarPicture, AQuarterDoneFillsAQuarterWithTheSliderCentredOnItsEnd) {
    m_dialog.bar.SetRange(200);
    m_dialog.bar.SetPos(50);

    // 316 * 50 / 200 = 79 pixels of fill: x 38..116. The 15-pixel slider
    // covers 110..124, centred on 117, the end of the fill, and rows 41..55,
    // centred on the fill's rows 46..50.
    if (kit_test::CrispStretchedEdges()) {
        EXPECT_EQ(PixelAt(m_hwnd, kFillLeft, kFillRow), kGreen);
        EXPECT_EQ(PixelAt(m_hwnd, 109, kFillRow), kGreen);
    }
    EXPECT_EQ(PixelAt(m_hwnd, 60, kFillRow), kGreen);
    EXPECT_EQ(PixelAt(m_hwnd, 110, kFillRow), kRed);
    EXPECT_EQ(PixelAt(m_hwnd, 124, kFillRow), kRed);
    EXPECT_EQ(PixelAt(m_hwnd, 125, kFillRow), kGrey);
    EXPECT_EQ(PixelAt(m_hwnd, 200, kFillRow), kGrey);
    EXPECT_EQ(PixelAt(m_hwnd, 117, 40), kBlue);
    EXPECT_EQ(PixelAt(m_hwnd, 117, 41), kRed);
    EXPECT_EQ(PixelAt(m_hwnd, 117, 55), kRed);
    EXPECT_EQ(PixelAt(m_hwnd, 117, 56), kBlue);
    // The frame lies over the fill everywhere but in the groove.
    EXPECT_EQ(PixelAt(m_hwnd, kFillLeft, kFillTop - 1), kBlue);
}

TEST_F(ProgressBarPicture, AnEmptyRangeShowsNoFillAndTheSliderAtTheStart) {
    m_dialog.bar.SetRange(0);
    m_dialog.bar.SetPos(0);
    m_dialog.UpdateView();

    EXPECT_EQ(PixelAt(m_hwnd, 31, kFillRow), kRed);
    EXPECT_EQ(PixelAt(m_hwnd, 45, kFillRow), kRed);
    EXPECT_EQ(PixelAt(m_hwnd, 46, kFillRow), kGrey);
    EXPECT_EQ(PixelAt(m_hwnd, 200, kFillRow), kGrey);
}

TEST_F(ProgressBarPicture, TheWholeRangeFillsTheWholeArea) {
    m_dialog.bar.SetRange(7);
    m_dialog.bar.SetPos(7);

    if (kit_test::CrispStretchedEdges()) {
        EXPECT_EQ(PixelAt(m_hwnd, kFillLeft, kFillRow), kGreen);
        EXPECT_EQ(PixelAt(m_hwnd, 346, kFillRow), kGreen);
    }
    EXPECT_EQ(PixelAt(m_hwnd, 60, kFillRow), kGreen);
    EXPECT_EQ(PixelAt(m_hwnd, 300, kFillRow), kGreen);
    // The slider is centred on the last fill column's right edge, 354.
    EXPECT_EQ(PixelAt(m_hwnd, 347, kFillRow), kRed);
    EXPECT_EQ(PixelAt(m_hwnd, 361, kFillRow), kRed);
}

TEST_F(ProgressBarPicture, AHiddenBarIsLeftOutOfThePictureUntilShownAgain) {
    m_dialog.bar.SetRange(100);
    m_dialog.bar.SetPos(100);
    m_dialog.bar.Show(SW_HIDE);
    EXPECT_EQ(PixelAt(m_hwnd, 30, 40), kGrey);
    EXPECT_EQ(PixelAt(m_hwnd, 100, kFillRow), kGrey);

    m_dialog.bar.Show(SW_SHOW);
    EXPECT_EQ(PixelAt(m_hwnd, 30, 40), kBlue);
    EXPECT_EQ(PixelAt(m_hwnd, 100, kFillRow), kGreen);

    // Hidden behind the kit's back, the bar still counts as shown.
    m_dialog.bar.ShowWindow(SW_HIDE);
    m_dialog.UpdateView();
    EXPECT_EQ(PixelAt(m_hwnd, 30, 40), kBlue);
}

// Counts the bar's requests for a new picture.
class CountingListener : public IRenderListener {
public:
    void OnRenderRequest(CTranslucentWnd*) override { ++requests; }
    int requests = 0;
};

TEST(ProgressBarState, PositionsOutsideTheRangeAreIgnored) {
    kit_test::GdiplusSession gdiplus;
    CTranslucentProgressBar bar;
    CountingListener listener;
    bar.SetRenderListener(&listener);

    bar.SetPos(80);
    EXPECT_EQ(bar.GetPos(), 80u);
    EXPECT_EQ(listener.requests, 1);

    bar.SetPos(150);
    EXPECT_EQ(bar.GetPos(), 80u);
    EXPECT_EQ(listener.requests, 1);
}

TEST(ProgressBarState, ANarrowerRangePullsThePositionInAndRedraws) {
    kit_test::GdiplusSession gdiplus;
    CTranslucentProgressBar bar;
    CountingListener listener;
    bar.SetRenderListener(&listener);
    bar.SetPos(80);
    listener.requests = 0;

    bar.SetRange(200);
    EXPECT_EQ(bar.GetPos(), 80u);
    EXPECT_EQ(listener.requests, 0);

    bar.SetRange(50);
    EXPECT_EQ(bar.GetPos(), 50u);
    EXPECT_EQ(listener.requests, 1);

    // Beyond 4 GiB, as the counters of a whole update may go.
    bar.SetRange(6'000'000'000ull);
    bar.SetPos(5'000'000'000ull);
    EXPECT_EQ(bar.GetPos(), 5'000'000'000ull);
}

}  // namespace
