// Internal to the stand-in: the pixels of a 32-bit DIB section and the cairo
// surface that draws on them in place.
#pragma once

#include "platform/linux/gdi/cairo_pointers.h"

#include <cairo.h>

#include <cstdint>
#include <memory>

namespace platform {

// Premultiplied BGRA in memory order, which is cairo's ARGB32 on this
// little-endian system and what layered windows take. Rows are width * 4
// bytes; a bottom-up section stores the picture's last row first.
class DibSection {
public:
    // Cairo's limit on either side.
    static constexpr int kMaxSide = 32767;

    // Null when a side is out of range or the memory cannot be had.
    static std::shared_ptr<DibSection> Create(int width, int height, bool topDown);

    struct Token {
        explicit Token() = default;
    };
    DibSection(Token, int width, int height, bool topDown, std::unique_ptr<std::uint32_t[]> pixels,
               CairoSurfacePtr surface);
    DibSection(const DibSection&) = delete;
    DibSection& operator=(const DibSection&) = delete;

    std::uint8_t* Bits() const { return reinterpret_cast<std::uint8_t*>(m_pixels.get()); }
    int Width() const { return m_width; }
    int Height() const { return m_height; }
    int Stride() const { return m_width * 4; }
    bool TopDown() const { return m_topDown; }
    // Row y of the picture, counted from its top, whatever the row order.
    std::uint32_t* PictureRow(int y) const;

    // A context whose user space is the picture: pixels, y growing downwards
    // from the top row. Pixel memory written directly since the last drawing
    // is taken as it stands.
    CairoContextPtr CreateContext() const;
    // Ends a drawing: everything is in the pixel memory afterwards.
    void Flush() const;

private:
    const int m_width;
    const int m_height;
    const bool m_topDown;
    const std::unique_ptr<std::uint32_t[]> m_pixels;
    const CairoSurfacePtr m_surface;  // declared after the memory it draws on
};

}  // namespace platform
