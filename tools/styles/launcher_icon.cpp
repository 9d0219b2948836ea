#include "tools/styles/launcher_icon.h"

#include "tools/styles/cairo_handles.h"
#include "tools/styles/icon_file.h"
#include "tools/styles/paint.h"

#include <algorithm>
#include <fstream>
#include <numbers>
#include <vector>

namespace {

constexpr double kFullCircle = 2 * std::numbers::pi;

// The feather's outline in the unit square: nib at the lower left, tip at the
// upper right, the vane wider on the outer side of the curve.
void FeatherPath(cairo_t* cr) {
    cairo_move_to(cr, 0.30, 0.74);
    cairo_curve_to(cr, 0.30, 0.50, 0.50, 0.26, 0.80, 0.17);
    cairo_curve_to(cr, 0.74, 0.42, 0.58, 0.62, 0.36, 0.70);
    cairo_close_path(cr);
}

cairo_status_t AppendToVector(void* closure, const unsigned char* data, unsigned int length) {
    auto* bytes = static_cast<std::vector<std::uint8_t>*>(closure);
    bytes->insert(bytes->end(), data, data + length);
    return CAIRO_STATUS_SUCCESS;
}

}  // namespace

void DrawLauncherIcon(cairo_t* cr, int size) {
    using namespace palette;
    SavedState state(cr);
    cairo_scale(cr, size, size);
    // Lines no thinner than a pixel, so the smallest icons keep their rim.
    const double pixel = 1.0 / size;

    cairo_arc(cr, 0.5, 0.5, 0.46, 0, kFullCircle);
    PatternPtr face = RadialGradient(0.42, 0.36, 0.62, {{0.0, kEmber}, {0.55, kPanelTop}, {1.0, kPanelBottom}});
    cairo_set_source(cr, face.get());
    cairo_fill_preserve(cr);
    PatternPtr rim = GildedGradient({0, 0, 1, 1});
    cairo_set_source(cr, rim.get());
    cairo_set_line_width(cr, std::max(0.065, 1.2 * pixel));
    cairo_stroke(cr);

    FeatherPath(cr);
    PatternPtr vane = LinearGradient(0.3, 0.75, 0.8, 0.17, {{0.0, kGold}, {0.5, kGoldLight}, {1.0, kGold}});
    cairo_set_source(cr, vane.get());
    cairo_fill(cr);

    // The shaft, running on past the vane into the nib.
    cairo_move_to(cr, 0.22, 0.84);
    cairo_curve_to(cr, 0.40, 0.60, 0.56, 0.40, 0.78, 0.19);
    SetSource(cr, kGoldDark);
    cairo_set_line_width(cr, std::max(0.035, pixel));
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    cairo_stroke(cr);
}

std::string WriteLauncherIcon(const std::filesystem::path& iconFile) {
    std::vector<IconImage> images;
    for (int size : kLauncherIconSizes) {
        SurfacePtr surface(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, size, size));
        {
            ContextPtr cr(cairo_create(surface.get()));
            DrawLauncherIcon(cr.get(), size);
            if (cairo_status(cr.get()) != CAIRO_STATUS_SUCCESS)
                return "icon " + std::to_string(size) + ": " + cairo_status_to_string(cairo_status(cr.get()));
        }
        IconImage image{size, {}};
        const cairo_status_t written = cairo_surface_write_to_png_stream(surface.get(), AppendToVector, &image.png);
        if (written != CAIRO_STATUS_SUCCESS)
            return "icon " + std::to_string(size) + ": " + cairo_status_to_string(written);
        images.push_back(std::move(image));
    }
    const std::vector<std::uint8_t> bytes = IconFileBytes(images);
    std::error_code error;
    std::filesystem::create_directories(iconFile.parent_path(), error);
    std::ofstream out(iconFile, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out)
        return iconFile.string() + ": cannot be written";
    return {};
}
