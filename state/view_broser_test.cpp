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

class ScaleGuard {
public:
    explicit ScaleGuard(float scale) { unpackScale = scale; }
    ~ScaleGuard() { unpackScale = 1.0f; }
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
    ScaleGuard half(0.5f);
    view.AddScaledDone(3);
    EXPECT_EQ(view.GetDone(1), 1);
    view.AddScaledDone(0);
    EXPECT_EQ(view.GetDone(1), 1);
    view.AddScaledDone(1);
    EXPECT_EQ(view.GetDone(1), 1);

    // A full decode round at a scale just below one must not round up.
    ScaleGuard almostOne(0.99999994f);
    view.SetDone(1, 0);
    view.AddScaledDone(65536);
    EXPECT_EQ(view.GetDone(1), 65535);
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
