// The picture a layered window is handed is kept as the automation reads it:
// top row first whichever way the DIB runs, the source rectangle only, the
// constant alpha with it, and nothing for a later window with the same handle.
#include "platform/window_automation.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace {

class LayeredWindowPicture : public ::testing::Test {
protected:
    void SetUp() override {
        m_hwnd =
            CreateWindowExW(WS_EX_LAYERED, L"Static", L"", WS_POPUP, 10, 10, 4, 2, nullptr, nullptr, nullptr, nullptr);
        ASSERT_NE(m_hwnd, nullptr);
        m_dc = CreateCompatibleDC(nullptr);
    }
    void TearDown() override {
        DeleteDC(m_dc);
        if (IsWindow(m_hwnd))
            DestroyWindow(m_hwnd);
    }

    // A 5 x 3 DIB whose pixel (x, y) is 0xFF000000 | y << 8 | x.
    HBITMAP Picture(bool bottomUp) {
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
        info.bmiHeader.biWidth = 5;
        info.bmiHeader.biHeight = bottomUp ? 3 : -3;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        void* bits = nullptr;
        HBITMAP bitmap = CreateDIBSection(m_dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
        auto* pixels = static_cast<std::uint32_t*>(bits);
        for (int y = 0; y < 3; ++y)
            for (int x = 0; x < 5; ++x)
                pixels[(bottomUp ? 2 - y : y) * 5 + x] = 0xFF000000u | static_cast<std::uint32_t>(y << 8 | x);
        return bitmap;
    }

    HWND m_hwnd = nullptr;
    HDC m_dc = nullptr;
};

TEST_F(LayeredWindowPicture, TheSourceRectangleIsKeptTopRowFirst) {
    for (const bool bottomUp : {false, true}) {
        HBITMAP bitmap = Picture(bottomUp);
        HGDIOBJ previous = SelectObject(m_dc, bitmap);
        POINT at{10, 10};
        SIZE size{4, 2};
        POINT source{1, 1};
        BLENDFUNCTION blend{AC_SRC_OVER, 0, 200, AC_SRC_ALPHA};
        EXPECT_TRUE(UpdateLayeredWindow(m_hwnd, nullptr, &at, &size, m_dc, &source, 0, &blend, ULW_ALPHA));
        SelectObject(m_dc, previous);
        DeleteObject(bitmap);

        const auto info = platform::DescribeWindow(m_hwnd);
        ASSERT_TRUE(info && info->picture) << bottomUp;
        EXPECT_EQ(info->picture->size.cx, 4);
        EXPECT_EQ(info->picture->size.cy, 2);
        EXPECT_EQ(info->picture->constantAlpha, 200);
        EXPECT_EQ(info->picture->pixels.front(), 0xFF000101u) << bottomUp;  // (1, 1)
        EXPECT_EQ(info->picture->pixels.back(), 0xFF000204u) << bottomUp;   // (4, 2)
    }
}

TEST_F(LayeredWindowPicture, AMoveKeepsThePictureAndAWindowGoneTakesIt) {
    HBITMAP bitmap = Picture(false);
    HGDIOBJ previous = SelectObject(m_dc, bitmap);
    SIZE size{2, 2};
    POINT source{0, 0};
    BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
    ASSERT_TRUE(UpdateLayeredWindow(m_hwnd, nullptr, nullptr, &size, m_dc, &source, 0, &blend, ULW_ALPHA));
    SelectObject(m_dc, previous);
    DeleteObject(bitmap);

    POINT moved{30, 20};
    EXPECT_TRUE(UpdateLayeredWindow(m_hwnd, nullptr, &moved, nullptr, nullptr, nullptr, 0, &blend, ULW_ALPHA));
    const auto info = platform::DescribeWindow(m_hwnd);
    ASSERT_TRUE(info && info->picture);
    EXPECT_EQ(info->picture->size.cx, 2);

    DestroyWindow(m_hwnd);
    EXPECT_FALSE(platform::DescribeWindow(m_hwnd));
    // Whatever window gets the handle next starts without a picture.
    HWND next =
        CreateWindowExW(WS_EX_LAYERED, L"Static", L"", WS_POPUP, 0, 0, 2, 2, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(next, nullptr);
    const auto fresh = platform::DescribeWindow(next);
    ASSERT_TRUE(fresh);
    EXPECT_FALSE(fresh->picture);
    DestroyWindow(next);
}

}  // namespace
