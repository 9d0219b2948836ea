// Pictures are read whole, checked, and decoded by cairo's PNG reader into
// a premultiplied ARGB32 surface.
#include "platform/gdiplus_image.h"

#include "platform/linux/gdi/gdiplus_state.h"
#include "platform/linux/gdi/image_picture.h"
#include "platform/text.h"

#include <cairo.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>

namespace {

using Gdiplus::Status;

constexpr std::string_view kPngSignature("\x89PNG\r\n\x1a\n", 8);
// A picture of the launcher is a few hundred pixels each way; anything far
// beyond this is a broken or hostile file, not worth gigabytes of memory.
constexpr std::uint64_t kMaxPixels = 64ull * 1024 * 1024;

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

Status StatusFromErrno(int error) {
    switch (error) {
        case ENOENT:
        case ENOTDIR:
        case ENAMETOOLONG:
            return Gdiplus::FileNotFound;
        case EACCES:
        case EPERM:
            return Gdiplus::AccessDenied;
        case ENOMEM:
            return Gdiplus::OutOfMemory;
        default:
            return Gdiplus::Win32Error;
    }
}

Status ReadWholeFile(const std::string& path, std::string& bytes) {
    std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "rb"));
    if (!file)
        return StatusFromErrno(errno);
    struct stat info {};
    if (fstat(fileno(file.get()), &info) != 0)
        return StatusFromErrno(errno);
    if (!S_ISREG(info.st_mode))
        return Gdiplus::FileNotFound;
    char buffer[65536];
    std::size_t count;
    while ((count = std::fread(buffer, 1, sizeof buffer, file.get())) > 0)
        bytes.append(buffer, count);
    return std::ferror(file.get()) ? Gdiplus::Win32Error : Gdiplus::Ok;
}

std::uint32_t BigEndian32(std::string_view bytes, std::size_t offset) {
    auto byte = [&](std::size_t i) {
        return static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[offset + i]));
    };
    return byte(0) << 24 | byte(1) << 16 | byte(2) << 8 | byte(3);
}

// The signature, then the header chunk with the size, which comes first in
// every PNG file.
Status CheckPngHeader(std::string_view bytes) {
    if (bytes.size() < 24 || bytes.substr(0, 8) != kPngSignature || bytes.substr(12, 4) != "IHDR")
        return Gdiplus::UnknownImageFormat;
    const std::uint64_t width = BigEndian32(bytes, 16);
    const std::uint64_t height = BigEndian32(bytes, 20);
    return width * height > kMaxPixels ? Gdiplus::OutOfMemory : Gdiplus::Ok;
}

struct MemoryReader {
    std::string_view rest;

    static cairo_status_t Read(void* closure, unsigned char* data, unsigned int length) {
        auto* reader = static_cast<MemoryReader*>(closure);
        if (reader->rest.size() < length)
            return CAIRO_STATUS_READ_ERROR;
        std::memcpy(data, reader->rest.data(), length);
        reader->rest.remove_prefix(length);
        return CAIRO_STATUS_SUCCESS;
    }
};

}  // namespace

namespace Gdiplus {

Image::Image(const WCHAR* filename, BOOL) {
    if (!platform::GdiplusRunning()) {
        m_lastResult = GdiplusNotInitialized;
        return;
    }
    if (!filename) {
        m_lastResult = InvalidParameter;
        return;
    }
    std::string bytes;
    Status status = ReadWholeFile(platform::NativePath(filename), bytes);
    if (status == Ok)
        status = CheckPngHeader(bytes);
    if (status != Ok) {
        m_lastResult = status;
        return;
    }
    MemoryReader reader{bytes};
    platform::CairoSurfacePtr surface(cairo_image_surface_create_from_png_stream(&MemoryReader::Read, &reader));
    switch (cairo_surface_status(surface.get())) {
        case CAIRO_STATUS_SUCCESS:
            m_picture = std::make_unique<platform::ImagePicture>(platform::ImagePicture{std::move(surface)});
            break;
        case CAIRO_STATUS_NO_MEMORY:
            m_lastResult = OutOfMemory;
            break;
        default:
            m_lastResult = UnknownImageFormat;
            break;
    }
}

Image::~Image() = default;

UINT Image::GetWidth() {
    return m_picture ? static_cast<UINT>(cairo_image_surface_get_width(m_picture->surface.get())) : 0;
}

UINT Image::GetHeight() {
    return m_picture ? static_cast<UINT>(cairo_image_surface_get_height(m_picture->surface.get())) : 0;
}

Status Image::GetLastStatus() const {
    Status status = m_lastResult;
    m_lastResult = Ok;
    return status;
}

}  // namespace Gdiplus
