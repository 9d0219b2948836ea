// UpdateLayeredWindow, keeping a copy of the picture it hands over.
#include "platform/win32/layered_calls.h"
#include "platform/win32/window_records.h"

#include "platform/win32/real_calls.h"

#include <cstring>

namespace platform::win32 {

namespace {

// The source rectangle of the 32-bit DIB section selected into the DC, top
// row first; null when the DC holds something else.
std::shared_ptr<LayeredPicture> CopyPicture(HDC source, POINT origin, SIZE size, BYTE constantAlpha) {
    DIBSECTION section{};
    HGDIOBJ bitmap = GetCurrentObject(source, OBJ_BITMAP);
    if (!bitmap || GetObjectW(bitmap, sizeof section, &section) != sizeof section || !section.dsBm.bmBits ||
        section.dsBm.bmBitsPixel != 32 || origin.x < 0 || origin.y < 0 || size.cx <= 0 || size.cy <= 0 ||
        origin.x + size.cx > section.dsBm.bmWidth || origin.y + size.cy > section.dsBm.bmHeight) {
        return nullptr;
    }
    auto picture = std::make_shared<LayeredPicture>();
    picture->size = size;
    picture->constantAlpha = constantAlpha;
    picture->pixels.resize(static_cast<std::size_t>(size.cx) * static_cast<std::size_t>(size.cy));
    const bool bottomUp = section.dsBmih.biHeight > 0;
    const auto* bits = static_cast<const unsigned char*>(section.dsBm.bmBits);
    for (int y = 0; y < size.cy; ++y) {
        const int row = bottomUp ? section.dsBm.bmHeight - 1 - (origin.y + y) : origin.y + y;
        std::memcpy(&picture->pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(size.cx)],
                    bits + static_cast<std::size_t>(row) * static_cast<std::size_t>(section.dsBm.bmWidthBytes) +
                        static_cast<std::size_t>(origin.x) * 4,
                    static_cast<std::size_t>(size.cx) * 4);
    }
    return picture;
}

}  // namespace

BOOL UpdateLayeredWindow(HWND hWnd, HDC hdcDst, POINT* pptDst, SIZE* psize, HDC hdcSrc, POINT* pptSrc, COLORREF crKey,
                         BLENDFUNCTION* pblend, DWORD dwFlags) {
    const BOOL updated = ::UpdateLayeredWindow(hWnd, hdcDst, pptDst, psize, hdcSrc, pptSrc, crKey, pblend, dwFlags);
    // A call without a source only moves the window: its picture stays.
    if (updated && hdcSrc && psize) {
        const BYTE constantAlpha = pblend ? pblend->SourceConstantAlpha : 255;
        if (auto picture = CopyPicture(hdcSrc, pptSrc ? *pptSrc : POINT{0, 0}, *psize, constantAlpha)) {
            RecordPicture(hWnd, std::move(picture));
        }
    }
    return updated;
}

}  // namespace platform::win32
