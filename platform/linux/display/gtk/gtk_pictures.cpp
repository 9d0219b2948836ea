// Layered windows on GTK: the picture a window was given, drawn as it is,
// and the shape the mouse reaches (its opaque pixels, or the children of a
// colour-keyed window).
#include "platform/linux/display/gtk/gtk_backend.h"
#include "platform/linux/display/gtk/gtk_shown.h"
#include "platform/linux/user32/window_object.h"

namespace platform {

namespace {

// The picture as cairo shows it; the constant alpha goes into the pixels, so
// drawing is a plain copy.
CairoSurfacePtr SurfaceOf(const LayeredPicture& picture) {
    const int width = picture.size.cx;
    const int height = picture.size.cy;
    CairoSurfacePtr surface(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height));
    if (cairo_surface_status(surface.get()) != CAIRO_STATUS_SUCCESS ||
        picture.pixels.size() < static_cast<std::size_t>(width) * static_cast<std::size_t>(height)) {
        return nullptr;
    }
    cairo_surface_flush(surface.get());
    unsigned char* data = cairo_image_surface_get_data(surface.get());
    const int stride = cairo_image_surface_get_stride(surface.get());
    const std::uint32_t alpha = picture.constantAlpha;
    for (int y = 0; y < height; ++y) {
        auto* out = reinterpret_cast<std::uint32_t*>(data + static_cast<std::ptrdiff_t>(y) * stride);
        const std::uint32_t* in = picture.pixels.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(width);
        for (int x = 0; x < width; ++x) {
            const std::uint32_t pixel = in[x];
            if (alpha == 255) {
                out[x] = pixel;
                continue;
            }
            // Premultiplied: every channel scales alike.
            std::uint32_t scaled = 0;
            for (int shift = 0; shift < 32; shift += 8) {
                scaled |= ((((pixel >> shift) & 0xFFu) * alpha + 127) / 255) << shift;
            }
            out[x] = scaled;
        }
    }
    cairo_surface_mark_dirty(surface.get());
    return surface;
}

// Where the picture is not fully transparent: what the mouse hits.
CairoRegionPtr OpaqueRegionOf(const LayeredPicture& picture) {
    CairoRegionPtr region(cairo_region_create());
    for (int y = 0; y < picture.size.cy; ++y) {
        int x = 0;
        while (x < picture.size.cx) {
            while (x < picture.size.cx && picture.AlphaAt(x, y) == 0) {
                ++x;
            }
            const int start = x;
            while (x < picture.size.cx && picture.AlphaAt(x, y) != 0) {
                ++x;
            }
            if (x > start) {
                const cairo_rectangle_int_t run{start, y, x - start, 1};
                cairo_region_union_rectangle(region.get(), &run);
            }
        }
    }
    return region;
}

// The children of a window that show when it shows, in its own
// coordinates. Whether the window itself is shown does not count: a hidden
// window keeps the shape it will show with.
CairoRegionPtr ChildrenRegionOf(HWND hwnd) {
    CairoRegionPtr region(cairo_region_create());
    std::lock_guard<std::mutex> lock(WindowLock());
    auto window = LookupWindowLocked(hwnd);
    if (!window) {
        return region;
    }
    const RECT outer = ScreenRectLocked(*window);
    for (HWND child : window->children) {
        auto object = LookupWindowLocked(child);
        if (!object || !(object->style & WS_VISIBLE)) {
            continue;
        }
        const RECT rect = ScreenRectLocked(*object);
        const cairo_rectangle_int_t area{rect.left - outer.left, rect.top - outer.top, rect.right - rect.left,
                                         rect.bottom - rect.top};
        cairo_region_union_rectangle(region.get(), &area);
    }
    return region;
}

}  // namespace

void GtkBackend::UpdateInputShape(Shown& shown) {
    if (shown.layeredFlags & LWA_COLORKEY) {
        // The key colour is all there is outside the children: clicks there
        // belong to whatever is behind, and without a compositor nothing
        // may be drawn there either.
        CairoRegionPtr children = ChildrenRegionOf(shown.hwnd);
        gtk_widget_input_shape_combine_region(shown.window, children.get());
        gtk_widget_shape_combine_region(shown.window, children.get());
    } else {
        gtk_widget_input_shape_combine_region(shown.window, shown.pictureRegion.get());
    }
    gtk_widget_queue_draw(shown.window);
}

void GtkBackend::LayeredAttributesChanged(HWND hwnd, COLORREF, BYTE alpha, DWORD flags) {
    OnGtkThread([=, this] {
        if (Shown* shown = Find(hwnd)) {
            shown->layeredFlags = flags;
            gtk_widget_set_opacity(shown->window, (flags & LWA_ALPHA) ? alpha / 255.0 : 1.0);
            UpdateInputShape(*shown);
        }
    });
}

void GtkBackend::LayeredPictureChanged(HWND hwnd, const std::shared_ptr<const LayeredPicture>& picture) {
    OnGtkThread([=, this] {
        if (Shown* shown = Find(hwnd); shown && picture) {
            shown->picture = SurfaceOf(*picture);
            shown->pictureRegion = OpaqueRegionOf(*picture);
            UpdateInputShape(*shown);
        }
    });
}

gboolean GtkBackend::OnDraw(GtkWidget*, cairo_t* cr, gpointer data) {
    const Shown& shown = *static_cast<Shown*>(data);
    // Exactly the picture: nothing of what was drawn before stays.
    cairo_save(cr);
    cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
    cairo_set_source_rgba(cr, 0, 0, 0, 0);
    cairo_paint(cr);
    if (shown.picture && !(shown.layeredFlags & LWA_COLORKEY)) {
        cairo_set_source_surface(cr, shown.picture.get(), 0, 0);
        cairo_paint(cr);
    }
    cairo_restore(cr);
    // Embedded widgets draw over it.
    return FALSE;
}

}  // namespace platform
