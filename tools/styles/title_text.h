// The game's name in gilded serif letters.
#pragma once

#include <cairo.h>

// Draws `text` starting at x, on the baseline y, so that the letters sit at
// the same height whichever font is found.
void DrawGildedTitle(cairo_t* cr, const char* text, double x, double baseline, int pixelSize);
