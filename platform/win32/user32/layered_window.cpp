// UpdateLayeredWindow, keeping a copy of the picture it hands over.
#include "platform/routed_calls.h"
#include "platform/win32/user32/window_records.h"

#include "platform/win32/kernel32/real_calls.h"

#include <cstring>

namespace platform::win32 {

namespace {

// The source rectangle, top row first. Copied through a top-down DIB of our
// own: the system does not tell which way the source's rows run (a DIB
// section reports a positive height either way), and a 32-bit copy keeps the
// alpha bytes. Null when the source cannot be read.
std::shared_ptr<LayeredPicture> CopyPicture(HDC source, POINT origin, SIZE size, BYTE constantAlpha) {
    if (size.cx <= 0 || size.cy <= 0) {
        return nullptr;
    }
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = size.cx;
    info.bmiHeader.biHeight = -size.cy;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    HDC copyDc = CreateCompatibleDC(source);
    void* bits = nullptr;
    HBITMAP copy = copyDc ? CreateDIBSection(copyDc, &info, DIB_RGB_COLORS, &bits, nullptr, 0) : nullptr;
    std::shared_ptr<LayeredPicture> picture;
    if (copy) {
        HGDIOBJ previous = SelectObject(copyDc, copy);
        if (BitBlt(copyDc, 0, 0, size.cx, size.cy, source, origin.x, origin.y, SRCCOPY)) {
            GdiFlush();
            picture = std::make_shared<LayeredPicture>();
            picture->size = size;
            picture->constantAlpha = constantAlpha;
            picture->pixels.resize(static_cast<std::size_t>(size.cx) * static_cast<std::size_t>(size.cy));
            std::memcpy(picture->pixels.data(), bits, picture->pixels.size() * sizeof(std::uint32_t));
        }
        SelectObject(copyDc, previous);
        DeleteObject(copy);
    }
    if (copyDc) {
        DeleteDC(copyDc);
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
