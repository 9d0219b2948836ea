#include "tools/headless/window_snapshots.h"

#include "platform/layered_picture.h"
#include "platform/window_automation.h"

#include <cairo.h>

#include <cstdio>
#include <cstring>

namespace {
constexpr auto kMinimumGap = std::chrono::seconds(1);
}

WindowSnapshots::WindowSnapshots(std::filesystem::path folder) : m_folder(std::move(folder))
{
    if (!m_folder.empty()) {
        std::error_code ignored;
        std::filesystem::create_directories(m_folder, ignored);
    }
}

void WindowSnapshots::Take(HWND window, const std::string& name)
{
    if (m_folder.empty() || !window)
        return;
    const auto info = platform::DescribeWindow(window);
    if (!info || !info->visible || !info->picture)
        return;
    Series& series = m_series[name];
    const auto now = std::chrono::steady_clock::now();
    if (series.count >= kLimit || info->picture == series.last ||
        (series.count > 0 && now - series.when < kMinimumGap))
        return;
    char file[64];
    std::snprintf(file, sizeof file, "%s-%02d.png", name.c_str(), series.count + 1);
    if (WriteLayeredPicture(*info->picture, m_folder / file)) {
        series.last = info->picture;
        series.when = now;
        ++series.count;
    }
}

bool WriteLayeredPicture(const platform::LayeredPicture& picture, const std::filesystem::path& file)
{
    const int width = picture.size.cx;
    const int height = picture.size.cy;
    if (width <= 0 || height <= 0 ||
        picture.pixels.size() < static_cast<std::size_t>(width) * static_cast<std::size_t>(height))
        return false;
    // Both are premultiplied 32-bit ARGB in native byte order.
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height);
    const bool ok = [&] {
        if (cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS)
            return false;
        cairo_surface_flush(surface);
        unsigned char* data = cairo_image_surface_get_data(surface);
        const int stride = cairo_image_surface_get_stride(surface);
        for (int y = 0; y < height; ++y)
            std::memcpy(data + static_cast<std::size_t>(y) * stride,
                        picture.pixels.data() + static_cast<std::size_t>(y) * width, static_cast<std::size_t>(width) * 4);
        cairo_surface_mark_dirty(surface);
        return cairo_surface_write_to_png(surface, file.c_str()) == CAIRO_STATUS_SUCCESS;
    }();
    cairo_surface_destroy(surface);
    return ok;
}
