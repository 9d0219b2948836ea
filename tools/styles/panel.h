// The window panel both launcher windows are drawn on: dark warm stone with a
// soft shadow around it, sunk edges and a thin gilded border.
#pragma once

#include "tools/styles/paint.h"

struct PanelShape {
    Box box;
    double radius;
};

// Everything outside the panel and its shadow stays fully transparent, so
// the desktop shows through the rounded corners.
void PaintPanel(cairo_t* cr, PanelShape panel, unsigned textureSeed);

// A sunk, near-black well with a gilded lip, for something that lies in the
// panel (a web page, a text line). `opening` is the well's inside.
void PaintRecess(cairo_t* cr, Box opening, double lip);

// A short gilded rule that fades out towards both ends.
void PaintRule(cairo_t* cr, double x0, double x1, double y);
