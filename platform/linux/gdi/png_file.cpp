#include "platform/png_file.h"

#include "platform/linux/gdi/cairo_pointers.h"

#include <cairo.h>

#include <cstring>

namespace platform {

namespace {

// cairo's ARGB32 is premultiplied in native byte order, as our pictures are;
// only the row stride differs.
void CopyRows(const unsigned char* from, int fromStride, unsigned char* to, int toStride, int width, int height) {
    for (int y = 0; y < height; ++y)
        std::memcpy(to + static_cast<std::size_t>(y) * toStride, from + static_cast<std::size_t>(y) * fromStride,
                    static_cast<std::size_t>(width) * 4);
}

}  // namespace

bool SavePng(const LayeredPicture& picture, const std::filesystem::path& file) {
    const int width = picture.size.cx;
    const int height = picture.size.cy;
    if (width <= 0 || height <= 0 ||
        picture.pixels.size() < static_cast<std::size_t>(width) * static_cast<std::size_t>(height))
        return false;
    CairoSurfacePtr surface(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height));
    if (cairo_surface_status(surface.get()) != CAIRO_STATUS_SUCCESS)
        return false;
    cairo_surface_flush(surface.get());
    CopyRows(reinterpret_cast<const unsigned char*>(picture.pixels.data()), width * 4,
             cairo_image_surface_get_data(surface.get()), cairo_image_surface_get_stride(surface.get()), width, height);
    cairo_surface_mark_dirty(surface.get());
    return cairo_surface_write_to_png(surface.get(), file.c_str()) == CAIRO_STATUS_SUCCESS;
}

std::optional<LayeredPicture> LoadPng(const std::filesystem::path& file) {
    CairoSurfacePtr loaded(cairo_image_surface_create_from_png(file.c_str()));
    if (cairo_surface_status(loaded.get()) != CAIRO_STATUS_SUCCESS)
        return std::nullopt;
    const int width = cairo_image_surface_get_width(loaded.get());
    const int height = cairo_image_surface_get_height(loaded.get());
    // Every file is read the same way, whatever format it had.
    CairoSurfacePtr surface(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height));
    CairoContextPtr cr(cairo_create(surface.get()));
    cairo_set_source_surface(cr.get(), loaded.get(), 0, 0);
    cairo_set_operator(cr.get(), CAIRO_OPERATOR_SOURCE);
    cairo_paint(cr.get());
    cairo_surface_flush(surface.get());

    LayeredPicture picture;
    picture.size = SIZE{width, height};
    picture.pixels.resize(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
    CopyRows(cairo_image_surface_get_data(surface.get()), cairo_image_surface_get_stride(surface.get()),
             reinterpret_cast<unsigned char*>(picture.pixels.data()), width * 4, width, height);
    return picture;
}

}  // namespace platform
