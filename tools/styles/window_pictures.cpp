#include "tools/styles/window_pictures.h"

#include "tools/styles/launcher_layout.h"
#include "tools/styles/panel.h"
#include "tools/styles/title_text.h"

#include <numbers>

namespace {

constexpr char kGameName[] = "Quillmoor";

void DiamondPath(cairo_t* cr, double cx, double cy, double rx, double ry) {
    cairo_move_to(cr, cx, cy - ry);
    cairo_line_to(cr, cx + rx, cy);
    cairo_line_to(cr, cx, cy + ry);
    cairo_line_to(cr, cx - rx, cy);
    cairo_close_path(cr);
}

// A gilded medallion with a quill laid across it.
void DrawEmblem(cairo_t* cr, double cx, double cy, double radius) {
    using namespace palette;
    const Box bounds{cx - radius, cy - radius, 2 * radius, 2 * radius};
    PatternPtr gold = GildedGradient(bounds);

    cairo_arc(cr, cx, cy + 1.5, radius, 0, 2 * std::numbers::pi);
    SetSource(cr, kInk, 0.6);
    cairo_fill(cr);
    PatternPtr face = RadialGradient(cx - radius * 0.3, cy - radius * 0.4, radius * 1.4, {{0, kEmber}, {1, kInk}});
    cairo_arc(cr, cx, cy, radius, 0, 2 * std::numbers::pi);
    cairo_set_source(cr, face.get());
    cairo_fill_preserve(cr);
    cairo_set_source(cr, gold.get());
    cairo_set_line_width(cr, 1.4);
    cairo_stroke(cr);

    SavedState saved(cr);
    cairo_translate(cr, cx, cy);
    cairo_rotate(cr, -std::numbers::pi / 4);
    const double length = radius * 0.95;
    // The vane: two curves meeting at the tip, widest above the middle.
    PatternPtr vaneGold =
        LinearGradient(-length * 0.4, 0, length * 0.4, 0, {{0, kGoldLight}, {0.5, kGold}, {1, kGoldDark}});
    cairo_move_to(cr, 0, -length);
    cairo_curve_to(cr, length * 0.4, -length * 0.55, length * 0.35, length * 0.3, 0, length * 0.55);
    cairo_curve_to(cr, -length * 0.25, length * 0.2, -length * 0.35, -length * 0.55, 0, -length);
    cairo_set_source(cr, vaneGold.get());
    cairo_fill(cr);
    // The shaft runs past the vane to the nib.
    cairo_move_to(cr, 0, -length * 0.8);
    cairo_line_to(cr, 0, length);
    SetSource(cr, kInk, 0.8);
    cairo_set_line_width(cr, 0.9);
    cairo_stroke(cr);
}

// A gilded diamond between two fading rules.
void DrawOrnament(cairo_t* cr, double cx, double y, double halfWidth) {
    using namespace palette;
    PaintRule(cr, cx - halfWidth, cx - 8, y);
    PaintRule(cr, cx + 8, cx + halfWidth, y);
    DiamondPath(cr, cx, y + 0.5, 5, 4);
    PatternPtr gold = GildedGradient({cx - 5, y - 4, 10, 9});
    cairo_set_source(cr, gold.get());
    cairo_fill_preserve(cr);
    SetSource(cr, kInk, 0.7);
    cairo_set_line_width(cr, 0.8);
    cairo_stroke(cr);
}

}  // namespace

void DrawMainWindow(cairo_t* cr) {
    const PanelShape panel{{12, 10, layout::kMainWidth - 24.0, layout::kMainHeight - 24.0}, 16};
    PaintPanel(cr, panel, 1);
    DrawEmblem(cr, 47, 41, 14);
    DrawGildedTitle(cr, kGameName, layout::kWebView.x, 52, 28);
    PaintRecess(cr, layout::kWebView, 8);
    const Box& web = layout::kWebView;
    DrawOrnament(cr, web.x + web.w / 2, web.y + web.h + 21, 110);
}

void DrawProgressWindow(cairo_t* cr) {
    const PanelShape panel{{10, 8, layout::kProgressWidth - 20.0, layout::kProgressHeight - 16.0}, 14};
    PaintPanel(cr, panel, 2);
    DrawGildedTitle(cr, kGameName, 35, 62, 20);
    PaintRule(cr, 30, layout::kProgressWidth - 30, 80);
}
