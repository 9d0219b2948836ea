// GDI objects behind opaque handles. Handle values are never reused, so a
// deleted or made-up handle fails instead of reaching another object.
#include "platform/gdi.h"

#include "platform/base/handle_table.h"
#include "platform/kernel32.h"
#include "platform/linux/gdi/gdi_objects.h"

#include <cstdint>
#include <variant>

namespace {

struct DeviceContext {
    bool memory;     // false: a window's DC from GetDC
    HWND window;     // GetDC's window
    HGDIOBJ bitmap;  // memory DCs: the selected bitmap
};

struct Bitmap {
    std::shared_ptr<platform::DibSection> section;  // null: the stock 1x1 bitmap
    HDC selectedInto = nullptr;
};

struct Brush {
    COLORREF color;
};

using GdiObject = std::variant<DeviceContext, Bitmap, Brush>;

using GdiTable = platform::HandleTable<GdiObject>;

struct GdiObjects {
    GdiTable table{0x10004};
    // Selected into any number of memory DCs, never deleted.
    const HGDIOBJ stockBitmap = table.Insert(Bitmap{});
};

GdiObjects& Objects() {
    static GdiObjects objects;
    return objects;
}

// The object behind a handle when it is a T, else null.
template <class T>
T* Find(GdiTable::Locked& table, const void* handle) {
    GdiObject* object = table.Find(handle);
    return object ? std::get_if<T>(object) : nullptr;
}

HDC AddDeviceContext(DeviceContext dc) {
    return static_cast<HDC>(Objects().table.Insert(dc));
}

}  // namespace

HDC GetDC(HWND hWnd) {
    return AddDeviceContext(DeviceContext{false, hWnd, nullptr});
}

int ReleaseDC(HWND hWnd, HDC hDC) {
    auto table = Objects().table.Lock();
    DeviceContext* dc = Find<DeviceContext>(table, hDC);
    if (!dc || dc->memory || dc->window != hWnd)
        return 0;
    table.Take(hDC);
    return 1;
}

HDC CreateCompatibleDC(HDC hdc) {
    auto table = Objects().table.Lock();
    if (hdc && !Find<DeviceContext>(table, hdc)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    return static_cast<HDC>(table.Insert(DeviceContext{true, nullptr, Objects().stockBitmap}));
}

BOOL DeleteDC(HDC hdc) {
    auto table = Objects().table.Lock();
    DeviceContext* dc = Find<DeviceContext>(table, hdc);
    if (!dc || !dc->memory)
        return FALSE;
    if (Bitmap* bitmap = Find<Bitmap>(table, dc->bitmap); bitmap && bitmap->selectedInto == hdc)
        bitmap->selectedInto = nullptr;
    table.Take(hdc);
    return TRUE;
}

HGDIOBJ SelectObject(HDC hdc, HGDIOBJ h) {
    auto table = Objects().table.Lock();
    DeviceContext* dc = Find<DeviceContext>(table, hdc);
    Bitmap* bitmap = Find<Bitmap>(table, h);
    if (!dc || !dc->memory || !bitmap || (bitmap->selectedInto && bitmap->selectedInto != hdc))
        return nullptr;
    HGDIOBJ previous = dc->bitmap;
    if (Bitmap* old = Find<Bitmap>(table, previous); old && old->selectedInto == hdc)
        old->selectedInto = nullptr;
    dc->bitmap = h;
    if (bitmap->section)  // the stock bitmap goes into any number of DCs
        bitmap->selectedInto = hdc;
    return previous;
}

BOOL DeleteObject(HGDIOBJ ho) {
    auto table = Objects().table.Lock();
    if (ho && ho == Objects().stockBitmap)
        return TRUE;
    if (Bitmap* bitmap = Find<Bitmap>(table, ho)) {
        if (bitmap->selectedInto)
            return FALSE;
    } else if (!Find<Brush>(table, ho)) {
        return FALSE;
    }
    table.Take(ho);
    return TRUE;
}

HBITMAP CreateDIBSection(HDC, const BITMAPINFO* pbmi, UINT usage, void** ppvBits, HANDLE hSection, DWORD) {
    if (ppvBits)
        *ppvBits = nullptr;
    // Section-backed memory is not offered; BITMAPCOREHEADER is too old.
    if (!pbmi || hSection || (usage != DIB_RGB_COLORS && usage != DIB_PAL_COLORS)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    const BITMAPINFOHEADER& header = pbmi->bmiHeader;
    const std::int64_t height = header.biHeight;
    const std::int64_t rows = height < 0 ? -height : height;
    if (header.biSize < sizeof(BITMAPINFOHEADER) || header.biPlanes != 1 || header.biBitCount != 32 ||
        header.biCompression != BI_RGB || header.biWidth <= 0 || rows == 0 ||
        header.biWidth > platform::DibSection::kMaxSide || rows > platform::DibSection::kMaxSide) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    auto section = platform::DibSection::Create(header.biWidth, static_cast<int>(rows), height < 0);
    if (!section) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    if (ppvBits)
        *ppvBits = section->Bits();
    return static_cast<HBITMAP>(Objects().table.Insert(Bitmap{std::move(section)}));
}

HBRUSH CreateSolidBrush(COLORREF color) {
    return static_cast<HBRUSH>(Objects().table.Insert(Brush{color}));
}

namespace platform {

std::shared_ptr<DibSection> SelectedDibSection(HDC hdc) {
    auto table = Objects().table.Lock();
    DeviceContext* dc = Find<DeviceContext>(table, hdc);
    if (!dc || !dc->memory)
        return nullptr;
    Bitmap* bitmap = Find<Bitmap>(table, dc->bitmap);
    return bitmap ? bitmap->section : nullptr;
}

std::optional<COLORREF> SolidBrushColor(HBRUSH brush) {
    auto table = Objects().table.Lock();
    Brush* found = Find<Brush>(table, brush);
    return found ? std::optional<COLORREF>(found->color) : std::nullopt;
}

}  // namespace platform
