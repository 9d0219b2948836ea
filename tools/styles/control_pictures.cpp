#include "tools/styles/control_pictures.h"

#include "tools/styles/launcher_layout.h"
#include "tools/styles/paint.h"

#include <numbers>

namespace {

constexpr double kFullCircle = 2 * std::numbers::pi;

struct ButtonLook {
    Rgb faceLight, faceDark;
    Rgb ringLight, ringDark;
    Rgb glyph;
};

ButtonLook LookOf(ButtonGlyph glyph, ButtonState state) {
    using namespace palette;
    switch (state) {
        case ButtonState::Disabled:
            return {Hex(0x2e2c2a), Hex(0x181716), Hex(0x6c6864), Hex(0x363432), Hex(0x6a6662)};
        case ButtonState::Hover:
            // Closing glows like an ember; the other buttons warm to amber.
            return {glyph == ButtonGlyph::Close ? Hex(0x8a3a22) : Hex(0x7a5428), Hex(0x2a1610), Hex(0xffe9a8),
                    Hex(0xb8893c), Hex(0xfff4d6)};
        case ButtonState::Normal:
            break;
    }
    return {Hex(0x3c3129), Hex(0x171311), kGold, kGoldDark, Hex(0xd8c6a0)};
}

void DrawGlyph(cairo_t* cr, ButtonGlyph glyph, double centre) {
    if (glyph == ButtonGlyph::Close) {
        constexpr double kArm = 4.2;
        cairo_move_to(cr, centre - kArm, centre - kArm);
        cairo_line_to(cr, centre + kArm, centre + kArm);
        cairo_move_to(cr, centre + kArm, centre - kArm);
        cairo_line_to(cr, centre - kArm, centre + kArm);
    } else {
        cairo_move_to(cr, centre - 5, centre + 0.5);
        cairo_line_to(cr, centre + 5, centre + 0.5);
    }
}

}  // namespace

void DrawButton(cairo_t* cr, ButtonGlyph glyph, ButtonState state) {
    using namespace palette;
    const ButtonLook look = LookOf(glyph, state);
    const double centre = layout::kButtonSize / 2.0;
    const double radius = centre - 1;

    cairo_arc(cr, centre, centre + 0.7, radius + 0.3, 0, kFullCircle);
    SetSource(cr, kInk, 0.7);
    cairo_fill(cr);

    PatternPtr face =
        RadialGradient(centre, centre - radius * 0.45, radius * 1.3, {{0, look.faceLight}, {1, look.faceDark}});
    cairo_arc(cr, centre, centre, radius, 0, kFullCircle);
    cairo_set_source(cr, face.get());
    cairo_fill(cr);

    PatternPtr ring = LinearGradient(0, centre - radius, 0, centre + radius,
                                     {{0, look.ringLight}, {0.5, look.ringDark}, {1, look.ringLight}});
    cairo_arc(cr, centre, centre, radius - 0.7, 0, kFullCircle);
    cairo_set_source(cr, ring.get());
    cairo_set_line_width(cr, 1.4);
    cairo_stroke(cr);

    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    cairo_set_line_width(cr, 2);
    {
        SavedState shadow(cr);
        cairo_translate(cr, 0, 1);
        DrawGlyph(cr, glyph, centre);
        SetSource(cr, kInk, 0.8);
        cairo_stroke(cr);
    }
    DrawGlyph(cr, glyph, centre);
    SetSource(cr, look.glyph);
    cairo_stroke(cr);
}

void DrawBarFrame(cairo_t* cr) {
    using namespace palette;
    const Box& groove = layout::kFillGroove;
    const Box body{4, 2, layout::kBarWidth - 8.0, layout::kBarHeight - 4.0};
    const double radius = body.h / 2;

    PaintDropShadow(cr, body, radius, 1, 1, 0.6);
    PatternPtr metal =
        LinearGradient(0, body.y, 0, body.y + body.h, {{0, Hex(0x3a302a)}, {0.5, Hex(0x221c18)}, {1, Hex(0x120e0c)}});
    RoundedBox(cr, body, radius);
    cairo_set_source(cr, metal.get());
    cairo_fill(cr);
    PatternPtr gold = GildedGradient(body);
    RoundedBox(cr, Inset(body, 0.5), radius - 0.5);
    cairo_set_source(cr, gold.get());
    cairo_set_line_width(cr, 1);
    cairo_stroke(cr);

    // A dark lip around the opening makes the groove look cut in.
    RoundedBox(cr, Inset(groove, -1), 2.5);
    SetSource(cr, kInk, 0.95);
    cairo_fill(cr);
    PatternPtr lipLight =
        LinearGradient(0, groove.y - 1, 0, groove.y + groove.h + 1.5, {{0, kInk, 0}, {0.7, kInk, 0}, {1, kGold, 0.45}});
    RoundedBox(cr, Inset(groove, -1.5), 3);
    cairo_set_source(cr, lipLight.get());
    cairo_set_line_width(cr, 1);
    cairo_stroke(cr);

    // Square and on whole pixels, exactly where the bar draws its fill.
    cairo_set_operator(cr, CAIRO_OPERATOR_CLEAR);
    cairo_rectangle(cr, groove.x, groove.y, groove.w, groove.h);
    cairo_fill(cr);
    cairo_set_operator(cr, CAIRO_OPERATOR_OVER);
    // Only a light shade at the top of the opening, so the fill shows through.
    cairo_rectangle(cr, groove.x, groove.y, groove.w, 1);
    SetSource(cr, kInk, 0.3);
    cairo_fill(cr);
}

void DrawBarFill(cairo_t* cr, FillTone tone) {
    const double height = layout::kFillGroove.h;
    PatternPtr fill =
        tone == FillTone::Amber
            ? LinearGradient(0, 0, 0, height,
                             {{0, Hex(0xffdc8c)}, {0.3, Hex(0xf0a640)}, {0.7, Hex(0xc8761c)}, {1, Hex(0x7a400c)}})
            : LinearGradient(0, 0, 0, height,
                             {{0, Hex(0xb6f0c8)}, {0.3, Hex(0x5cc08c)}, {0.7, Hex(0x2e8a62)}, {1, Hex(0x154a34)}});
    cairo_set_source(cr, fill.get());
    cairo_paint(cr);
}

void DrawSlider(cairo_t* cr) {
    using namespace palette;
    const double centre = layout::kSliderSize / 2.0;
    PatternPtr glow =
        RadialGradient(centre, centre, centre, {{0, kGoldLight, 0.8}, {0.45, kGold, 0.45}, {1, kGold, 0}});
    cairo_set_source(cr, glow.get());
    cairo_paint(cr);

    const double radius = 3.6;
    cairo_arc(cr, centre, centre, radius + 0.6, 0, kFullCircle);
    SetSource(cr, Hex(0x2a1a0a), 0.85);
    cairo_fill(cr);
    PatternPtr knob = RadialGradient(centre - 1, centre - 1.2, radius + 1.5,
                                     {{0, Hex(0xfffbe8)}, {0.45, Hex(0xf0c468)}, {1, Hex(0x94621e)}});
    cairo_arc(cr, centre, centre, radius, 0, kFullCircle);
    cairo_set_source(cr, knob.get());
    cairo_fill(cr);
}
