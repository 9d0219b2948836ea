// Internal to the GTK backend: what it keeps of each top-level window it
// shows, shared by the files that make up the backend.
#pragma once

#include "platform/linux/display/gtk/gtk_backend.h"
#include "platform/linux/gdi/cairo_pointers.h"

#include <memory>

namespace platform {

struct CairoRegionRelease {
    void operator()(cairo_region_t* region) const { cairo_region_destroy(region); }
};
using CairoRegionPtr = std::unique_ptr<cairo_region_t, CairoRegionRelease>;

struct GtkBackend::Shown {
    GtkBackend* backend = nullptr;
    HWND hwnd = nullptr;
    GtkWidget* window = nullptr;
    GtkWidget* fixed = nullptr;  // holds embedded widgets, once there are any
    bool owned = false;          // a top-level window with an owner
    DWORD style = 0;
    DWORD exStyle = 0;
    ShowState state = ShowState::Hidden;
    RECT rect{};
    DWORD layeredFlags = 0;
    CairoSurfacePtr picture;
    CairoRegionPtr pictureRegion;
};

}  // namespace platform
