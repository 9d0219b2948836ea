#include "state/view_broser.h"

#include "state/launcher_settings.h"

#include <gtest/gtest.h>

#include <limits>

namespace {

class RecordingWebWindow : public IWebPageWindow {
public:
    HWND GetWindowHandle() override { return nullptr; }
    void ShowStartPage() override { ++reloads; }
    int reloads = 0;
};

}  // namespace

TEST(ViewBroser, StartsWithUnitTotalsAndNothingDone) {
    CViewBroser view;
    const ViewProgress progress = view.GetProgress();
    EXPECT_EQ(progress.totals[0], 1);
    EXPECT_EQ(progress.totals[1], 1);
    EXPECT_EQ(progress.done[0], 0);
    EXPECT_EQ(progress.done[1], 0);
    EXPECT_TRUE(progress.stageText.empty());
    EXPECT_TRUE(progress.errorText.empty());
}

TEST(ViewBroser, ScaledDoneTruncatesTowardZero) {
    CViewBroser view;
    FileShare half{1 << 20, 0, 0.5f};
    view.AddScaledDone(half, 3);
    EXPECT_EQ(view.GetDone(1), 1);
    view.AddScaledDone(half, 0);
    EXPECT_EQ(view.GetDone(1), 1);
    view.AddScaledDone(half, 1);
    EXPECT_EQ(view.GetDone(1), 1);

    // A full decode round at a scale just below one must not round up.
    FileShare almostOne{1 << 20, 0, 0.99999994f};
    view.SetDone(1, 0);
    view.AddScaledDone(almostOne, 65536);
    EXPECT_EQ(view.GetDone(1), 65535);
}

TEST(ViewBroser, FilesSideBySideEachKeepTheirOwnPart) {
    CViewBroser view;
    view.SetDone(1, 100);
    view.SetFileRange(100, 100);
    FileShare small;
    FileShare large;
    view.BeginFile(small, 10);
    view.BeginFile(large, 1000);
    EXPECT_EQ(view.GetFileStart(), 110);
    EXPECT_EQ(view.GetFileEnd(), 1110);

    // The small file's transfer brings more than the file holds: it counts
    // no further than its size, so unpacking has nothing left to add.
    view.SetReceivingFile(small);
    view.AddDone(25);
    EXPECT_EQ(view.GetDone(1), 110);
    EXPECT_FALSE(view.BeginFileUnpack(small));
    view.EndReceivingFile(small);

    // The large one: 400 bytes arrive, its decoder spreads the other 600
    // over the 1000 it writes, and the small file's end leaves it alone.
    view.SetReceivingFile(large);
    view.AddDone(400);
    view.EndReceivingFile(small);
    view.AddDone(100);
    view.EndReceivingFile(large);
    view.AddDone(7);  // no file receives: counted as it comes
    EXPECT_EQ(view.GetDone(1), 110 + 500 + 7);
    ASSERT_TRUE(view.BeginFileUnpack(large));
    EXPECT_FLOAT_EQ(large.unpackScale, 0.5f);
    view.AddScaledDone(large, 600);
    EXPECT_EQ(view.GetDone(1), 110 + 800 + 7);

    // The large file fails its check: only its own part goes back.
    view.SetDone(0, 42);
    view.RollBackFile(large);
    EXPECT_EQ(view.GetDone(1), 110 + 7);
    EXPECT_EQ(view.GetDone(0), 0);
    view.AddScaledDone(large, 1);
    view.CompleteFile(large);
    view.CompleteFile(small);
    EXPECT_EQ(view.GetDone(1), 1110 + 7);
    EXPECT_EQ(large.credited, 1000);
}

TEST(ViewBroser, CountersHoldSizesBeyondFourGigabytes) {
    CViewBroser view;
    const std::int64_t big = std::int64_t{5} << 30;
    view.SetTotal(1, big);
    view.SetDone(1, big - 10);
    view.AddDone(std::numeric_limits<std::uint32_t>::max());
    EXPECT_EQ(view.GetTotal(1), big);
    EXPECT_EQ(view.GetDone(1), big - 10 + std::numeric_limits<std::uint32_t>::max());
}

TEST(ViewBroser, ReloadWebPageReachesOnlyAnExistingWindow) {
    CViewBroser view;
    view.ReloadWebPage();  // no window yet: nothing happens

    RecordingWebWindow window;
    view.SetWindows(nullptr, &window);
    view.ReloadWebPage();
    EXPECT_EQ(window.reloads, 1);
}
