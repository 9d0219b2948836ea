#include "tools/styles/title_text.h"

#include "tools/styles/cairo_handles.h"
#include "tools/styles/paint.h"

#include <pango/pangocairo.h>

namespace {

// Noto Serif comes with the CJK fonts the launcher already needs; the others
// stand in where it is missing.
constexpr char kTitleFont[] = "Noto Serif CJK SC, DejaVu Serif, Serif Bold";

LayoutPtr TitleLayout(cairo_t* cr, const char* text, int pixelSize) {
    LayoutPtr layout(pango_cairo_create_layout(cr));
    // Fixed rendering options, so the letters do not follow the desktop's
    // font settings of whoever builds.
    FontOptionsPtr options(cairo_font_options_create());
    cairo_font_options_set_antialias(options.get(), CAIRO_ANTIALIAS_GRAY);
    cairo_font_options_set_hint_style(options.get(), CAIRO_HINT_STYLE_NONE);
    cairo_font_options_set_hint_metrics(options.get(), CAIRO_HINT_METRICS_OFF);
    pango_cairo_context_set_font_options(pango_layout_get_context(layout.get()), options.get());
    pango_layout_context_changed(layout.get());

    FontDescriptionPtr font(pango_font_description_from_string(kTitleFont));
    pango_font_description_set_absolute_size(font.get(), pixelSize * PANGO_SCALE);
    pango_layout_set_font_description(layout.get(), font.get());

    // Wide letter spacing reads as carved lettering rather than body text.
    AttrListPtr attributes(pango_attr_list_new());
    pango_attr_list_insert(attributes.get(), pango_attr_letter_spacing_new(pixelSize * PANGO_SCALE / 10));
    pango_layout_set_attributes(layout.get(), attributes.get());
    pango_layout_set_text(layout.get(), text, -1);
    return layout;
}

}  // namespace

void DrawGildedTitle(cairo_t* cr, const char* text, double x, double baseline, int pixelSize) {
    using namespace palette;
    LayoutPtr layout = TitleLayout(cr, text, pixelSize);
    const double y = baseline - pango_layout_get_baseline(layout.get()) / double(PANGO_SCALE);
    PangoRectangle ink;
    pango_layout_get_pixel_extents(layout.get(), &ink, nullptr);

    // A soft shadow under the letters lifts them off the panel.
    cairo_surface_t* target = cairo_get_target(cr);
    SurfacePtr shadow(cairo_image_surface_create(CAIRO_FORMAT_A8, cairo_image_surface_get_width(target),
                                                 cairo_image_surface_get_height(target)));
    {
        ContextPtr shadowCr(cairo_create(shadow.get()));
        cairo_move_to(shadowCr.get(), x + 1, y + 2);
        pango_cairo_show_layout(shadowCr.get(), layout.get());
    }
    BlurAlpha(shadow.get(), 1);
    SetSource(cr, kInk, 0.95);
    cairo_mask_surface(cr, shadow.get(), 0, 0);

    const double top = y + ink.y;
    const double bottom = top + ink.height;
    PatternPtr gold =
        LinearGradient(0, top, 0, bottom, {{0, kGoldLight}, {0.45, kGold}, {0.55, kGoldDark}, {1, kGold}});
    cairo_move_to(cr, x, y);
    pango_cairo_layout_path(cr, layout.get());
    cairo_set_source(cr, gold.get());
    cairo_fill_preserve(cr);
    SetSource(cr, kInk, 0.5);
    cairo_set_line_width(cr, 0.6);
    cairo_stroke(cr);
}
