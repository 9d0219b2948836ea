// GDI objects behind opaque handles. Handle values are never reused, so a
// deleted or made-up handle fails instead of reaching another object.
#include "platform/gdi.h"

#include "platform/kernel32.h"
#include "platform/linux/gdi/gdi_objects.h"

#include <cstdint>
#include <mutex>
#include <unordered_map>
#include <variant>

namespace {

struct DeviceContext {
    bool memory;            // false: a window's DC from GetDC
    HWND window;            // GetDC's window
    HGDIOBJ bitmap;         // memory DCs: the selected bitmap
};

struct Bitmap {
    std::shared_ptr<platform::DibSection> section;  // null: the stock 1x1 bitmap
    HDC selectedInto = nullptr;
};

struct Brush {
    COLORREF color;
};

using GdiObject = std::variant<DeviceContext, Bitmap, Brush>;

class HandleTable {
public:
    static HandleTable& Instance() {
        static HandleTable table;
        return table;
    }

    std::mutex& Mutex() { return m_mutex; }

    // The callers below hold Mutex().
    void* Add(GdiObject object) {
        m_next += 4;
        m_objects.emplace(m_next, std::move(object));
        return reinterpret_cast<void*>(m_next);
    }
    template <class T>
    T* Find(const void* handle) {
        auto it = m_objects.find(reinterpret_cast<std::uintptr_t>(handle));
        return it == m_objects.end() ? nullptr : std::get_if<T>(&it->second);
    }
    void Remove(const void* handle) { m_objects.erase(reinterpret_cast<std::uintptr_t>(handle)); }
    HGDIOBJ StockBitmap() const { return m_stockBitmap; }

private:
    HandleTable() { m_stockBitmap = Add(Bitmap{}); }

    std::mutex m_mutex;
    std::unordered_map<std::uintptr_t, GdiObject> m_objects;
    std::uintptr_t m_next = 0x10000;
    HGDIOBJ m_stockBitmap = nullptr;
};

HDC AddDeviceContext(DeviceContext dc) {
    HandleTable& table = HandleTable::Instance();
    std::lock_guard lock(table.Mutex());
    return static_cast<HDC>(table.Add(dc));
}

}  // namespace

HDC GetDC(HWND hWnd) {
    return AddDeviceContext(DeviceContext{false, hWnd, nullptr});
}

int ReleaseDC(HWND hWnd, HDC hDC) {
    HandleTable& table = HandleTable::Instance();
    std::lock_guard lock(table.Mutex());
    DeviceContext* dc = table.Find<DeviceContext>(hDC);
    if (!dc || dc->memory || dc->window != hWnd)
        return 0;
    table.Remove(hDC);
    return 1;
}

HDC CreateCompatibleDC(HDC hdc) {
    HandleTable& table = HandleTable::Instance();
    std::lock_guard lock(table.Mutex());
    if (hdc && !table.Find<DeviceContext>(hdc)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    return static_cast<HDC>(table.Add(DeviceContext{true, nullptr, table.StockBitmap()}));
}

BOOL DeleteDC(HDC hdc) {
    HandleTable& table = HandleTable::Instance();
    std::lock_guard lock(table.Mutex());
    DeviceContext* dc = table.Find<DeviceContext>(hdc);
    if (!dc || !dc->memory)
        return FALSE;
    if (Bitmap* bitmap = table.Find<Bitmap>(dc->bitmap); bitmap && bitmap->selectedInto == hdc)
        bitmap->selectedInto = nullptr;
    table.Remove(hdc);
    return TRUE;
}

HGDIOBJ SelectObject(HDC hdc, HGDIOBJ h) {
    HandleTable& table = HandleTable::Instance();
    std::lock_guard lock(table.Mutex());
    DeviceContext* dc = table.Find<DeviceContext>(hdc);
    Bitmap* bitmap = table.Find<Bitmap>(h);
    if (!dc || !dc->memory || !bitmap || (bitmap->selectedInto && bitmap->selectedInto != hdc))
        return nullptr;
    HGDIOBJ previous = dc->bitmap;
    if (Bitmap* old = table.Find<Bitmap>(previous); old && old->selectedInto == hdc)
        old->selectedInto = nullptr;
    dc->bitmap = h;
    if (bitmap->section)  // the stock bitmap goes into any number of DCs
        bitmap->selectedInto = hdc;
    return previous;
}

BOOL DeleteObject(HGDIOBJ ho) {
    HandleTable& table = HandleTable::Instance();
    std::lock_guard lock(table.Mutex());
    if (ho && ho == table.StockBitmap())
        return TRUE;
    if (Bitmap* bitmap = table.Find<Bitmap>(ho)) {
        if (bitmap->selectedInto)
            return FALSE;
    } else if (!table.Find<Brush>(ho)) {
        return FALSE;
    }
    table.Remove(ho);
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
    HandleTable& table = HandleTable::Instance();
    std::lock_guard lock(table.Mutex());
    return static_cast<HBITMAP>(table.Add(Bitmap{std::move(section)}));
}

HBRUSH CreateSolidBrush(COLORREF color) {
    HandleTable& table = HandleTable::Instance();
    std::lock_guard lock(table.Mutex());
    return static_cast<HBRUSH>(table.Add(Brush{color}));
}

namespace platform {

std::shared_ptr<DibSection> SelectedDibSection(HDC hdc) {
    HandleTable& table = HandleTable::Instance();
    std::lock_guard lock(table.Mutex());
    DeviceContext* dc = table.Find<DeviceContext>(hdc);
    if (!dc || !dc->memory)
        return nullptr;
    Bitmap* bitmap = table.Find<Bitmap>(dc->bitmap);
    return bitmap ? bitmap->section : nullptr;
}

std::optional<COLORREF> SolidBrushColor(HBRUSH brush) {
    HandleTable& table = HandleTable::Instance();
    std::lock_guard lock(table.Mutex());
    Brush* found = table.Find<Brush>(brush);
    return found ? std::optional<COLORREF>(found->color) : std::nullopt;
}

}  // namespace platform
