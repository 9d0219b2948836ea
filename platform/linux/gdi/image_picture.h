// Internal to the stand-in: what a GDI+ image holds once its file was
// decoded, kept out of the public header so that it does not name cairo.
#pragma once

#include "platform/linux/gdi/cairo_pointers.h"

namespace platform {

struct ImagePicture {
    CairoSurfacePtr surface;  // premultiplied ARGB32, never null
};

}  // namespace platform
