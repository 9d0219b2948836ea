// Drawing primitives shared by all of the launcher's pictures.
#pragma once

#include "tools/styles/cairo_handles.h"
#include "tools/styles/colour.h"

#include <initializer_list>

struct Box {
    double x, y, w, h;
};

constexpr Box Inset(Box box, double by) {
    return {box.x + by, box.y + by, box.w - 2 * by, box.h - 2 * by};
}

// Adds a rounded rectangle to the current path.
void RoundedBox(cairo_t* cr, Box box, double radius);

struct Stop {
    double offset;
    Rgb colour;
    double alpha = 1.0;
};

PatternPtr LinearGradient(double x0, double y0, double x1, double y1, std::initializer_list<Stop> stops);
PatternPtr RadialGradient(double cx, double cy, double radius, std::initializer_list<Stop> stops);

// Polished gold running diagonally across the box: light and dark bands
// read as metal catching the light.
PatternPtr GildedGradient(Box box);

// Softens an A8 surface in place: three box passes each way come close to a
// gaussian. Pixels beyond the edges repeat the edge pixels.
void BlurAlpha(cairo_surface_t* alphaSurface, int radius);

// A blurred copy of the rounded box, shifted down by dy, painted in ink.
void PaintDropShadow(cairo_t* cr, Box box, double radius, double dy, int blur, double alpha);

// Darkens the inside of the rounded box towards its edges, as if it were sunk
// below its surroundings. The caller's clip still applies.
void PaintInnerShadow(cairo_t* cr, Box box, double radius, int blur, double alpha);
