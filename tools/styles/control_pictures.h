// The pictures of the windows' controls: round buttons and the parts of the
// progress bars.
#pragma once

#include <cairo.h>

enum class ButtonGlyph { Close, Minimise };
enum class ButtonState { Normal, Disabled, Hover };

void DrawButton(cairo_t* cr, ButtonGlyph glyph, ButtonState state);

// The bar's frame, drawn over the fill: open where the fill goes.
void DrawBarFrame(cairo_t* cr);

enum class FillTone { Amber, Jade };

// A fill, squeezed sideways to the bar's progress: so it only changes from
// top to bottom.
void DrawBarFill(cairo_t* cr, FillTone tone);

// A small glowing knob that sits on the end of the fill.
void DrawSlider(cairo_t* cr);
