// Test support for pictures: GDI+ started for one test (on every system), a
// memory DC with a 32-bit DIB section as the window kit builds it, and PNG
// files written with cairo.
#pragma once

#include "platform/base/gdiplus_test_helpers.h"
#include "platform/gdi.h"
#include "platform/gdiplus.h"
#include "platform/linux/gdi/cairo_pointers.h"

#include <cairo.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <functional>

namespace platform::testing {

class DibCanvas {
public:
    DibCanvas(int width, int height, bool topDown = true) : m_width(width), m_height(height), m_topDown(topDown) {
        m_dc = CreateCompatibleDC(nullptr);
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
        info.bmiHeader.biWidth = width;
        info.bmiHeader.biHeight = topDown ? -height : height;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        void* bits = nullptr;
        m_bitmap = CreateDIBSection(m_dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
        m_bits = static_cast<std::uint8_t*>(bits);
        m_previous = SelectObject(m_dc, m_bitmap);
        if (!m_dc || !m_bitmap || !m_bits || !m_previous)
            ADD_FAILURE() << "memory DC with a DIB section not made";
    }
    ~DibCanvas() {
        SelectObject(m_dc, m_previous);
        DeleteObject(m_bitmap);
        DeleteDC(m_dc);
    }
    DibCanvas(const DibCanvas&) = delete;
    DibCanvas& operator=(const DibCanvas&) = delete;

    HDC Dc() const { return m_dc; }
    std::uint8_t* Bits() const { return m_bits; }
    int Stride() const { return m_width * 4; }

    // Premultiplied ARGB of the picture's pixel (x, y), y counted from the top.
    std::uint32_t Pixel(int x, int y) const {
        const int row = m_topDown ? y : m_height - 1 - y;
        std::uint32_t value;
        std::memcpy(&value, m_bits + row * Stride() + x * 4, 4);
        return value;
    }
    void Fill(std::uint32_t premultipliedArgb) {
        for (int i = 0; i < m_width * m_height; ++i)
            std::memcpy(m_bits + i * 4, &premultipliedArgb, 4);
    }
    // Whether some pixel outside (x, y, width, height) differs from `value`.
    bool ChangedOutside(int x, int y, int width, int height, std::uint32_t value = 0) const {
        for (int row = 0; row < m_height; ++row)
            for (int column = 0; column < m_width; ++column) {
                const bool inside = column >= x && column < x + width && row >= y && row < y + height;
                if (!inside && Pixel(column, row) != value)
                    return true;
            }
        return false;
    }

private:
    int m_width;
    int m_height;
    bool m_topDown;
    HDC m_dc = nullptr;
    HBITMAP m_bitmap = nullptr;
    HGDIOBJ m_previous = nullptr;
    std::uint8_t* m_bits = nullptr;
};

// A PNG of the given size; `pixel` gives the straight (not premultiplied)
// ARGB colour of each pixel.
inline void WritePng(const std::filesystem::path& path, int width, int height,
                     const std::function<std::uint32_t(int x, int y)>& pixel) {
    platform::CairoSurfacePtr surface(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height));
    unsigned char* data = cairo_image_surface_get_data(surface.get());
    const int stride = cairo_image_surface_get_stride(surface.get());
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const std::uint32_t argb = pixel(x, y);
            const std::uint32_t alpha = argb >> 24;
            auto premultiply = [&](int shift) { return (((argb >> shift) & 0xFF) * alpha + 127) / 255 << shift; };
            const std::uint32_t value = alpha << 24 | premultiply(16) | premultiply(8) | premultiply(0);
            std::memcpy(data + y * stride + x * 4, &value, 4);
        }
    cairo_surface_mark_dirty(surface.get());
    EXPECT_EQ(cairo_surface_write_to_png(surface.get(), path.c_str()), CAIRO_STATUS_SUCCESS);
}

}  // namespace platform::testing
