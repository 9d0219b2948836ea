// The picture of a per-pixel-alpha layered window, as UpdateLayeredWindow
// hands it to the window: what a display backend shows and what the mouse
// hits (fully transparent pixels let the mouse through).
#pragma once

#include "platform/winuser.h"

#include <cstdint>
#include <vector>

namespace platform {

struct LayeredPicture {
    SIZE size{};
    // Premultiplied ARGB32, size.cx * size.cy pixels, top row first.
    std::vector<std::uint32_t> pixels;
    BYTE constantAlpha = 255;

    // 0 outside the picture.
    std::uint8_t AlphaAt(int x, int y) const {
        if (x < 0 || y < 0 || x >= size.cx || y >= size.cy ||
            pixels.size() < static_cast<std::size_t>(size.cx) * static_cast<std::size_t>(size.cy)) {
            return 0;
        }
        const std::uint32_t pixel =
            pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(size.cx) + static_cast<std::size_t>(x)];
        return static_cast<std::uint8_t>(((pixel >> 24) * constantAlpha) / 255);
    }
};

}  // namespace platform
