// UpdateLayeredWindow: the picture of a per-pixel-alpha layered window, taken
// from the DIB section a memory DC holds.
#include "platform/linux/gdi/gdi_objects.h"
#include "platform/linux/user32/window_object.h"

#include <algorithm>

namespace {

// COLORREF is 0x00BBGGRR; a pixel is 0xAARRGGBB.
std::uint32_t PixelRgb(COLORREF color) {
    return (static_cast<std::uint32_t>(GetRValue(color)) << 16) | (static_cast<std::uint32_t>(GetGValue(color)) << 8) |
           GetBValue(color);
}

}  // namespace

BOOL UpdateLayeredWindow(HWND hWnd, HDC, POINT* pptDst, SIZE* psize, HDC hdcSrc, POINT* pptSrc, COLORREF crKey,
                         BLENDFUNCTION* pblend, DWORD dwFlags) {
    const auto section = platform::SelectedDibSection(hdcSrc);
    if (!section) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    RECT window{};
    if (!GetWindowRect(hWnd, &window)) {
        return FALSE;  // not a window, which GetWindowRect has set as the error
    }
    const SIZE size = psize ? *psize : SIZE{window.right - window.left, window.bottom - window.top};
    const POINT source = pptSrc ? *pptSrc : POINT{0, 0};
    // The part shown must lie inside the bitmap.
    if (size.cx < 0 || size.cy < 0 || source.x < 0 || source.y < 0 || source.x + size.cx > section->Width() ||
        source.y + size.cy > section->Height()) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    auto picture = std::make_shared<platform::LayeredPicture>();
    picture->size = size;
    picture->pixels.resize(static_cast<std::size_t>(size.cx) * static_cast<std::size_t>(size.cy));
    const bool alpha = (dwFlags & ULW_ALPHA) && pblend;
    picture->constantAlpha = alpha ? pblend->SourceConstantAlpha : 255;
    const bool perPixel = alpha && (pblend->AlphaFormat & AC_SRC_ALPHA) && !(dwFlags & ULW_OPAQUE);
    const bool keyed = dwFlags & ULW_COLORKEY;
    section->Flush();
    for (int y = 0; y < size.cy; ++y) {
        const std::uint32_t* row = section->PictureRow(source.y + y) + source.x;
        std::uint32_t* out = picture->pixels.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(size.cx);
        std::transform(row, row + size.cx, out, [&](std::uint32_t pixel) -> std::uint32_t {
            if (keyed && (pixel & 0x00FFFFFFu) == PixelRgb(crKey)) {
                return 0;
            }
            return perPixel ? pixel : (pixel | 0xFF000000u);
        });
    }
    return platform::SetLayeredPicture(hWnd, pptDst, std::move(picture));
}
