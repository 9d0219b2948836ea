// Runs make_launcher_styles into a temporary folder and checks the pictures
// it writes against what the launcher's windows do with them.
#include "tests/support/temp_dir.h"
#include "tests/support/test_files.h"
#include "tests/support/test_process.h"

#include <cairo.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

struct Pixel {
    double a, r, g, b;  // 0..1, not premultiplied

    // Relative luminance as readability measures use it.
    double Luminance() const {
        auto linear = [](double c) { return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4); };
        return 0.2126 * linear(r) + 0.7152 * linear(g) + 0.0722 * linear(b);
    }
    double Chroma() const { return std::max({r, g, b}) - std::min({r, g, b}); }
};

double Luminance(std::uint32_t rgb) {
    const Pixel pixel{1, ((rgb >> 16) & 0xFF) / 255.0, ((rgb >> 8) & 0xFF) / 255.0, (rgb & 0xFF) / 255.0};
    return pixel.Luminance();
}

double Contrast(double luminanceA, double luminanceB) {
    return (std::max(luminanceA, luminanceB) + 0.05) / (std::min(luminanceA, luminanceB) + 0.05);
}

struct Rect {
    int x, y, w, h;
};

class Picture {
public:
    explicit Picture(const fs::path& path) {
        std::unique_ptr<cairo_surface_t, decltype(&cairo_surface_destroy)> surface(
            cairo_image_surface_create_from_png(path.c_str()), cairo_surface_destroy);
        if (cairo_surface_status(surface.get()) != CAIRO_STATUS_SUCCESS)
            return;
        m_width = cairo_image_surface_get_width(surface.get());
        m_height = cairo_image_surface_get_height(surface.get());
        const bool hasAlpha = cairo_image_surface_get_format(surface.get()) == CAIRO_FORMAT_ARGB32;
        const unsigned char* data = cairo_image_surface_get_data(surface.get());
        const int stride = cairo_image_surface_get_stride(surface.get());
        for (int y = 0; y < m_height; ++y) {
            const auto* row = reinterpret_cast<const std::uint32_t*>(data + y * stride);
            for (int x = 0; x < m_width; ++x) {
                m_pixels.push_back(hasAlpha ? row[x] : (row[x] | 0xFF000000u));
            }
        }
    }

    int Width() const { return m_width; }
    int Height() const { return m_height; }

    Pixel At(int x, int y) const {
        const std::uint32_t argb = m_pixels.at(y * m_width + x);
        const double alpha = (argb >> 24) / 255.0;
        auto channel = [&](int shift) { return alpha == 0 ? 0 : ((argb >> shift) & 0xFF) / 255.0 / alpha; };
        return {alpha, channel(16), channel(8), channel(0)};
    }

    std::vector<Pixel> In(Rect rect) const {
        std::vector<Pixel> pixels;
        for (int y = rect.y; y < rect.y + rect.h; ++y) {
            for (int x = rect.x; x < rect.x + rect.w; ++x)
                pixels.push_back(At(x, y));
        }
        return pixels;
    }

    std::vector<Pixel> All() const { return In({0, 0, m_width, m_height}); }

private:
    int m_width = 0;
    int m_height = 0;
    std::vector<std::uint32_t> m_pixels;
};

template <typename Measure>
double Mean(const std::vector<Pixel>& pixels, Measure measure) {
    double sum = 0;
    for (const Pixel& pixel : pixels)
        sum += measure(pixel);
    return pixels.empty() ? 0 : sum / pixels.size();
}

double MinAlpha(const std::vector<Pixel>& pixels) {
    double least = 1;
    for (const Pixel& pixel : pixels)
        least = std::min(least, pixel.a);
    return least;
}

double MaxAlpha(const std::vector<Pixel>& pixels) {
    double most = 0;
    for (const Pixel& pixel : pixels)
        most = std::max(most, pixel.a);
    return most;
}

using testsupport::ReadBytes;
using testsupport::TempDir;

// The exit status of make_launcher_styles run with these arguments, its
// complaints left out of the test's output; -1 when it did not end. The
// bound only ends a run that would otherwise hang the test.
int RunGenerator(const std::vector<std::string>& arguments) {
    testsupport::ProcessStart start;
    start.argv = {STYLES_GENERATOR};
    start.argv.insert(start.argv.end(), arguments.begin(), arguments.end());
    return testsupport::RunProcess(start, std::chrono::minutes(5)).value_or(-1);
}

struct Expected {
    const char* name;
    int width, height;
};

// The names and sizes the windows load and lay out.
constexpr Expected kPictures[] = {
    {"ui_main_01.png", 870, 520},   {"ui_main_02.png", 440, 200},   {"ui_kuang.png", 332, 18},
    {"ui_progress_01.png", 316, 5}, {"ui_progress_02.png", 316, 5}, {"ui_vernier_01.png", 15, 15},
    {"ui_exit_01.png", 25, 25},     {"ui_exit_02.png", 25, 25},     {"ui_exit_03.png", 25, 25},
    {"ui_mini_01.png", 25, 25},     {"ui_mini_02.png", 25, 25},     {"ui_mini_03.png", 25, 25},
};

constexpr Rect kWebView{75, 69, 718, 398};
constexpr Rect kMainButtons[] = {{794, 39, 25, 25}, {762, 39, 25, 25}};
constexpr Rect kCloseButton{380, 43, 25, 25};
constexpr Rect kBars[] = {{30, 100, 332, 18}, {30, 125, 332, 18}};
constexpr Rect kLabels[] = {{360, 100, 50, 18}, {360, 125, 50, 18}};
constexpr Rect kStatusLines[] = {{35, 157, 356, 20}, {35, 95, 356, 20}};
constexpr Rect kLinkLine{35, 120, 356, 18};
constexpr std::uint32_t kTextColour = 0xA0968C;
constexpr std::uint32_t kLinkColour = 0x87695F;
constexpr Rect kFillGroove{8, 6, 316, 5};

class LauncherStylesTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        s_work = std::make_unique<TempDir>();
        s_folder = s_work->Path();
        s_status = RunGenerator({s_folder.string(), IconPath().string()});
    }
    static void TearDownTestSuite() { s_work.reset(); }

    static fs::path PathOf(const std::string& name) { return s_folder / "LauncherStyles" / "Image" / name; }
    static fs::path IconPath() { return s_folder / "icon" / "launcher.ico"; }
    static Picture Load(const std::string& name) { return Picture(PathOf(name)); }

    static void ExpectCornersTransparent(const Picture& picture) {
        const int right = picture.Width() - 4;
        const int bottom = picture.Height() - 4;
        for (Rect corner : {Rect{0, 0, 4, 4}, Rect{right, 0, 4, 4}, Rect{0, bottom, 4, 4}, Rect{right, bottom, 4, 4}}) {
            EXPECT_EQ(MaxAlpha(picture.In(corner)), 0) << "corner at " << corner.x << ", " << corner.y;
        }
    }

    static void ExpectOpaque(const Picture& picture, Rect rect) {
        EXPECT_EQ(MinAlpha(picture.In(rect)), 1) << "at " << rect.x << ", " << rect.y;
    }

    static inline std::unique_ptr<TempDir> s_work;
    static inline fs::path s_folder;
    static inline int s_status = -1;
};

TEST_F(LauncherStylesTest, GeneratorSucceeds) {
    EXPECT_EQ(s_status, 0);
}

TEST_F(LauncherStylesTest, WritesExactlyThePicturesTheWindowsLoad) {
    std::vector<std::string> written;
    for (const auto& entry : fs::directory_iterator(s_folder / "LauncherStyles" / "Image")) {
        written.push_back(entry.path().filename().string());
    }
    std::vector<std::string> expected;
    for (const Expected& picture : kPictures)
        expected.push_back(picture.name);
    std::sort(written.begin(), written.end());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(written, expected);
}

TEST_F(LauncherStylesTest, EveryPictureHasTheSizeItsWindowNeeds) {
    for (const Expected& expected : kPictures) {
        const Picture picture = Load(expected.name);
        EXPECT_EQ(picture.Width(), expected.width) << expected.name;
        EXPECT_EQ(picture.Height(), expected.height) << expected.name;
    }
}

TEST_F(LauncherStylesTest, WindowCornersAreFullyTransparent) {
    ExpectCornersTransparent(Load("ui_main_01.png"));
    ExpectCornersTransparent(Load("ui_main_02.png"));
}

TEST_F(LauncherStylesTest, MainWindowIsOpaqueUnderTheWebViewAndButtons) {
    const Picture main = Load("ui_main_01.png");
    ExpectOpaque(main, kWebView);
    for (Rect button : kMainButtons)
        ExpectOpaque(main, button);
}

// Before the page has loaded, and wherever it leaves a gap, the player sees
// the picture under the web view: a uniformly dark, opaque recess.
TEST_F(LauncherStylesTest, WebViewOpeningIsADarkRecess) {
    const Picture main = Load("ui_main_01.png");
    const std::vector<Pixel> opening = main.In(kWebView);
    double brightest = 0;
    for (const Pixel& pixel : opening)
        brightest = std::max(brightest, pixel.Luminance());
    EXPECT_LT(brightest, 0.01);
}

// A lit edge (the frame's lip) runs round the opening within a few pixels on
// every side.
TEST_F(LauncherStylesTest, WebViewOpeningIsFramed) {
    const Picture main = Load("ui_main_01.png");
    const int middleX = kWebView.x + kWebView.w / 2;
    const int middleY = kWebView.y + kWebView.h / 2;
    const int right = kWebView.x + kWebView.w;
    const int bottom = kWebView.y + kWebView.h;
    const std::vector<std::vector<Pixel>> sides{
        main.In({middleX, kWebView.y - 12, 1, 12}), main.In({middleX, bottom, 1, 12}),
        main.In({kWebView.x - 12, middleY, 12, 1}), main.In({right, middleY, 12, 1})};
    for (const std::vector<Pixel>& side : sides) {
        double brightest = 0;
        for (const Pixel& pixel : side)
            brightest = std::max(brightest, pixel.Luminance());
        EXPECT_GT(brightest, 0.15);
    }
}

TEST_F(LauncherStylesTest, ProgressWindowIsOpaqueUnderEveryControl) {
    const Picture progress = Load("ui_main_02.png");
    ExpectOpaque(progress, kCloseButton);
    for (Rect rect : kBars)
        ExpectOpaque(progress, rect);
    for (Rect rect : kLabels)
        ExpectOpaque(progress, rect);
    for (Rect rect : kStatusLines)
        ExpectOpaque(progress, rect);
    ExpectOpaque(progress, kLinkLine);
}

// The window draws its texts in fixed colours; the background under them
// must be dark enough for those to read (4.5:1 for text, 3:1 for the link).
TEST_F(LauncherStylesTest, ProgressTextsReadAgainstTheBackground) {
    const Picture progress = Load("ui_main_02.png");
    auto background = [&](Rect rect) { return Mean(progress.In(rect), [](const Pixel& p) { return p.Luminance(); }); };
    for (Rect rect : kLabels)
        EXPECT_GE(Contrast(Luminance(kTextColour), background(rect)), 4.5);
    for (Rect rect : kStatusLines)
        EXPECT_GE(Contrast(Luminance(kTextColour), background(rect)), 4.5);
    EXPECT_GE(Contrast(Luminance(kLinkColour), background(kLinkLine)), 3.0);
}

TEST_F(LauncherStylesTest, FillShowsThroughTheFrameGroove) {
    const Picture frame = Load("ui_kuang.png");
    const std::vector<Pixel> groove = frame.In(kFillGroove);
    EXPECT_LE(MaxAlpha(groove), 0.4);
    EXPECT_LE(Mean(groove, [](const Pixel& p) { return p.a; }), 0.15);
}

// The frame closes round the groove, so the fill's edges are covered.
TEST_F(LauncherStylesTest, FrameSurroundsTheGroove) {
    const Picture frame = Load("ui_kuang.png");
    const Rect& g = kFillGroove;
    for (Rect edge : {Rect{g.x, g.y - 1, g.w, 1}, Rect{g.x, g.y + g.h, g.w, 1}, Rect{g.x - 1, g.y, 1, g.h},
                      Rect{g.x + g.w, g.y, 1, g.h}}) {
        EXPECT_GE(MinAlpha(frame.In(edge)), 0.8) << "edge at " << edge.x << ", " << edge.y;
    }
}

// Fills are squeezed sideways to the progress: every column must look the
// same, and no pixel may let the window show through.
TEST_F(LauncherStylesTest, FillsAreOpaqueVerticalGradients) {
    for (const char* name : {"ui_progress_01.png", "ui_progress_02.png"}) {
        const Picture fill = Load(name);
        ASSERT_GT(fill.Width(), 0) << name;
        EXPECT_EQ(MinAlpha(fill.All()), 1) << name;
        for (int y = 0; y < fill.Height(); ++y) {
            const Pixel first = fill.At(0, y);
            for (int x = 1; x < fill.Width(); ++x) {
                const Pixel pixel = fill.At(x, y);
                ASSERT_TRUE(pixel.r == first.r && pixel.g == first.g && pixel.b == first.b)
                    << name << " at " << x << ", " << y;
            }
        }
        EXPECT_GT(fill.At(0, 0).Luminance(), fill.At(0, fill.Height() - 1).Luminance()) << name;
    }
}

TEST_F(LauncherStylesTest, TheTwoFillsHaveDistinctColours) {
    const Picture amber = Load("ui_progress_01.png");
    const Picture jade = Load("ui_progress_02.png");
    const Pixel a = amber.At(0, 2);
    const Pixel j = jade.At(0, 2);
    EXPECT_GT(a.r, a.g);
    EXPECT_GT(j.g, j.r);
}

// The bar centres the slider picture on the end of the fill, so the knob
// must sit in the middle of its 15 x 15 picture.
TEST_F(LauncherStylesTest, SliderKnobIsCentred) {
    const Picture slider = Load("ui_vernier_01.png");
    ASSERT_EQ(slider.Width(), 15);
    double weight = 0, sumX = 0, sumY = 0;
    for (int y = 0; y < 15; ++y) {
        for (int x = 0; x < 15; ++x) {
            weight += slider.At(x, y).a;
            sumX += x * slider.At(x, y).a;
            sumY += y * slider.At(x, y).a;
        }
    }
    ASSERT_GT(weight, 0);
    EXPECT_NEAR(sumX / weight, 7, 0.25);
    EXPECT_NEAR(sumY / weight, 7, 0.25);
    EXPECT_EQ(slider.At(7, 7).a, 1);
    EXPECT_EQ(slider.At(0, 0).a, 0);
}

TEST_F(LauncherStylesTest, ButtonsAreRound) {
    for (const char* name :
         {"ui_exit_01.png", "ui_exit_02.png", "ui_exit_03.png", "ui_mini_01.png", "ui_mini_02.png", "ui_mini_03.png"}) {
        const Picture button = Load(name);
        ASSERT_EQ(button.Width(), 25) << name;
        EXPECT_EQ(MaxAlpha(button.In({0, 0, 3, 3})), 0) << name;
        EXPECT_EQ(MaxAlpha(button.In({22, 22, 3, 3})), 0) << name;
        ExpectOpaque(button, {6, 6, 13, 13});
    }
}

TEST_F(LauncherStylesTest, HoverIsBrighterAndDisabledIsGreyed) {
    // Weighted by coverage, so the transparent corners count for nothing.
    auto meanLuminance = [](const Picture& p) {
        return Mean(p.All(), [](const Pixel& px) { return px.a * px.Luminance(); });
    };
    auto meanChroma = [](const Picture& p) {
        return Mean(p.All(), [](const Pixel& px) { return px.a * px.Chroma(); });
    };
    for (const std::string prefix : {"ui_exit_", "ui_mini_"}) {
        const Picture normal = Load(prefix + "01.png");
        const Picture disabled = Load(prefix + "02.png");
        const Picture hover = Load(prefix + "03.png");
        EXPECT_GT(meanLuminance(hover), meanLuminance(normal) * 1.3) << prefix;
        EXPECT_LT(meanChroma(disabled), meanChroma(normal) * 0.5) << prefix;
        EXPECT_LT(meanLuminance(disabled), meanLuminance(normal)) << prefix;
    }
}

TEST_F(LauncherStylesTest, ExitShowsACrossAndMinimiseADash) {
    const Picture exit = Load("ui_exit_01.png");
    const Picture minimise = Load("ui_mini_01.png");
    for (auto [x, y] : {std::pair{8, 8}, {16, 16}, {8, 16}, {16, 8}}) {
        EXPECT_GT(exit.At(x, y).Luminance(), 0.4) << x << ", " << y;
        EXPECT_LT(minimise.At(x, y).Luminance(), 0.1) << x << ", " << y;
    }
    for (int x : {8, 12, 16})
        EXPECT_GT(minimise.At(x, 12).Luminance(), 0.4) << x;
    EXPECT_LT(exit.At(7, 12).Luminance(), 0.1);
}

TEST_F(LauncherStylesTest, OutputIsTheSameOnEveryRun) {
    const TempDir second;
    ASSERT_EQ(RunGenerator({second.Str(), second.Str() + "/launcher.ico"}), 0);
    EXPECT_EQ(ReadBytes(IconPath()), ReadBytes(second.Path() / "launcher.ico"));
    for (const Expected& picture : kPictures) {
        const std::string first = ReadBytes(PathOf(picture.name));
        EXPECT_FALSE(first.empty()) << picture.name;
        EXPECT_EQ(first, ReadBytes(second.Path() / "LauncherStyles" / "Image" / picture.name)) << picture.name;
    }
}

std::uint32_t LittleEndian(const std::string& bytes, std::size_t at, int count) {
    std::uint32_t value = 0;
    for (int i = count - 1; i >= 0; --i)
        value = (value << 8) | static_cast<unsigned char>(bytes.at(at + i));
    return value;
}

// The icon file as Windows reads it: a directory of entries, each a 32-bit
// PNG image of the size its entry names, every size from the title bar's 16
// pixels to the 256 of a large tile; each a round badge on a clear ground.
TEST_F(LauncherStylesTest, IconHoldsEverySizeAsARoundBadge) {
    const std::string icon = ReadBytes(IconPath());
    ASSERT_GE(icon.size(), 6u);
    EXPECT_EQ(LittleEndian(icon, 0, 2), 0u);
    EXPECT_EQ(LittleEndian(icon, 2, 2), 1u) << "an icon, not a cursor";
    const std::uint32_t count = LittleEndian(icon, 4, 2);
    ASSERT_GE(icon.size(), 6 + 16 * count);
    std::vector<int> sizes;
    const TempDir images;
    for (std::uint32_t i = 0; i < count; ++i) {
        const std::size_t entry = 6 + 16 * i;
        const int side = static_cast<int>(LittleEndian(icon, entry, 1));
        const int size = side == 0 ? 256 : side;
        sizes.push_back(size);
        EXPECT_EQ(LittleEndian(icon, entry + 1, 1), LittleEndian(icon, entry, 1)) << "square at " << size;
        EXPECT_EQ(LittleEndian(icon, entry + 4, 2), 1u) << size;
        EXPECT_EQ(LittleEndian(icon, entry + 6, 2), 32u) << size;
        const std::uint32_t length = LittleEndian(icon, entry + 8, 4);
        const std::uint32_t offset = LittleEndian(icon, entry + 12, 4);
        ASSERT_LE(std::uint64_t{offset} + length, icon.size()) << size;
        const std::string png = icon.substr(offset, length);
        ASSERT_EQ(png.substr(0, 8), "\x89PNG\r\n\x1a\n") << size;
        const Picture picture(images.Write(std::to_string(size) + ".png", png));
        ASSERT_EQ(picture.Width(), size);
        ASSERT_EQ(picture.Height(), size);
        const int corner = size / 8;
        const int far = size - corner;
        for (Rect box : {Rect{0, 0, corner, corner}, Rect{far, 0, corner, corner}, Rect{0, far, corner, corner},
                         Rect{far, far, corner, corner}})
            EXPECT_EQ(MaxAlpha(picture.In(box)), 0) << "corner at " << box.x << ", " << box.y << " of " << size;
        const int middle = size / 2;
        EXPECT_EQ(picture.At(middle, middle).a, 1) << size;
        // The gilded rim closes the badge at the top and the bottom edge: a
        // bright, solid line within the outer tenth.
        const int rim = std::max(2, size / 10);
        double brightestTop = 0, solidTop = 0, solidBottom = 0;
        for (int y = 0; y <= rim; ++y) {
            brightestTop = std::max(brightestTop, picture.At(middle, y).Luminance());
            solidTop = std::max(solidTop, picture.At(middle, y).a);
            solidBottom = std::max(solidBottom, picture.At(middle, size - 1 - y).a);
        }
        EXPECT_GT(brightestTop, 0.25) << size;
        EXPECT_GT(solidTop, 0.9) << size;
        EXPECT_GT(solidBottom, 0.9) << size;
    }
    EXPECT_EQ(sizes, (std::vector<int>{16, 20, 24, 32, 40, 48, 64, 128, 256}));
}

TEST(LauncherStylesCommandLine, FailsWithoutAnOutputFolder) {
    EXPECT_NE(RunGenerator({}), 0);
}

TEST(LauncherStylesCommandLine, FailsWhenTheFolderCannotBeMade) {
    const TempDir folder;
    const fs::path file = folder.Write("file", "not a folder");
    EXPECT_EQ(RunGenerator({file.string()}), 1);
}

}  // namespace
