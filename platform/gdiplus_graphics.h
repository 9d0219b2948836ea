// GDI+ drawing on the 32-bit DIB section selected into a memory DC.
#pragma once

#include "platform/gdi.h"
#include "platform/gdiplus_brush.h"
#include "platform/gdiplus_image.h"
#include "platform/gdiplus_text.h"
#include "platform/gdiplus_types.h"

#include <memory>

#ifndef _WIN32
namespace platform {
class DibSection;
}

namespace Gdiplus {

// Draws into the DIB section that is selected into the DC when the object is
// made, and keeps that memory alive until it is deleted. A DC without a DIB
// section gives an object whose every drawing fails with InvalidParameter.
// Pictures compose OVER what is there; a picture drawn at its own size lands
// pixel for pixel.
class Graphics {
public:
    explicit Graphics(HDC hdc);
    ~Graphics();
    Graphics(const Graphics&) = delete;
    Graphics& operator=(const Graphics&) = delete;

    static Graphics* FromHDC(HDC hdc);

    // Edges of pictures placed at fractional positions are smoothed only in
    // the anti-aliasing and high-quality modes.
    Status SetSmoothingMode(SmoothingMode smoothingMode);
    SmoothingMode GetSmoothingMode() const { return m_smoothingMode; }

    Status DrawImage(Image* image, INT x, INT y);
    Status DrawImage(Image* image, REAL x, REAL y);
    Status DrawImage(Image* image, INT x, INT y, INT width, INT height);
    Status DrawImage(Image* image, REAL x, REAL y, REAL width, REAL height);
    Status DrawImage(Image* image, const Rect& destRect);
    Status DrawImage(Image* image, const RectF& destRect);
    // The source rectangle, in pixels of the picture, scaled into destRect.
    // Only the part of it that lies on the picture is drawn.
    Status DrawImage(Image* image, const Rect& destRect, INT srcx, INT srcy, INT srcwidth, INT srcheight, Unit srcUnit);
    Status DrawImage(Image* image, const RectF& destRect, REAL srcx, REAL srcy, REAL srcwidth, REAL srcheight,
                     Unit srcUnit);

    // length -1: up to the terminating NUL. Text wraps inside the layout
    // rectangle's width and is clipped to it; a width or height of 0 leaves
    // that direction open. Without a format: near/near.
    Status DrawString(const WCHAR* string, INT length, const Font* font, const RectF& layoutRect,
                      const StringFormat* stringFormat, const Brush* brush);
    Status DrawString(const WCHAR* string, INT length, const Font* font, const PointF& origin, const Brush* brush);
    Status DrawString(const WCHAR* string, INT length, const Font* font, const PointF& origin,
                      const StringFormat* stringFormat, const Brush* brush);

    // The last failure, which this call then forgets.
    Status GetLastStatus() const;

private:
    Status Record(Status status) const;
    bool SmoothEdges() const;
    Status DrawImagePart(Image* image, double dx, double dy, double dw, double dh, double sx, double sy, double sw,
                         double sh);
    Status DrawText(const WCHAR* string, INT length, const Font* font, const RectF& layoutRect,
                    const StringFormat* stringFormat, const Brush* brush);

    std::shared_ptr<platform::DibSection> m_target;
    SmoothingMode m_smoothingMode = SmoothingModeDefault;
    mutable Status m_lastResult = Ok;
};

}  // namespace Gdiplus
#endif
