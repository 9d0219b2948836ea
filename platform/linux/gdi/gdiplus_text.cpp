#include "platform/gdiplus_text.h"

#include "platform/linux/gdi/font_families.h"
#include "platform/linux/gdi/gdiplus_state.h"

#include <cmath>

namespace {

// Pixels per unit at 96 dpi; 0 for a unit a font cannot have. A Graphics
// here has no world transform, so world units are pixels.
double PixelsPerUnit(Gdiplus::Unit unit) {
    switch (unit) {
        case Gdiplus::UnitWorld:
        case Gdiplus::UnitPixel:
            return 1.0;
        case Gdiplus::UnitPoint:
            return 96.0 / 72.0;
        case Gdiplus::UnitInch:
            return 96.0;
        case Gdiplus::UnitDocument:
            return 96.0 / 300.0;
        case Gdiplus::UnitMillimeter:
            return 96.0 / 25.4;
        default:
            return 0.0;
    }
}

// Far beyond any text of a window; keeps pango's fixed-point sizes in range.
constexpr double kMaxPixelSize = 16384.0;

bool ValidAlignment(Gdiplus::StringAlignment align) {
    return align == Gdiplus::StringAlignmentNear || align == Gdiplus::StringAlignmentCenter ||
           align == Gdiplus::StringAlignmentFar;
}

}  // namespace

namespace Gdiplus {

Font::Font(const WCHAR* familyName, REAL emSize, INT style, Unit unit) : m_style(style) {
    if (!platform::GdiplusRunning()) {
        m_lastResult = GdiplusNotInitialized;
        return;
    }
    const double pixelSize = emSize * PixelsPerUnit(unit);
    if (!familyName || !std::isfinite(pixelSize) || pixelSize <= 0 || pixelSize > kMaxPixelSize) {
        m_lastResult = InvalidParameter;
        return;
    }
    m_families = platform::PangoFamiliesFor(familyName);
    m_pixelSize = pixelSize;
}

BOOL Font::IsAvailable() const {
    return m_pixelSize > 0 ? TRUE : FALSE;
}

Status Font::GetLastStatus() const {
    Status status = m_lastResult;
    m_lastResult = Ok;
    return status;
}

Status StringFormat::SetAlignment(StringAlignment align) {
    if (!ValidAlignment(align))
        return InvalidParameter;
    m_alignment = align;
    return Ok;
}

Status StringFormat::SetLineAlignment(StringAlignment align) {
    if (!ValidAlignment(align))
        return InvalidParameter;
    m_lineAlignment = align;
    return Ok;
}

}  // namespace Gdiplus
