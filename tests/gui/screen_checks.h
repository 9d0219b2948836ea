// What the launcher's windows must look like on the screen, worked out
// from its own pictures (LauncherStyles/Image) drawn over the screen's
// background as a compositor blends them, and compared with a screenshot.
#pragma once

#include "tests/support/x_display.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>

namespace guitest {

using testsupport::Picture;
using testsupport::Rgba;

struct Point {
    int x = 0, y = 0;
};

struct Rect {
    int x = 0, y = 0, width = 0, height = 0;
    bool Contains(int px, int py) const { return px >= x && py >= y && px < x + width && py < y + height; }
};

// Places in the main window, from its top-left corner.
inline constexpr Rect kPageRect{75, 69, 718, 398};
// The browser's window is the page's place grown by the browser's client
// edge, so that the edge falls outside the place. No edge is drawn, so the
// page's own outermost pixels lie outside with it.
inline constexpr int kBrowserEdge = 2;
inline constexpr Rect kExitButton{794, 39, 25, 25};
inline constexpr Rect kMinimiseButton{762, 39, 25, 25};

// Places in the progress dialog: the file bar and the total bar, and the
// groove inside each bar where its fill is drawn.
inline constexpr Rect kProgressBars[2] = {{30, 100, 332, 18}, {30, 125, 332, 18}};
inline constexpr Rect kFillGroove{8, 6, 316, 5};

// The test page's colours (tests/gui/test_page.html).
inline constexpr Rgba kPageColour{32, 96, 208, 255};
inline constexpr Rgba kFirstMarkerColour{224, 48, 48, 255};
inline constexpr Rgba kLastMarkerColour{240, 200, 40, 255};
inline constexpr int kMarkerSize = 12;

// The launcher's pictures the checks need.
struct LauncherPictures {
    Picture main;
    Picture progress;
    Picture exitButton;
    Picture minimiseButton;
    Picture barFrame;
    Picture fills[2];

    // Nothing when one of them cannot be read.
    static std::optional<LauncherPictures> Load(const std::filesystem::path& styles);
};

// Every pixel of the main window outside the page: its picture with the
// exit and minimise buttons drawn at their places, over the background.
::testing::AssertionResult ShowsMainWindow(const Picture& screen, Point origin, const LauncherPictures& pictures,
                                           Rgba background);
// One button's picture (normal state) at its place in the main window.
::testing::AssertionResult ShowsButton(const Picture& screen, Point origin, const LauncherPictures& pictures,
                                       Rgba background, const Picture& button, Rect place);
// The test page filling the page's place: its colour, with its two
// markers in the first and last corners, less the browser's edge.
::testing::AssertionResult ShowsTestPage(const Picture& screen, Point origin);

// How many pixels of a bar's groove, from its left end, show the bar's
// fill; 0 when none does.
int FilledLength(const Picture& screen, Point dialog, int bar, const LauncherPictures& pictures, Rgba background);
// A bar that is partly done: its fill from the left end, the empty groove
// beyond the slider up to the right end.
::testing::AssertionResult ShowsPartlyFilledBar(const Picture& screen, Point dialog, int bar,
                                                const LauncherPictures& pictures, Rgba background);
// The dialog's picture around its bars (above the first bar and below the
// last), over the background.
::testing::AssertionResult ShowsProgressDialog(const Picture& screen, Point dialog, const LauncherPictures& pictures,
                                               Rgba background);

}  // namespace guitest
