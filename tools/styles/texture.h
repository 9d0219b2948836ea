// Surface texture for large dark areas, which look flat and cheap without it.
// Every texture comes from a fixed seed, so two builds write the same pictures.
#pragma once

#include <cairo.h>

// Pixel-fine grain: each pixel a touch lighter or darker, at most `strength`.
void PaintGrain(cairo_t* cr, unsigned seed, double strength);

// Broad, soft blotches `cell` pixels across, like worn leather or stone.
void PaintMottle(cairo_t* cr, unsigned seed, int cell, double strength);
