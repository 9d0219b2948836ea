#include "tests/gui/screen_checks.h"

#include <functional>
#include <sstream>
#include <string>

namespace guitest {

namespace {

using testsupport::Describe;
using testsupport::Near;
using testsupport::Over;

// Blending rounds once in the window's picture and once in the compositor.
constexpr int kTolerance = 6;
// The row through the middle of a groove, clear of the shade the frame
// draws over its top row.
constexpr int kGrooveRow = kFillGroove.y + 2;
// The slider reaches this far on either side of the end of the fill.
constexpr int kSliderReach = 8;
// Where the progress dialog draws its bars, percentages and texts.
constexpr Rect kProgressControls{28, 95, 392, 90};

struct Mismatches {
    int compared = 0;
    int count = 0;
    std::ostringstream firstFew;
};

// Compares every pixel of `area` (relative to `origin`) that `skip` lets
// through with the colour `expected` gives for it.
Mismatches Compare(const Picture& screen, Point origin, Rect area, const std::function<bool(int, int)>& skip,
                   const std::function<Rgba(int, int)>& expected) {
    Mismatches result;
    for (int y = area.y; y < area.y + area.height; ++y) {
        for (int x = area.x; x < area.x + area.width; ++x) {
            if (skip && skip(x, y))
                continue;
            ++result.compared;
            const Rgba want = expected(x, y);
            const Rgba seen = screen.At(origin.x + x, origin.y + y);
            if (!Near(seen, want, kTolerance)) {
                if (++result.count <= 5)
                    result.firstFew << " (" << x << "," << y << ") shows " << Describe(seen) << " for "
                                    << Describe(want) << ";";
            }
        }
    }
    return result;
}

::testing::AssertionResult Judge(const Mismatches& found, const std::string& what, int allowed = 0) {
    if (found.compared == 0)
        return ::testing::AssertionFailure() << what << ": nothing to compare";
    if (found.count <= allowed)
        return ::testing::AssertionSuccess() << what << ": " << found.compared << " pixels as expected";
    return ::testing::AssertionFailure() << what << ": " << found.count << " of " << found.compared
                                         << " pixels differ, e.g." << found.firstFew.str();
}

// The main window's picture with its buttons, as the screen shows it.
Rgba MainWindowPixel(const LauncherPictures& pictures, Rgba background, int x, int y) {
    Rgba colour = Over(pictures.main.At(x, y), background);
    if (kExitButton.Contains(x, y))
        colour = Over(pictures.exitButton.At(x - kExitButton.x, y - kExitButton.y), colour);
    if (kMinimiseButton.Contains(x, y))
        colour = Over(pictures.minimiseButton.At(x - kMinimiseButton.x, y - kMinimiseButton.y), colour);
    return colour;
}

Rgba ProgressBackgroundPixel(const LauncherPictures& pictures, Rgba background, int x, int y) {
    return Over(pictures.progress.At(x, y), background);
}

// A groove pixel of bar `bar`, at `x` of the dialog: filled or empty. The
// fill picture is stretched over the groove, the frame drawn over it.
Rgba GroovePixel(const LauncherPictures& pictures, Rgba background, int bar, int x, bool filled) {
    const Rect& place = kProgressBars[bar];
    const int y = place.y + kGrooveRow;
    Rgba colour = ProgressBackgroundPixel(pictures, background, x, y);
    if (filled) {
        const Picture& fill = pictures.fills[bar];
        const int fillRow = (2 * kGrooveRow - 2 * kFillGroove.y + 1) * fill.Height() / (2 * kFillGroove.height);
        colour = Over(fill.At(fill.Width() / 2, fillRow), colour);
    }
    return Over(pictures.barFrame.At(x - place.x, kGrooveRow), colour);
}

bool ShowsGroove(const Picture& screen, Point dialog, const LauncherPictures& pictures, Rgba background, int bar, int x,
                 bool filled) {
    const Rgba seen = screen.At(dialog.x + x, dialog.y + kProgressBars[bar].y + kGrooveRow);
    return Near(seen, GroovePixel(pictures, background, bar, x, filled), kTolerance);
}

}  // namespace

std::optional<LauncherPictures> LauncherPictures::Load(const std::filesystem::path& styles) {
    const std::filesystem::path folder = styles / "Image";
    auto main = Picture::Load(folder / "ui_main_01.png");
    auto progress = Picture::Load(folder / "ui_main_02.png");
    auto exitButton = Picture::Load(folder / "ui_exit_01.png");
    auto minimiseButton = Picture::Load(folder / "ui_mini_01.png");
    auto barFrame = Picture::Load(folder / "ui_kuang.png");
    auto fileFill = Picture::Load(folder / "ui_progress_01.png");
    auto totalFill = Picture::Load(folder / "ui_progress_02.png");
    if (!main || !progress || !exitButton || !minimiseButton || !barFrame || !fileFill || !totalFill)
        return std::nullopt;
    return LauncherPictures{*main, *progress, *exitButton, *minimiseButton, *barFrame, {*fileFill, *totalFill}};
}

::testing::AssertionResult ShowsMainWindow(const Picture& screen, Point origin, const LauncherPictures& pictures,
                                           Rgba background) {
    const Rect whole{0, 0, pictures.main.Width(), pictures.main.Height()};
    const Mismatches found = Compare(
        screen, origin, whole, [](int x, int y) { return kPageRect.Contains(x, y); },
        [&](int x, int y) { return MainWindowPixel(pictures, background, x, y); });
    return Judge(found, "main window outside the page");
}

::testing::AssertionResult ShowsButton(const Picture& screen, Point origin, const LauncherPictures& pictures,
                                       Rgba background, const Picture& button, Rect place) {
    const Mismatches found = Compare(screen, origin, place, nullptr, [&](int x, int y) {
        return Over(button.At(x - place.x, y - place.y), Over(pictures.main.At(x, y), background));
    });
    return Judge(found, "button at (" + std::to_string(place.x) + "," + std::to_string(place.y) + ")");
}

::testing::AssertionResult ShowsTestPage(const Picture& screen, Point origin) {
    const int shown = kMarkerSize - kBrowserEdge;
    const Rect first{kPageRect.x, kPageRect.y, shown, shown};
    const Rect last{kPageRect.x + kPageRect.width - shown, kPageRect.y + kPageRect.height - shown, shown, shown};
    const Mismatches found = Compare(screen, origin, kPageRect, nullptr, [&](int x, int y) {
        if (first.Contains(x, y))
            return kFirstMarkerColour;
        if (last.Contains(x, y))
            return kLastMarkerColour;
        return kPageColour;
    });
    return Judge(found, "page at (75,69) 718x398");
}

int FilledLength(const Picture& screen, Point dialog, int bar, const LauncherPictures& pictures, Rgba background) {
    const int left = kProgressBars[bar].x + kFillGroove.x;
    int length = 0;
    while (length < kFillGroove.width && ShowsGroove(screen, dialog, pictures, background, bar, left + length, true))
        ++length;
    return length;
}

::testing::AssertionResult ShowsPartlyFilledBar(const Picture& screen, Point dialog, int bar,
                                                const LauncherPictures& pictures, Rgba background) {
    const std::string name = bar == 0 ? "file bar" : "total bar";
    // The two colours must differ, or the check would prove nothing.
    const int left = kProgressBars[bar].x + kFillGroove.x;
    if (Near(GroovePixel(pictures, background, bar, left, true), GroovePixel(pictures, background, bar, left, false),
             kTolerance))
        return ::testing::AssertionFailure() << name << ": its fill looks like its empty groove";
    const int filled = FilledLength(screen, dialog, bar, pictures, background);
    if (filled == 0) {
        const Rgba seen = screen.At(dialog.x + left, dialog.y + kProgressBars[bar].y + kGrooveRow);
        return ::testing::AssertionFailure() << name << ": no fill at its left end, which shows " << Describe(seen)
                                             << " for " << Describe(GroovePixel(pictures, background, bar, left, true));
    }
    const Rect empty{left + filled + 2 * kSliderReach, kProgressBars[bar].y + kGrooveRow,
                     kFillGroove.width - filled - 2 * kSliderReach, 1};
    if (empty.width <= 0)
        return ::testing::AssertionFailure() << name << ": filled to its end (" << filled << " pixels)";
    const Mismatches found = Compare(screen, dialog, empty, nullptr,
                                     [&](int x, int) { return GroovePixel(pictures, background, bar, x, false); });
    return Judge(found, name + " filled " + std::to_string(filled) + " of " + std::to_string(kFillGroove.width) +
                            " pixels, empty after the slider");
}

::testing::AssertionResult ShowsProgressDialog(const Picture& screen, Point dialog, const LauncherPictures& pictures,
                                               Rgba background) {
    const Rect whole{0, 0, pictures.progress.Width(), pictures.progress.Height()};
    const Mismatches found = Compare(
        screen, dialog, whole, [](int x, int y) { return kProgressControls.Contains(x, y); },
        [&](int x, int y) { return ProgressBackgroundPixel(pictures, background, x, y); });
    return Judge(found, "progress dialog around its controls");
}

}  // namespace guitest
