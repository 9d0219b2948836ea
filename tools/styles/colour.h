// The launcher's palette: dark warm stone and umber, gilded trim, and the
// two fill colours of the progress bars.
#pragma once

#include <cairo.h>

#include <cstdint>

struct Rgb {
    double r, g, b;
};

constexpr Rgb Hex(std::uint32_t rgb) {
    return {((rgb >> 16) & 0xFF) / 255.0, ((rgb >> 8) & 0xFF) / 255.0, (rgb & 0xFF) / 255.0};
}

inline void SetSource(cairo_t* cr, Rgb colour, double alpha = 1.0) {
    cairo_set_source_rgba(cr, colour.r, colour.g, colour.b, alpha);
}

namespace palette {
inline constexpr Rgb kInk = Hex(0x050403);
inline constexpr Rgb kPanelTop = Hex(0x27201c);
inline constexpr Rgb kPanelBottom = Hex(0x161210);
inline constexpr Rgb kEmber = Hex(0x6a4224);
inline constexpr Rgb kRecess = Hex(0x0c0a09);
inline constexpr Rgb kGoldLight = Hex(0xf0d391);
inline constexpr Rgb kGold = Hex(0xc9a35a);
inline constexpr Rgb kGoldDark = Hex(0x7a5a2a);
}  // namespace palette
