#include "tools/styles/paint.h"

#include <algorithm>
#include <numbers>
#include <vector>

namespace {

void AddStops(cairo_pattern_t* pattern, std::initializer_list<Stop> stops) {
    for (const Stop& stop : stops) {
        cairo_pattern_add_color_stop_rgba(pattern, stop.offset, stop.colour.r, stop.colour.g, stop.colour.b,
                                          stop.alpha);
    }
}

// One box-filter pass over a line of samples, edges repeated.
void BoxPass(std::vector<int>& line, int radius) {
    const int count = static_cast<int>(line.size());
    std::vector<int> prefix(count + 2 * radius + 1, 0);
    for (int i = 0; i < count + 2 * radius; ++i) {
        const int source = std::clamp(i - radius, 0, count - 1);
        prefix[i + 1] = prefix[i] + line[source];
    }
    const int window = 2 * radius + 1;
    for (int i = 0; i < count; ++i) {
        line[i] = (prefix[i + window] - prefix[i] + window / 2) / window;
    }
}

void BlurLines(unsigned char* data, int lines, int length, int lineStep, int sampleStep, int radius) {
    std::vector<int> line(length);
    for (int l = 0; l < lines; ++l) {
        unsigned char* first = data + l * lineStep;
        for (int i = 0; i < length; ++i)
            line[i] = first[i * sampleStep];
        for (int pass = 0; pass < 3; ++pass)
            BoxPass(line, radius);
        for (int i = 0; i < length; ++i)
            first[i * sampleStep] = static_cast<unsigned char>(line[i]);
    }
}

// An A8 surface of the same size as the context's target.
SurfacePtr AlphaLayerFor(cairo_t* cr) {
    cairo_surface_t* target = cairo_get_target(cr);
    return SurfacePtr(cairo_image_surface_create(CAIRO_FORMAT_A8, cairo_image_surface_get_width(target),
                                                 cairo_image_surface_get_height(target)));
}

}  // namespace

void RoundedBox(cairo_t* cr, Box box, double radius) {
    constexpr double kQuarter = std::numbers::pi / 2;
    const double right = box.x + box.w;
    const double bottom = box.y + box.h;
    cairo_new_sub_path(cr);
    cairo_arc(cr, right - radius, box.y + radius, radius, -kQuarter, 0);
    cairo_arc(cr, right - radius, bottom - radius, radius, 0, kQuarter);
    cairo_arc(cr, box.x + radius, bottom - radius, radius, kQuarter, 2 * kQuarter);
    cairo_arc(cr, box.x + radius, box.y + radius, radius, 2 * kQuarter, 3 * kQuarter);
    cairo_close_path(cr);
}

PatternPtr LinearGradient(double x0, double y0, double x1, double y1, std::initializer_list<Stop> stops) {
    PatternPtr pattern(cairo_pattern_create_linear(x0, y0, x1, y1));
    AddStops(pattern.get(), stops);
    return pattern;
}

PatternPtr RadialGradient(double cx, double cy, double radius, std::initializer_list<Stop> stops) {
    PatternPtr pattern(cairo_pattern_create_radial(cx, cy, 0, cx, cy, radius));
    AddStops(pattern.get(), stops);
    return pattern;
}

PatternPtr GildedGradient(Box box) {
    using namespace palette;
    return LinearGradient(
        box.x, box.y, box.x + box.w, box.y + box.h,
        {{0.0, kGoldDark}, {0.18, kGoldLight}, {0.4, kGold}, {0.55, kGoldDark}, {0.78, kGoldLight}, {1.0, kGoldDark}});
}

void BlurAlpha(cairo_surface_t* alphaSurface, int radius) {
    cairo_surface_flush(alphaSurface);
    unsigned char* data = cairo_image_surface_get_data(alphaSurface);
    const int width = cairo_image_surface_get_width(alphaSurface);
    const int height = cairo_image_surface_get_height(alphaSurface);
    const int stride = cairo_image_surface_get_stride(alphaSurface);
    BlurLines(data, height, width, stride, 1, radius);
    BlurLines(data, width, height, 1, stride, radius);
    cairo_surface_mark_dirty(alphaSurface);
}

void PaintDropShadow(cairo_t* cr, Box box, double radius, double dy, int blur, double alpha) {
    SurfacePtr layer = AlphaLayerFor(cr);
    {
        ContextPtr layerCr(cairo_create(layer.get()));
        RoundedBox(layerCr.get(), {box.x, box.y + dy, box.w, box.h}, radius);
        cairo_fill(layerCr.get());
    }
    BlurAlpha(layer.get(), blur);
    SetSource(cr, palette::kInk, alpha);
    cairo_mask_surface(cr, layer.get(), 0, 0);
}

void PaintInnerShadow(cairo_t* cr, Box box, double radius, int blur, double alpha) {
    SurfacePtr layer = AlphaLayerFor(cr);
    {
        ContextPtr layerCr(cairo_create(layer.get()));
        cairo_paint(layerCr.get());
        cairo_set_operator(layerCr.get(), CAIRO_OPERATOR_CLEAR);
        RoundedBox(layerCr.get(), box, radius);
        cairo_fill(layerCr.get());
    }
    BlurAlpha(layer.get(), blur);
    SavedState saved(cr);
    RoundedBox(cr, box, radius);
    cairo_clip(cr);
    SetSource(cr, palette::kInk, alpha);
    cairo_mask_surface(cr, layer.get(), 0, 0);
}
