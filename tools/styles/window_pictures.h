// The backgrounds of the launcher's two windows.
#pragma once

#include <cairo.h>

// The main window: title, emblem, and a sunk frame for the web page.
void DrawMainWindow(cairo_t* cr);

// The progress window: title and a rule; bars, texts and the close button
// are drawn over it by the window.
void DrawProgressWindow(cairo_t* cr);
