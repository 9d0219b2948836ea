// Internal to the stand-in: what other parts of it read from GDI handles.
#pragma once

#include "platform/gdi.h"
#include "platform/linux/gdi/dib_section.h"

#include <memory>
#include <optional>

namespace platform {

// The DIB section selected into a memory DC; null for any other DC, a DC
// holding its default bitmap, or an invalid handle. Layered windows read
// their picture from here.
std::shared_ptr<DibSection> SelectedDibSection(HDC hdc);

// The colour of a solid brush; nothing for an invalid handle.
std::optional<COLORREF> SolidBrushColor(HBRUSH brush);

}  // namespace platform
