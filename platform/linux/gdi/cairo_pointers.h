// Internal to the stand-in: owning pointers for cairo objects, declared
// without cairo's header so that the headers holding them stay free of it.
#pragma once

#include <memory>

struct _cairo;
struct _cairo_surface;
struct _cairo_pattern;
struct _cairo_font_options;

namespace platform {

struct CairoRelease {
    void operator()(_cairo* context) const;
    void operator()(_cairo_surface* surface) const;
    void operator()(_cairo_pattern* pattern) const;
    void operator()(_cairo_font_options* options) const;
};

using CairoContextPtr = std::unique_ptr<_cairo, CairoRelease>;
using CairoSurfacePtr = std::unique_ptr<_cairo_surface, CairoRelease>;
using CairoPatternPtr = std::unique_ptr<_cairo_pattern, CairoRelease>;
using CairoFontOptionsPtr = std::unique_ptr<_cairo_font_options, CairoRelease>;

}  // namespace platform
