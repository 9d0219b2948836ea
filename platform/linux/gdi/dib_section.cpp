#include "platform/linux/gdi/dib_section.h"

#include <new>

namespace platform {

std::shared_ptr<DibSection> DibSection::Create(int width, int height, bool topDown) {
    if (width <= 0 || height <= 0 || width > kMaxSide || height > kMaxSide)
        return nullptr;
    const std::size_t count = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
    std::unique_ptr<std::uint32_t[]> pixels;
    try {
        pixels = std::make_unique<std::uint32_t[]>(count);  // zero-filled, transparent
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
    CairoSurfacePtr surface(cairo_image_surface_create_for_data(reinterpret_cast<unsigned char*>(pixels.get()),
                                                                CAIRO_FORMAT_ARGB32, width, height, width * 4));
    if (cairo_surface_status(surface.get()) != CAIRO_STATUS_SUCCESS)
        return nullptr;
    return std::make_shared<DibSection>(Token(), width, height, topDown, std::move(pixels), std::move(surface));
}

DibSection::DibSection(Token, int width, int height, bool topDown, std::unique_ptr<std::uint32_t[]> pixels,
                       CairoSurfacePtr surface)
    : m_width(width),
      m_height(height),
      m_topDown(topDown),
      m_pixels(std::move(pixels)),
      m_surface(std::move(surface)) {}

std::uint32_t* DibSection::PictureRow(int y) const {
    const int row = m_topDown ? y : m_height - 1 - y;
    return m_pixels.get() + static_cast<std::size_t>(row) * static_cast<std::size_t>(m_width);
}

CairoContextPtr DibSection::CreateContext() const {
    cairo_surface_mark_dirty(m_surface.get());
    CairoContextPtr context(cairo_create(m_surface.get()));
    // Cairo's rows run top-down in memory. For a bottom-up section the whole
    // user space is mirrored instead of the pixels copied, so every drawing
    // lands directly in the memory that the layered window reads.
    if (!m_topDown) {
        cairo_translate(context.get(), 0, m_height);
        cairo_scale(context.get(), 1, -1);
    }
    return context;
}

void DibSection::Flush() const {
    cairo_surface_flush(m_surface.get());
}

}  // namespace platform
