// Every drawing call gets a cairo context of its own, so a call that fails
// leaves no error state behind for the next one.
#include "platform/gdiplus_graphics.h"

#include "platform/linux/gdi/dib_section.h"
#include "platform/linux/gdi/gdi_objects.h"
#include "platform/linux/gdi/gdiplus_coordinates.h"
#include "platform/linux/gdi/gdiplus_state.h"
#include "platform/linux/gdi/image_picture.h"

#include <algorithm>
#include <cmath>

namespace Gdiplus {

Graphics::Graphics(HDC hdc) {
    if (!platform::GdiplusRunning()) {
        m_lastResult = GdiplusNotInitialized;
        return;
    }
    m_target = platform::SelectedDibSection(hdc);
    if (!m_target)
        m_lastResult = InvalidParameter;
}

Graphics::~Graphics() = default;

Graphics* Graphics::FromHDC(HDC hdc) {
    return new Graphics(hdc);
}

Status Graphics::SetSmoothingMode(SmoothingMode smoothingMode) {
    if (smoothingMode < SmoothingModeDefault || smoothingMode > SmoothingModeAntiAlias8x8)
        return Record(InvalidParameter);
    m_smoothingMode = smoothingMode;
    return Ok;
}

bool Graphics::SmoothEdges() const {
    return m_smoothingMode == SmoothingModeHighQuality || m_smoothingMode == SmoothingModeAntiAlias ||
           m_smoothingMode == SmoothingModeAntiAlias8x8;
}

Status Graphics::GetLastStatus() const {
    Status status = m_lastResult;
    m_lastResult = Ok;
    return status;
}

Status Graphics::Record(Status status) const {
    if (status != Ok)
        m_lastResult = status;
    return status;
}

Status Graphics::DrawImage(Image* image, INT x, INT y) {
    return DrawImage(image, static_cast<REAL>(x), static_cast<REAL>(y));
}

Status Graphics::DrawImage(Image* image, REAL x, REAL y) {
    if (!image)
        return Record(InvalidParameter);
    const double width = image->GetWidth();
    const double height = image->GetHeight();
    return DrawImagePart(image, x, y, width, height, 0, 0, width, height);
}

Status Graphics::DrawImage(Image* image, INT x, INT y, INT width, INT height) {
    return DrawImage(image, RectF(x, y, width, height));
}

Status Graphics::DrawImage(Image* image, REAL x, REAL y, REAL width, REAL height) {
    return DrawImage(image, RectF(x, y, width, height));
}

Status Graphics::DrawImage(Image* image, const Rect& destRect) {
    return DrawImage(image, RectF(destRect.X, destRect.Y, destRect.Width, destRect.Height));
}

Status Graphics::DrawImage(Image* image, const RectF& destRect) {
    if (!image)
        return Record(InvalidParameter);
    return DrawImage(image, destRect, 0, 0, image->GetWidth(), image->GetHeight(), UnitPixel);
}

Status Graphics::DrawImage(Image* image, const Rect& destRect, INT srcx, INT srcy, INT srcwidth, INT srcheight,
                           Unit srcUnit) {
    return DrawImage(image, RectF(destRect.X, destRect.Y, destRect.Width, destRect.Height), srcx, srcy, srcwidth,
                     srcheight, srcUnit);
}

Status Graphics::DrawImage(Image* image, const RectF& destRect, REAL srcx, REAL srcy, REAL srcwidth, REAL srcheight,
                           Unit srcUnit) {
    if (srcUnit != UnitPixel)
        return Record(NotImplemented);
    return DrawImagePart(image, destRect.X, destRect.Y, destRect.Width, destRect.Height, srcx, srcy, srcwidth,
                         srcheight);
}

Status Graphics::DrawImagePart(Image* image, double dx, double dy, double dw, double dh, double sx, double sy,
                               double sw, double sh) {
    if (!image || !image->m_picture || !m_target || sw <= 0 || sh <= 0)
        return Record(InvalidParameter);
    if (Status status = platform::CheckCoordinates({dx, dy, dw, dh, sx, sy, sw, sh}); status != Ok)
        return Record(status);
    if (dw == 0 || dh == 0)
        return Ok;

    // Only the part of the source rectangle that lies on the picture is
    // drawn, into the matching part of the destination.
    const double scaleX = dw / sw;
    const double scaleY = dh / sh;
    const double left = std::max(sx, 0.0);
    const double top = std::max(sy, 0.0);
    const double right = std::min(sx + sw, static_cast<double>(image->GetWidth()));
    const double bottom = std::min(sy + sh, static_cast<double>(image->GetHeight()));
    if (left >= right || top >= bottom)
        return Ok;

    // Sampling from a sub-surface keeps pixels outside the source rectangle
    // out of the result, even where filtering reaches past its edges.
    const double pixelLeft = std::floor(left);
    const double pixelTop = std::floor(top);
    platform::CairoSurfacePtr source(cairo_surface_create_for_rectangle(image->m_picture->surface.get(), pixelLeft,
                                                                        pixelTop, std::ceil(right) - pixelLeft,
                                                                        std::ceil(bottom) - pixelTop));
    platform::CairoPatternPtr pattern(cairo_pattern_create_for_surface(source.get()));
    cairo_matrix_t toSource;
    cairo_matrix_init_translate(&toSource, sx - pixelLeft, sy - pixelTop);
    cairo_matrix_scale(&toSource, 1 / scaleX, 1 / scaleY);
    cairo_matrix_translate(&toSource, -dx, -dy);
    cairo_pattern_set_matrix(pattern.get(), &toSource);
    cairo_pattern_set_extend(pattern.get(), CAIRO_EXTEND_PAD);
    // A picture at its own size is copied pixel for pixel.
    const bool unscaled = std::fabs(scaleX) == 1 && std::fabs(scaleY) == 1;
    cairo_pattern_set_filter(pattern.get(), unscaled ? CAIRO_FILTER_NEAREST : CAIRO_FILTER_GOOD);

    platform::CairoContextPtr context = m_target->CreateContext();
    cairo_set_antialias(context.get(), SmoothEdges() ? CAIRO_ANTIALIAS_DEFAULT : CAIRO_ANTIALIAS_NONE);
    cairo_set_source(context.get(), pattern.get());
    cairo_rectangle(context.get(), dx + (left - sx) * scaleX, dy + (top - sy) * scaleY, (right - left) * scaleX,
                    (bottom - top) * scaleY);
    cairo_fill(context.get());
    const cairo_status_t result = cairo_status(context.get());
    m_target->Flush();
    if (result == CAIRO_STATUS_NO_MEMORY)
        return Record(OutOfMemory);
    return Record(result == CAIRO_STATUS_SUCCESS ? Ok : GenericError);
}

}  // namespace Gdiplus
