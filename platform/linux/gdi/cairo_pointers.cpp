#include "platform/linux/gdi/cairo_pointers.h"

#include <cairo.h>

namespace platform {

void CairoRelease::operator()(cairo_t* context) const {
    cairo_destroy(context);
}

void CairoRelease::operator()(cairo_surface_t* surface) const {
    cairo_surface_destroy(surface);
}

void CairoRelease::operator()(cairo_pattern_t* pattern) const {
    cairo_pattern_destroy(pattern);
}

void CairoRelease::operator()(cairo_font_options_t* options) const {
    cairo_font_options_destroy(options);
}

}  // namespace platform
