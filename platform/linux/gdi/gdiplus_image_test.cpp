#include "platform/gdiplus.h"
#include "platform/linux/gdi/gdi_test_support.h"
#include "platform/text.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <memory>
#include <string>

namespace {

using namespace Gdiplus;
using platform::testing::DibCanvas;
using platform::testing::GdiplusSession;
using platform::testing::WritePng;
using testsupport::TempDir;

std::uint32_t Channel(std::uint32_t argb, int shift) {
    return (argb >> shift) & 0xFF;
}

// A picture whose every pixel differs, opaque.
std::uint32_t Gradient(int x, int y) {
    return 0xFF000000u | static_cast<std::uint32_t>(x * 40 + 20) << 16 | static_cast<std::uint32_t>(y * 60 + 30) << 8 |
           0x7F;
}

class PictureTest : public ::testing::Test {
protected:
    std::wstring Png(const std::string& name, int width, int height,
                     const std::function<std::uint32_t(int x, int y)>& pixel) {
        const auto path = m_folder.Path() / name;
        WritePng(path, width, height, pixel);
        return platform::FromUtf8(path.native());
    }
    std::wstring SolidPng(const std::string& name, int width, int height, std::uint32_t argb) {
        return Png(name, width, height, [argb](int, int) { return argb; });
    }

    TempDir m_folder;
    GdiplusSession m_gdiplus;
};

// ---- starting GDI+

TEST(GdiplusStartup, ObjectsWorkOnlyWhileSomeStartIsActive) {
    TempDir folder;
    const auto path = folder.Path() / "one.png";
    WritePng(path, 2, 1, [](int, int) { return 0xFF0000FFu; });
    const std::wstring name = platform::FromUtf8(path.native());

    Image early(name.c_str());
    EXPECT_EQ(early.GetLastStatus(), GdiplusNotInitialized);
    EXPECT_EQ(early.GetWidth(), 0u);

    GdiplusStartupInput input;
    ULONG_PTR first = 0;
    ULONG_PTR second = 0;
    ASSERT_EQ(GdiplusStartup(&first, &input, nullptr), Ok);
    ASSERT_EQ(GdiplusStartup(&second, &input, nullptr), Ok);
    EXPECT_NE(first, second);
    GdiplusShutdown(first);
    Image running(name.c_str());
    EXPECT_EQ(running.GetLastStatus(), Ok);
    EXPECT_EQ(running.GetWidth(), 2u);
    GdiplusShutdown(second);
    GdiplusShutdown(second);  // a token that is gone changes nothing
    EXPECT_EQ(Image(name.c_str()).GetLastStatus(), GdiplusNotInitialized);
    EXPECT_FALSE(Font(L"Arial", 10).IsAvailable());
}

TEST(GdiplusStartup, ChecksItsInput) {
    GdiplusStartupInput input;
    ULONG_PTR token = 0;
    EXPECT_EQ(GdiplusStartup(nullptr, &input, nullptr), InvalidParameter);
    EXPECT_EQ(GdiplusStartup(&token, nullptr, nullptr), InvalidParameter);
    input.GdiplusVersion = 3;
    EXPECT_EQ(GdiplusStartup(&token, &input, nullptr), UnsupportedGdiplusVersion);

    GdiplusStartupInput quiet(nullptr, TRUE);
    EXPECT_EQ(GdiplusStartup(&token, &quiet, nullptr), InvalidParameter);
    GdiplusStartupOutput output{};
    ASSERT_EQ(GdiplusStartup(&token, &quiet, &output), Ok);
    ASSERT_NE(output.NotificationHook, nullptr);
    ULONG_PTR hookToken = 1;
    EXPECT_EQ(output.NotificationHook(&hookToken), Ok);
    output.NotificationUnhook(hookToken);
    GdiplusShutdown(token);
}

// ---- where pixels land

using UnscaledDraw = PictureTest;

TEST_F(UnscaledDraw, LandsPixelForPixelAtItsOffsetAndNowhereElse) {
    const std::wstring path = Png("gradient.png", 4, 3, Gradient);
    Image image(path.c_str());
    ASSERT_EQ(image.GetLastStatus(), Ok);
    EXPECT_EQ(image.GetWidth(), 4u);
    EXPECT_EQ(image.GetHeight(), 3u);
    // Every way of drawing the picture at its own size, at (5, 7).
    const std::function<Status(Graphics&)> draws[] = {
        [&](Graphics& g) { return g.DrawImage(&image, 5, 7); },
        [&](Graphics& g) { return g.DrawImage(&image, REAL(5), REAL(7)); },
        [&](Graphics& g) { return g.DrawImage(&image, 5, 7, 4, 3); },
        [&](Graphics& g) { return g.DrawImage(&image, RectF(5, 7, 4, 3)); },
        [&](Graphics& g) { return g.DrawImage(&image, Rect(5, 7, 4, 3), 0, 0, 4, 3, UnitPixel); },
    };
    for (bool topDown : {true, false})
        for (const auto& draw : draws) {
            DibCanvas canvas(16, 16, topDown);
            Graphics graphics(canvas.Dc());
            ASSERT_EQ(graphics.SetSmoothingMode(SmoothingModeNone), Ok);
            ASSERT_EQ(draw(graphics), Ok);
            for (int y = 0; y < 3; ++y)
                for (int x = 0; x < 4; ++x)
                    ASSERT_EQ(canvas.Pixel(5 + x, 7 + y), Gradient(x, y)) << x << "," << y << " top-down " << topDown;
            EXPECT_FALSE(canvas.ChangedOutside(5, 7, 4, 3));
        }
}

TEST_F(UnscaledDraw, WritesThroughTheSectionsBitsInBgraOrder) {
    const std::wstring path = SolidPng("dot.png", 1, 1, 0xFF102030);
    Image image(path.c_str());
    for (bool topDown : {true, false}) {
        DibCanvas canvas(8, 6, topDown);
        Graphics graphics(canvas.Dc());
        ASSERT_EQ(graphics.DrawImage(&image, 3, 2), Ok);
        // A bottom-up section keeps the picture's last row first.
        const int row = topDown ? 2 : 6 - 1 - 2;
        const std::uint8_t* pixel = canvas.Bits() + row * canvas.Stride() + 3 * 4;
        EXPECT_EQ(pixel[0], 0x30);
        EXPECT_EQ(pixel[1], 0x20);
        EXPECT_EQ(pixel[2], 0x10);
        EXPECT_EQ(pixel[3], 0xFF);
    }
}

// ---- scaling and cropping

using ScaledDraw = PictureTest;

TEST_F(ScaledDraw, EnlargedPictureFillsTheDestinationRectangle) {
    const std::uint32_t quadrants[2][2] = {{0xFFFF0000, 0xFF00FF00}, {0xFF0000FF, 0xFFFFFFFF}};
    const std::wstring path = Png("quadrants.png", 2, 2, [&](int x, int y) { return quadrants[y][x]; });
    Image image(path.c_str());
    DibCanvas canvas(12, 12);
    Graphics graphics(canvas.Dc());
    ASSERT_EQ(graphics.DrawImage(&image, Rect(2, 3, 8, 6)), Ok);
    for (int y = 3; y < 9; ++y)
        for (int x = 2; x < 10; ++x)
            ASSERT_EQ(Channel(canvas.Pixel(x, y), 24), 0xFFu) << x << "," << y;
    EXPECT_FALSE(canvas.ChangedOutside(2, 3, 8, 6));
    // Each corner keeps its own colour.
    EXPECT_EQ(canvas.Pixel(2, 3), quadrants[0][0]);
    EXPECT_EQ(canvas.Pixel(9, 3), quadrants[0][1]);
    EXPECT_EQ(canvas.Pixel(2, 8), quadrants[1][0]);
    EXPECT_EQ(canvas.Pixel(9, 8), quadrants[1][1]);
}

TEST_F(ScaledDraw, ShrunkPictureFillsTheDestinationRectangle) {
    const std::wstring path = SolidPng("solid.png", 9, 9, 0xFF336699);
    Image image(path.c_str());
    DibCanvas canvas(6, 6);
    Graphics graphics(canvas.Dc());
    ASSERT_EQ(graphics.DrawImage(&image, REAL(1), REAL(1), REAL(3), REAL(4)), Ok);
    for (int y = 1; y < 5; ++y)
        for (int x = 1; x < 4; ++x)
            ASSERT_EQ(canvas.Pixel(x, y), 0xFF336699u) << x << "," << y;
    EXPECT_FALSE(canvas.ChangedOutside(1, 1, 3, 4));
}

TEST_F(ScaledDraw, SourceRectangleCropsAndNothingOutsideItShows) {
    // A red frame around a green left half and a blue right half.
    const std::wstring path = Png("framed.png", 6, 6, [](int x, int y) -> std::uint32_t {
        if (x == 0 || y == 0 || x == 5 || y == 5)
            return 0xFFFF0000;
        return x < 3 ? 0xFF00FF00 : 0xFF0000FF;
    });
    Image image(path.c_str());
    DibCanvas canvas(16, 8);
    Graphics graphics(canvas.Dc());
    ASSERT_EQ(graphics.DrawImage(&image, Rect(0, 0, 8, 8), 1, 1, 4, 4, UnitPixel), Ok);
    ASSERT_EQ(graphics.DrawImage(&image, RectF(10, 2, 4, 4), 1, 1, 4, 4, UnitPixel), Ok);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 16; ++x)
            ASSERT_EQ(Channel(canvas.Pixel(x, y), 16), 0u) << "red at " << x << "," << y;
    EXPECT_EQ(canvas.Pixel(0, 0), 0xFF00FF00u);
    EXPECT_EQ(canvas.Pixel(7, 7), 0xFF0000FFu);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x)
            ASSERT_EQ(canvas.Pixel(10 + x, 2 + y), x < 2 ? 0xFF00FF00u : 0xFF0000FFu) << x << "," << y;
    for (int y = 0; y < 8; ++y)
        for (int x = 8; x < 16; ++x) {
            const bool inSecond = x >= 10 && x < 14 && y >= 2 && y < 6;
            ASSERT_TRUE(inSecond || canvas.Pixel(x, y) == 0) << x << "," << y;
        }
}

TEST_F(ScaledDraw, OnlyThePartOfTheSourceOnThePictureIsDrawn) {
    const std::wstring path = SolidPng("small.png", 4, 4, 0xFF808080);
    Image image(path.c_str());
    DibCanvas canvas(8, 8);
    Graphics graphics(canvas.Dc());
    // Columns 2 and 3 exist; 4 and 5 lie beyond the picture.
    ASSERT_EQ(graphics.DrawImage(&image, Rect(0, 0, 8, 8), 2, 0, 4, 4, UnitPixel), Ok);
    EXPECT_EQ(canvas.Pixel(0, 0), 0xFF808080u);
    EXPECT_EQ(canvas.Pixel(3, 7), 0xFF808080u);
    EXPECT_FALSE(canvas.ChangedOutside(0, 0, 4, 8));
}

// ---- compositing

using Compositing = PictureTest;

TEST_F(Compositing, TranslucentPictureGoesOverWhatIsThere) {
    const std::wstring background = SolidPng("background.png", 4, 4, 0xFFC86432);  // 200, 100, 50
    const std::wstring glass = SolidPng("glass.png", 4, 4, 0x800000FF);            // blue at alpha 128
    Image under(background.c_str());
    Image over(glass.c_str());
    DibCanvas canvas(8, 4);
    Graphics graphics(canvas.Dc());
    ASSERT_EQ(graphics.DrawImage(&under, 0, 0), Ok);
    ASSERT_EQ(graphics.DrawImage(&over, 0, 0), Ok);
    ASSERT_EQ(graphics.DrawImage(&over, 4, 0), Ok);  // over transparent pixels

    // Premultiplied OVER: result = source + destination * (1 - source alpha).
    const double keep = 1 - 128 / 255.0;
    const std::uint32_t mixed = canvas.Pixel(1, 1);
    EXPECT_EQ(Channel(mixed, 24), 255u);
    EXPECT_NEAR(Channel(mixed, 16), 200 * keep, 1);
    EXPECT_NEAR(Channel(mixed, 8), 100 * keep, 1);
    EXPECT_NEAR(Channel(mixed, 0), 128 + 50 * keep, 1);
    const std::uint32_t alone = canvas.Pixel(5, 1);
    EXPECT_EQ(Channel(alone, 24), 128u);
    EXPECT_EQ(Channel(alone, 16), 0u);
    EXPECT_EQ(Channel(alone, 8), 0u);
    EXPECT_NEAR(Channel(alone, 0), 128, 1);
}

// ---- failures

using BrokenPicture = PictureTest;

TEST_F(BrokenPicture, EveryKindIsAnEmptyImageThatDrawsNothing) {
    const auto folder = m_folder.Path();
    testsupport::WriteBytes(folder / "text.png", "not a picture at all, just some words");
    const std::wstring good = Png("good.png", 8, 8, Gradient);
    testsupport::WriteBytes(folder / "cut.png", testsupport::ReadBytes(folder / "good.png").substr(0, 60));
    // A valid start declaring 30000 x 30000 pixels.
    testsupport::WriteBytes(folder / "huge.png",
                            std::string("\x89PNG\r\n\x1a\n\0\0\0\x0dIHDR\0\0\x75\x30\0\0\x75\x30\x08\x06\0\0\0", 29));
    std::filesystem::create_directory(folder / "folder.png");

    const struct {
        const char* name;
        Status expected;
    } cases[] = {
        {"missing.png", FileNotFound}, {"text.png", UnknownImageFormat}, {"cut.png", UnknownImageFormat},
        {"huge.png", OutOfMemory},     {"folder.png", FileNotFound},     {"no/such/folder.png", FileNotFound},
    };
    DibCanvas canvas(8, 8);
    canvas.Fill(0x11223344);
    Graphics graphics(canvas.Dc());
    for (const auto& c : cases) {
        const std::wstring path = platform::FromUtf8((folder / c.name).native());
        Image image(path.c_str());
        EXPECT_EQ(image.GetLastStatus(), c.expected) << c.name;
        EXPECT_EQ(image.GetLastStatus(), Ok) << "the status is forgotten once read";
        EXPECT_EQ(image.GetWidth(), 0u);
        EXPECT_EQ(image.GetHeight(), 0u);
        EXPECT_NE(graphics.DrawImage(&image, 0, 0), Ok) << c.name;
        EXPECT_NE(graphics.DrawImage(&image, Rect(0, 0, 8, 8), 0, 0, 8, 8, UnitPixel), Ok) << c.name;
        EXPECT_EQ(graphics.GetLastStatus(), InvalidParameter);
    }
    EXPECT_NE(graphics.DrawImage(nullptr, 0, 0), Ok);
    EXPECT_EQ(Image(nullptr).GetLastStatus(), InvalidParameter);
    EXPECT_FALSE(canvas.ChangedOutside(0, 0, 0, 0, 0x11223344));
}

TEST_F(BrokenPicture, WindowsPathsWithBackslashesLoad) {
    std::filesystem::create_directory(m_folder.Path() / "sub");
    Png("sub/pic.png", 3, 2, Gradient);
    const std::wstring path = platform::FromUtf8(m_folder.Path().native()) + L"\\sub\\pic.png";
    Image image(path.c_str());
    EXPECT_EQ(image.GetLastStatus(), Ok);
    EXPECT_EQ(image.GetWidth(), 3u);
}

TEST_F(BrokenPicture, BadGeometryFailsWithoutSpoilingLaterDrawing) {
    const std::wstring path = Png("gradient.png", 4, 3, Gradient);
    Image image(path.c_str());
    DibCanvas canvas(8, 8);
    Graphics graphics(canvas.Dc());
    const REAL nan = std::numeric_limits<REAL>::quiet_NaN();
    const REAL infinity = std::numeric_limits<REAL>::infinity();
    EXPECT_EQ(graphics.DrawImage(&image, nan, REAL(0)), InvalidParameter);
    EXPECT_EQ(graphics.DrawImage(&image, RectF(0, 0, infinity, 3)), InvalidParameter);
    EXPECT_EQ(graphics.DrawImage(&image, REAL(1e30), REAL(0)), ValueOverflow);
    EXPECT_EQ(graphics.DrawImage(&image, Rect(0, 0, 4, 3), 0, 0, 0, 3, UnitPixel), InvalidParameter);
    EXPECT_EQ(graphics.DrawImage(&image, Rect(0, 0, 4, 3), 0, 0, 4, 3, UnitPoint), NotImplemented);
    EXPECT_EQ(graphics.DrawImage(&image, 0, 0, 0, 3), Ok);  // an empty destination draws nothing
    EXPECT_FALSE(canvas.ChangedOutside(0, 0, 0, 0));
    ASSERT_EQ(graphics.DrawImage(&image, 2, 2), Ok);
    EXPECT_EQ(canvas.Pixel(2, 2), Gradient(0, 0));
    EXPECT_EQ(canvas.Pixel(5, 4), Gradient(3, 2));
    EXPECT_EQ(graphics.SetSmoothingMode(SmoothingModeInvalid), InvalidParameter);
    EXPECT_EQ(graphics.GetSmoothingMode(), SmoothingModeDefault);
}

// ---- the graphics object and its DC

using GraphicsTarget = PictureTest;

TEST_F(GraphicsTarget, DcWithoutASectionGivesAGraphicsThatDrawsNothing) {
    const std::wstring path = Png("gradient.png", 4, 3, Gradient);
    Image image(path.c_str());
    HDC dc = CreateCompatibleDC(nullptr);
    std::unique_ptr<Graphics> graphics(Graphics::FromHDC(dc));
    EXPECT_EQ(graphics->GetLastStatus(), InvalidParameter);
    EXPECT_EQ(graphics->DrawImage(&image, 0, 0), InvalidParameter);
    DeleteDC(dc);
    Graphics stale(dc);
    EXPECT_EQ(stale.DrawImage(&image, 0, 0), InvalidParameter);
}

TEST_F(GraphicsTarget, KeepsTheSectionMemoryWhenTheBitmapIsDeletedFirst) {
    // The window kit deselects and deletes the DIB before it deletes the
    // graphics object.
    const std::wstring path = Png("gradient.png", 4, 3, Gradient);
    Image image(path.c_str());
    HDC dc = CreateCompatibleDC(nullptr);
    BITMAPINFO info{};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), 4, -3, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    HBITMAP bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, nullptr, nullptr, 0);
    HGDIOBJ previous = SelectObject(dc, bitmap);
    auto graphics = std::make_unique<Graphics>(dc);
    ASSERT_EQ(graphics->DrawImage(&image, 0, 0), Ok);
    SelectObject(dc, previous);
    EXPECT_TRUE(DeleteObject(bitmap));
    EXPECT_EQ(graphics->DrawImage(&image, 0, 0), Ok);
    graphics.reset();
    EXPECT_TRUE(DeleteDC(dc));
}

}  // namespace
