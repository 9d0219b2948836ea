#include "platform/gdiplus.h"
#include "platform/linux/gdi/font_families.h"
#include "platform/linux/gdi/gdi_test_support.h"

#include <fontconfig/fontconfig.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <memory>
#include <sstream>
#include <string>

namespace {

using namespace Gdiplus;
using platform::testing::DibCanvas;
using platform::testing::GdiplusSession;

const wchar_t* const kStatus = L"正在下载客户端更新文件，请稍候... ";
constexpr ARGB kWhite = 0xFFFFFFFF;

struct PatternRelease {
    void operator()(FcPattern* pattern) const { FcPatternDestroy(pattern); }
};
using PatternPtr = std::unique_ptr<FcPattern, PatternRelease>;

// The font fontconfig picks for a pango family list, the way pango asks;
// empty unless it covers `mustCover`.
std::string MatchedFamily(const std::string& families, FcChar32 mustCover) {
    PatternPtr pattern(FcPatternCreate());
    std::stringstream list(families);
    for (std::string family; std::getline(list, family, ',');)
        FcPatternAddString(pattern.get(), FC_FAMILY, reinterpret_cast<const FcChar8*>(family.c_str()));
    FcConfigSubstitute(nullptr, pattern.get(), FcMatchPattern);
    FcDefaultSubstitute(pattern.get());
    FcResult result;
    PatternPtr match(FcFontMatch(nullptr, pattern.get(), &result));
    FcChar8* family = nullptr;
    FcCharSet* coverage = nullptr;
    if (match && FcPatternGetString(match.get(), FC_FAMILY, 0, &family) == FcResultMatch &&
        FcPatternGetCharSet(match.get(), FC_CHARSET, 0, &coverage) == FcResultMatch &&
        FcCharSetHasChar(coverage, mustCover))
        return reinterpret_cast<const char*>(family);
    return "";
}

TEST(FontFamilies, MessageTableFontsMapToInstalledChineseFonts) {
    const FcChar32 zai = 0x8F09;  // 載, only in the Traditional texts
    EXPECT_EQ(MatchedFamily(platform::PangoFamiliesFor(L"微软雅黑"), 0x4E0B), "Noto Sans CJK SC");
    EXPECT_EQ(MatchedFamily(platform::PangoFamiliesFor(L"微軟正黑"), zai), "Noto Sans CJK TC");
    for (const wchar_t* kai : {L"楷体", L"標楷體", L"KAITI"}) {
        const std::string family = MatchedFamily(platform::PangoFamiliesFor(kai), zai);
        EXPECT_TRUE(family.find("Kai") != std::string::npos || family.find("Serif CJK") != std::string::npos) << family;
    }
    // Anything else still finds Chinese glyphs.
    for (const wchar_t* other : {L"NoSuchFamily", L"", L"Arial,Bold"})
        EXPECT_NE(MatchedFamily(platform::PangoFamiliesFor(other), 0x4E0B), "");
}

struct Ink {
    int left = std::numeric_limits<int>::max(), top = std::numeric_limits<int>::max(), right = -1, bottom = -1;
    int count = 0;
    int widestRow = 0;  // most inked pixels in one row
};

Ink InkOf(const DibCanvas& canvas, int width, int height) {
    Ink ink;
    for (int y = 0; y < height; ++y) {
        int row = 0;
        for (int x = 0; x < width; ++x) {
            if ((canvas.Pixel(x, y) >> 24) == 0)
                continue;
            ++ink.count;
            ++row;
            ink.left = std::min(ink.left, x);
            ink.right = std::max(ink.right, x);
            ink.top = std::min(ink.top, y);
            ink.bottom = std::max(ink.bottom, y);
        }
        ink.widestRow = std::max(ink.widestRow, row);
    }
    return ink;
}

class DrawStringTest : public ::testing::Test {
protected:
    static constexpr int kWidth = 420;
    static constexpr int kHeight = 120;

    Ink Draw(const wchar_t* text, const RectF& rect, StringAlignment align,
             StringAlignment lineAlign = StringAlignmentNear, INT flags = 0, INT style = FontStyleRegular) {
        DibCanvas canvas(kWidth, kHeight);
        Graphics graphics(canvas.Dc());
        Font font(L"微软雅黑", 12, style, UnitPixel);
        StringFormat format(flags);
        format.SetAlignment(align);
        format.SetLineAlignment(lineAlign);
        SolidBrush brush(kWhite);
        EXPECT_EQ(graphics.DrawString(text, -1, &font, rect, &format, &brush), Ok);
        return InkOf(canvas, kWidth, kHeight);
    }

    GdiplusSession m_gdiplus;
};

TEST_F(DrawStringTest, CentredStatusLineStaysInsideAndIsBalanced) {
    const RectF rect(35, 17, 356, 20);
    const Ink ink = Draw(kStatus, rect, StringAlignmentCenter, StringAlignmentCenter);
    ASSERT_GT(ink.count, 100);
    EXPECT_GE(ink.left, 35);
    EXPECT_LE(ink.right, 35 + 356 - 1);
    EXPECT_GE(ink.top, 17);
    EXPECT_LE(ink.bottom, 17 + 20 - 1);
    const int leftMargin = ink.left - 35;
    const int rightMargin = 35 + 356 - 1 - ink.right;
    EXPECT_GT(leftMargin, 50);
    EXPECT_LE(std::abs(leftMargin - rightMargin), 4) << leftMargin << " vs " << rightMargin;
    EXPECT_LE(std::abs((ink.top - 17) - (17 + 20 - 1 - ink.bottom)), 3);
}

TEST_F(DrawStringTest, AlignmentsPlaceTheInk) {
    const RectF rect(35, 10, 356, 100);
    const Ink nearNear = Draw(L"正在下载", rect, StringAlignmentNear, StringAlignmentNear);
    const Ink farFar = Draw(L"正在下载", rect, StringAlignmentFar, StringAlignmentFar);
    const Ink centred = Draw(L"正在下载", rect, StringAlignmentCenter, StringAlignmentCenter);
    EXPECT_LE(nearNear.left - 35, 2);
    EXPECT_LE(nearNear.top - 10, 6);
    EXPECT_LE(35 + 356 - 1 - farFar.right, 2);
    EXPECT_LE(10 + 100 - 1 - farFar.bottom, 6);
    EXPECT_LT(nearNear.left, centred.left);
    EXPECT_LT(centred.left, farFar.left);
    EXPECT_LT(nearNear.top, centred.top);
    EXPECT_LT(centred.top, farFar.top);
    EXPECT_EQ(nearNear.count, farFar.count);  // the same glyphs, moved by whole pixels
}

TEST_F(DrawStringTest, WrapsInsideTheWidthAndClipsToTheRectangle) {
    const RectF narrow(10, 10, 80, 100);
    const Ink wrapped = Draw(kStatus, narrow, StringAlignmentNear);
    EXPECT_GE(wrapped.left, 10);
    EXPECT_LE(wrapped.right, 89);
    EXPECT_GT(wrapped.bottom - wrapped.top, 2 * 12) << "several lines";

    const Ink cut = Draw(kStatus, narrow, StringAlignmentNear, StringAlignmentNear, StringFormatFlagsNoWrap);
    EXPECT_LT(cut.bottom - cut.top, 17) << "one line";
    EXPECT_GE(cut.right, 85);
    EXPECT_LE(cut.right, 89);

    const Ink free = Draw(kStatus, narrow, StringAlignmentNear, StringAlignmentNear,
                          StringFormatFlagsNoWrap | StringFormatFlagsNoClip);
    EXPECT_GT(free.right, 150);
}

TEST_F(DrawStringTest, BrushColourWithGreyscaleEdges) {
    constexpr ARGB kKitColour = 0xFFA0968C;
    DibCanvas canvas(kWidth, kHeight);
    Graphics graphics(canvas.Dc());
    Font font(L"微软雅黑", 12, FontStyleRegular, UnitPixel);
    SolidBrush brush(kKitColour);
    ASSERT_EQ(graphics.DrawString(kStatus, -1, &font, RectF(0, 0, 400, 40), nullptr, &brush), Ok);
    std::uint32_t strongest = 0;
    int partial = 0;
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 400; ++x) {
            const std::uint32_t pixel = canvas.Pixel(x, y);
            const double alpha = pixel >> 24;
            if (alpha == 0)
                continue;
            strongest = std::max(strongest, pixel >> 24);
            partial += alpha < 255;
            // Every channel carries the same coverage: no colour fringes.
            ASSERT_NEAR((pixel >> 16 & 0xFF), 0xA0 * alpha / 255, 1.5) << x << "," << y;
            ASSERT_NEAR((pixel >> 8 & 0xFF), 0x96 * alpha / 255, 1.5) << x << "," << y;
            ASSERT_NEAR((pixel & 0xFF), 0x8C * alpha / 255, 1.5) << x << "," << y;
        }
    EXPECT_GT(strongest, 200u);
    EXPECT_GT(partial, 100);
}

TEST_F(DrawStringTest, SizeUnitsAndStyles) {
    const RectF rect(0, 0, 400, 60);
    auto pixels = [&](const Font& font, const PointF* origin = nullptr) {
        DibCanvas canvas(kWidth, kHeight);
        Graphics graphics(canvas.Dc());
        SolidBrush brush(kWhite);
        if (origin)
            EXPECT_EQ(graphics.DrawString(L"下载", -1, &font, *origin, &brush), Ok);
        else
            EXPECT_EQ(graphics.DrawString(L"下载", -1, &font, rect, nullptr, &brush), Ok);
        return std::string(reinterpret_cast<const char*>(canvas.Bits()), kWidth * kHeight * 4);
    };
    const std::string pixels12 = pixels(Font(L"微软雅黑", 12, FontStyleRegular, UnitPixel));
    EXPECT_EQ(pixels(Font(L"微软雅黑", 9, FontStyleRegular, UnitPoint)), pixels12);  // 9 pt = 12 px at 96 dpi
    const PointF origin(0, 0);
    EXPECT_EQ(pixels(Font(L"微软雅黑", 12, FontStyleRegular, UnitPixel), &origin), pixels12);
    EXPECT_NE(pixels(Font(L"微软雅黑", 12, FontStyleBold, UnitPixel)), pixels12);

    const Ink regular = Draw(L"下载", rect, StringAlignmentNear);
    const Ink underlined = Draw(L"下载", rect, StringAlignmentNear, StringAlignmentNear, 0, FontStyleUnderline);
    EXPECT_GT(underlined.bottom, regular.bottom);
    EXPECT_GE(underlined.widestRow, regular.right - regular.left);
}

TEST_F(DrawStringTest, BadArgumentsDrawNothing) {
    DibCanvas canvas(kWidth, kHeight);
    Graphics graphics(canvas.Dc());
    Font font(L"微软雅黑", 12, FontStyleRegular, UnitPixel);
    SolidBrush brush(kWhite);
    const RectF rect(0, 0, 100, 20);
    const REAL nan = std::numeric_limits<REAL>::quiet_NaN();
    EXPECT_EQ(graphics.DrawString(nullptr, -1, &font, rect, nullptr, &brush), InvalidParameter);
    EXPECT_EQ(graphics.DrawString(L"x", -1, nullptr, rect, nullptr, &brush), InvalidParameter);
    EXPECT_EQ(graphics.DrawString(L"x", -1, &font, rect, nullptr, nullptr), InvalidParameter);
    EXPECT_EQ(graphics.DrawString(L"x", -2, &font, rect, nullptr, &brush), InvalidParameter);
    EXPECT_EQ(graphics.DrawString(L"x", -1, &font, RectF(nan, 0, 10, 10), nullptr, &brush), InvalidParameter);
    EXPECT_EQ(graphics.DrawString(L"x", -1, &font, RectF(0, 0, -5, 10), nullptr, &brush), InvalidParameter);
    EXPECT_EQ(graphics.DrawString(L"x", 0, &font, rect, nullptr, &brush), Ok);
    for (const Font& bad : {Font(L"Arial", 0), Font(L"Arial", nan), Font(L"Arial", 12, 0, UnitDisplay),
                            Font(nullptr, 12), Font(L"Arial", 1e9f, 0, UnitPixel)}) {
        EXPECT_FALSE(bad.IsAvailable());
        EXPECT_EQ(bad.GetLastStatus(), InvalidParameter);
        EXPECT_EQ(graphics.DrawString(L"x", -1, &bad, rect, nullptr, &brush), InvalidParameter);
    }
    EXPECT_FALSE(canvas.ChangedOutside(0, 0, 0, 0));
    EXPECT_EQ(graphics.GetLastStatus(), InvalidParameter);
}

TEST_F(DrawStringTest, TextIsTakenLiterallyAndEndsAtANul) {
    const RectF rect(0, 0, 400, 40);
    const Ink tags = Draw(L"<b></b>", rect, StringAlignmentNear);
    EXPECT_GT(tags.count, 0) << "no markup";
    DibCanvas counted(kWidth, kHeight);
    DibCanvas plain(kWidth, kHeight);
    Font font(L"微软雅黑", 12, FontStyleRegular, UnitPixel);
    SolidBrush brush(kWhite);
    ASSERT_EQ(Graphics(counted.Dc()).DrawString(L"ab\0cd", 5, &font, rect, nullptr, &brush), Ok);
    ASSERT_EQ(Graphics(plain.Dc()).DrawString(L"ab", -1, &font, rect, nullptr, &brush), Ok);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(counted.Bits()), kWidth * kHeight * 4),
              std::string(reinterpret_cast<const char*>(plain.Bits()), kWidth * kHeight * 4));
}

TEST_F(DrawStringTest, BottomUpSectionShowsTheSamePicture) {
    Font font(L"微软雅黑", 12, FontStyleRegular, UnitPixel);
    SolidBrush brush(kWhite);
    DibCanvas topDown(kWidth, kHeight, true);
    DibCanvas bottomUp(kWidth, kHeight, false);
    for (const DibCanvas* canvas : {&topDown, &bottomUp})
        ASSERT_EQ(Graphics(canvas->Dc()).DrawString(kStatus, -1, &font, RectF(5, 5, 300, 40), nullptr, &brush), Ok);
    int differing = 0;
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x)
            differing += topDown.Pixel(x, y) != bottomUp.Pixel(x, y);
    EXPECT_EQ(differing, 0);
    EXPECT_GT(InkOf(bottomUp, kWidth, kHeight).count, 100);
}

}  // namespace
