#include "platform/gdi.h"
#include "platform/kernel32.h"
#include "platform/linux/gdi/gdi_objects.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

namespace {

BITMAPINFO Info32(LONG width, LONG height) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    return info;
}

TEST(DibSection, BitsAreTheZeroedSectionMemoryInEitherRowOrder) {
    for (LONG height : {-3L, 3L}) {
        const BITMAPINFO info = Info32(5, height);
        void* bits = nullptr;
        HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
        ASSERT_NE(bitmap, nullptr);
        ASSERT_NE(bits, nullptr);
        HDC dc = CreateCompatibleDC(nullptr);
        HGDIOBJ previous = SelectObject(dc, bitmap);
        auto section = platform::SelectedDibSection(dc);
        ASSERT_NE(section, nullptr);
        EXPECT_EQ(section->Bits(), bits);
        EXPECT_EQ(section->Stride(), 20);
        auto* bytes = static_cast<std::uint8_t*>(bits);
        for (int i = 0; i < 5 * 3 * 4; ++i)
            ASSERT_EQ(bytes[i], 0) << i;
        // The picture's top row is the first row in memory only for a
        // negative height.
        const std::ptrdiff_t topRowOffset = reinterpret_cast<std::uint8_t*>(section->PictureRow(0)) - bytes;
        EXPECT_EQ(topRowOffset, height < 0 ? 0 : 2 * 20);
        SelectObject(dc, previous);
        EXPECT_TRUE(DeleteObject(bitmap));
        EXPECT_TRUE(DeleteDC(dc));
    }
}

TEST(DibSection, UnsupportedOrHostileHeadersFail) {
    auto fails = [](BITMAPINFO info) {
        void* bits = reinterpret_cast<void*>(1);
        SetLastError(0);
        HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
        return bitmap == nullptr && bits == nullptr && GetLastError() != 0;
    };
    BITMAPINFO info = Info32(4, 4);
    info.bmiHeader.biBitCount = 24;
    EXPECT_TRUE(fails(info));
    info = Info32(4, 4);
    info.bmiHeader.biCompression = 3;  // BI_BITFIELDS
    EXPECT_TRUE(fails(info));
    info = Info32(4, 4);
    info.bmiHeader.biPlanes = 2;
    EXPECT_TRUE(fails(info));
    info = Info32(4, 4);
    info.bmiHeader.biSize = 12;
    EXPECT_TRUE(fails(info));
    EXPECT_TRUE(fails(Info32(0, 4)));
    EXPECT_TRUE(fails(Info32(-4, 4)));
    EXPECT_TRUE(fails(Info32(4, 0)));
    EXPECT_TRUE(fails(Info32(4, std::numeric_limits<LONG>::min())));
    EXPECT_TRUE(fails(Info32(40000, 1)));
    EXPECT_EQ(CreateDIBSection(nullptr, nullptr, DIB_RGB_COLORS, nullptr, nullptr, 0), nullptr);
    const BITMAPINFO good = Info32(1, 1);
    EXPECT_EQ(CreateDIBSection(nullptr, &good, DIB_RGB_COLORS, nullptr, reinterpret_cast<HANDLE>(8), 0), nullptr);
}

TEST(MemoryDc, SelectionFollowsWindowsRules) {
    const BITMAPINFO info = Info32(2, 2);
    HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, nullptr, nullptr, 0);
    HDC first = CreateCompatibleDC(nullptr);
    HDC second = CreateCompatibleDC(first);
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(platform::SelectedDibSection(first), nullptr);  // the default 1x1 bitmap

    HGDIOBJ stock = SelectObject(first, bitmap);
    ASSERT_NE(stock, nullptr);
    EXPECT_NE(platform::SelectedDibSection(first), nullptr);
    EXPECT_EQ(SelectObject(second, bitmap), nullptr);  // one DC at a time
    EXPECT_FALSE(DeleteObject(bitmap));                // still selected
    EXPECT_EQ(SelectObject(first, stock), bitmap);
    EXPECT_EQ(platform::SelectedDibSection(first), nullptr);
    EXPECT_TRUE(DeleteObject(stock));  // stock objects stay
    EXPECT_EQ(SelectObject(second, stock), stock);

    // Deleting the DC releases the bitmap.
    EXPECT_EQ(SelectObject(second, bitmap), stock);
    EXPECT_TRUE(DeleteDC(second));
    EXPECT_TRUE(DeleteObject(bitmap));

    // Handles are not reused: the deleted ones stay dead.
    EXPECT_EQ(SelectObject(first, bitmap), nullptr);
    EXPECT_FALSE(DeleteObject(bitmap));
    EXPECT_FALSE(DeleteDC(second));
    EXPECT_EQ(CreateCompatibleDC(second), nullptr);
    EXPECT_TRUE(DeleteDC(first));
}

TEST(WindowDc, ReleasedOnlyByItsWindowAndNeverHoldsBitmaps) {
    HWND window = reinterpret_cast<HWND>(0x1234);
    HDC dc = GetDC(window);
    ASSERT_NE(dc, nullptr);
    const BITMAPINFO info = Info32(1, 1);
    HBITMAP bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, nullptr, nullptr, 0);
    EXPECT_EQ(SelectObject(dc, bitmap), nullptr);
    EXPECT_FALSE(DeleteDC(dc));
    HDC memory = CreateCompatibleDC(dc);
    EXPECT_NE(memory, nullptr);
    EXPECT_EQ(ReleaseDC(nullptr, dc), 0);
    EXPECT_EQ(ReleaseDC(window, dc), 1);
    EXPECT_EQ(ReleaseDC(window, dc), 0);
    EXPECT_TRUE(DeleteDC(memory));
    EXPECT_TRUE(DeleteObject(bitmap));
}

TEST(GdiBrush, KeepsItsColourUntilDeleted) {
    HBRUSH brush = CreateSolidBrush(RGB(0, 255, 0));
    ASSERT_EQ(platform::SolidBrushColor(brush), std::optional<COLORREF>(0x0000FF00));
    EXPECT_EQ(GetGValue(*platform::SolidBrushColor(brush)), 255);
    EXPECT_TRUE(DeleteObject(brush));
    EXPECT_EQ(platform::SolidBrushColor(brush), std::nullopt);
    EXPECT_FALSE(DeleteObject(brush));
}

}  // namespace
