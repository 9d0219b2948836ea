#include "tools/styles/panel.h"

#include "tools/styles/texture.h"

namespace {

void PaintSurface(cairo_t* cr, PanelShape panel, unsigned textureSeed) {
    using namespace palette;
    const Box& box = panel.box;
    SavedState saved(cr);
    RoundedBox(cr, box, panel.radius);
    cairo_clip(cr);

    PatternPtr body = LinearGradient(0, box.y, 0, box.y + box.h, {{0, kPanelTop}, {1, kPanelBottom}});
    cairo_set_source(cr, body.get());
    cairo_paint(cr);

    // Warm light falling from the upper left, where the title sits.
    PatternPtr glow = RadialGradient(box.x + box.w * 0.15, box.y, box.w * 0.55, {{0, kEmber, 0.3}, {1, kEmber, 0}});
    cairo_set_source(cr, glow.get());
    cairo_paint(cr);

    PaintMottle(cr, textureSeed, 12, 0.04);
    PaintGrain(cr, textureSeed + 1, 0.045);
}

void PaintBorder(cairo_t* cr, PanelShape panel) {
    using namespace palette;
    const Box& box = panel.box;
    // A crisp dark edge separates the panel from any desktop colour.
    RoundedBox(cr, Inset(box, 0.5), panel.radius - 0.5);
    SetSource(cr, kInk, 0.9);
    cairo_set_line_width(cr, 1);
    cairo_stroke(cr);

    PatternPtr gold = GildedGradient(box);
    RoundedBox(cr, Inset(box, 2), panel.radius - 2);
    cairo_set_source(cr, gold.get());
    cairo_set_line_width(cr, 1.3);
    cairo_stroke(cr);

    // A faint second line inside gives the trim some depth.
    cairo_push_group(cr);
    RoundedBox(cr, Inset(box, 5.5), panel.radius - 5.5);
    cairo_set_source(cr, gold.get());
    cairo_set_line_width(cr, 1);
    cairo_stroke(cr);
    cairo_pop_group_to_source(cr);
    cairo_paint_with_alpha(cr, 0.28);
}

}  // namespace

void PaintPanel(cairo_t* cr, PanelShape panel, unsigned textureSeed) {
    PaintDropShadow(cr, panel.box, panel.radius, 3, 3, 0.75);
    PaintSurface(cr, panel, textureSeed);
    PaintInnerShadow(cr, Inset(panel.box, 1), panel.radius - 1, 4, 0.8);
    PaintBorder(cr, panel);
}

void PaintRecess(cairo_t* cr, Box opening, double lip) {
    using namespace palette;
    const Box outer = Inset(opening, -lip);
    const double radius = lip * 0.75;

    // The lip: darker towards the top left, caught by light at the bottom right.
    PatternPtr lipShade =
        LinearGradient(outer.x, outer.y, outer.x, outer.y + outer.h, {{0, kInk, 0.75}, {1, kPanelBottom, 0.6}});
    RoundedBox(cr, outer, radius);
    cairo_set_source(cr, lipShade.get());
    cairo_fill(cr);

    PatternPtr gold = GildedGradient(outer);
    RoundedBox(cr, Inset(outer, 0.5), radius - 0.5);
    cairo_set_source(cr, gold.get());
    cairo_set_line_width(cr, 1);
    cairo_stroke(cr);

    PatternPtr edgeLight = LinearGradient(outer.x, outer.y, outer.x, outer.y + outer.h,
                                          {{0, kInk, 0.9}, {0.5, kInk, 0.3}, {1, kGold, 0.35}});
    cairo_rectangle(cr, opening.x - 1.5, opening.y - 1.5, opening.w + 3, opening.h + 3);
    cairo_set_source(cr, edgeLight.get());
    cairo_stroke(cr);

    cairo_rectangle(cr, opening.x - 1, opening.y - 1, opening.w + 2, opening.h + 2);
    SetSource(cr, kRecess);
    cairo_fill(cr);
    PaintInnerShadow(cr, opening, 1, 3, 0.9);
}

void PaintRule(cairo_t* cr, double x0, double x1, double y) {
    using namespace palette;
    PatternPtr fade = LinearGradient(
        x0, 0, x1, 0, {{0, kGold, 0}, {0.2, kGold, 0.7}, {0.5, kGoldLight, 0.9}, {0.8, kGold, 0.7}, {1, kGold, 0}});
    cairo_rectangle(cr, x0, y, x1 - x0, 1);
    cairo_set_source(cr, fade.get());
    cairo_fill(cr);
    // A dark line under the gold makes the rule look cut into the panel.
    PatternPtr shade = LinearGradient(x0, 0, x1, 0, {{0, kInk, 0}, {0.5, kInk, 0.8}, {1, kInk, 0}});
    cairo_rectangle(cr, x0, y + 1, x1 - x0, 1);
    cairo_set_source(cr, shade.get());
    cairo_fill(cr);
}
