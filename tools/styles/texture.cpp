#include "tools/styles/texture.h"

#include "tools/styles/cairo_handles.h"

#include <cstdint>
#include <random>

namespace {

// A surface of random warm-light or dark pixels of random opacity. The raw
// engine output is used because its sequence, unlike the distributions', is
// the same with every standard library.
SurfacePtr NoiseSurface(int width, int height, unsigned seed) {
    SurfacePtr surface(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height));
    std::minstd_rand engine(seed);
    cairo_surface_flush(surface.get());
    unsigned char* data = cairo_image_surface_get_data(surface.get());
    const int stride = cairo_image_surface_get_stride(surface.get());
    for (int y = 0; y < height; ++y) {
        auto* row = reinterpret_cast<std::uint32_t*>(data + y * stride);
        for (int x = 0; x < width; ++x) {
            const std::uint32_t random = engine();
            const std::uint32_t alpha = (random >> 8) & 0xFF;
            const bool light = (random >> 20) & 1;
            // Premultiplied: a light pixel's channels scale with its alpha.
            const std::uint32_t red = light ? alpha : 0;
            const std::uint32_t green = light ? alpha * 230 / 255 : 0;
            const std::uint32_t blue = light ? alpha * 190 / 255 : 0;
            row[x] = (alpha << 24) | (red << 16) | (green << 8) | blue;
        }
    }
    cairo_surface_mark_dirty(surface.get());
    return surface;
}

int TargetWidth(cairo_t* cr) {
    return cairo_image_surface_get_width(cairo_get_target(cr));
}
int TargetHeight(cairo_t* cr) {
    return cairo_image_surface_get_height(cairo_get_target(cr));
}

}  // namespace

void PaintGrain(cairo_t* cr, unsigned seed, double strength) {
    SurfacePtr noise = NoiseSurface(TargetWidth(cr), TargetHeight(cr), seed);
    cairo_set_source_surface(cr, noise.get(), 0, 0);
    cairo_paint_with_alpha(cr, strength);
}

void PaintMottle(cairo_t* cr, unsigned seed, int cell, double strength) {
    SurfacePtr noise = NoiseSurface(TargetWidth(cr) / cell + 2, TargetHeight(cr) / cell + 2, seed);
    SavedState saved(cr);
    cairo_scale(cr, cell, cell);
    cairo_set_source_surface(cr, noise.get(), -0.5, -0.5);
    cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_BILINEAR);
    cairo_pattern_set_extend(cairo_get_source(cr), CAIRO_EXTEND_PAD);
    cairo_paint_with_alpha(cr, strength);
}
