// PNG files through GDI+'s own encoder and decoder.
#include "platform/png_file.h"

#include "platform/gdiplus.h"

#include <cstring>
#include <vector>

namespace platform {

namespace {

// GDI+ for the length of one call; it counts its starts.
class GdiplusScope {
public:
    GdiplusScope() {
        Gdiplus::GdiplusStartupInput input;
        m_ok = Gdiplus::GdiplusStartup(&m_token, &input, nullptr) == Gdiplus::Ok;
    }
    ~GdiplusScope() {
        if (m_ok) {
            Gdiplus::GdiplusShutdown(m_token);
        }
    }
    GdiplusScope(const GdiplusScope&) = delete;
    GdiplusScope& operator=(const GdiplusScope&) = delete;
    bool Ok() const { return m_ok; }

private:
    ULONG_PTR m_token = 0;
    bool m_ok = false;
};

bool FindPngEncoder(CLSID* clsid) {
    UINT count = 0;
    UINT bytes = 0;
    if (Gdiplus::GetImageEncodersSize(&count, &bytes) != Gdiplus::Ok || bytes == 0) {
        return false;
    }
    std::vector<unsigned char> buffer(bytes);
    auto* encoders = reinterpret_cast<Gdiplus::ImageCodecInfo*>(buffer.data());
    if (Gdiplus::GetImageEncoders(count, bytes, encoders) != Gdiplus::Ok) {
        return false;
    }
    for (UINT i = 0; i < count; ++i) {
        if (encoders[i].MimeType && std::wcscmp(encoders[i].MimeType, L"image/png") == 0) {
            *clsid = encoders[i].Clsid;
            return true;
        }
    }
    return false;
}

}  // namespace

bool SavePng(const LayeredPicture& picture, const std::filesystem::path& file) {
    const int width = picture.size.cx;
    const int height = picture.size.cy;
    if (width <= 0 || height <= 0 ||
        picture.pixels.size() < static_cast<std::size_t>(width) * static_cast<std::size_t>(height)) {
        return false;
    }
    GdiplusScope gdiplus;
    CLSID png{};
    if (!gdiplus.Ok() || !FindPngEncoder(&png)) {
        return false;
    }
    // The bitmap reads the pixels where they are; the encoder unpremultiplies.
    Gdiplus::Bitmap bitmap(width, height, width * 4, PixelFormat32bppPARGB,
                           reinterpret_cast<BYTE*>(const_cast<std::uint32_t*>(picture.pixels.data())));
    return bitmap.GetLastStatus() == Gdiplus::Ok && bitmap.Save(file.c_str(), &png, nullptr) == Gdiplus::Ok;
}

std::optional<LayeredPicture> LoadPng(const std::filesystem::path& file) {
    GdiplusScope gdiplus;
    if (!gdiplus.Ok()) {
        return std::nullopt;
    }
    Gdiplus::Bitmap bitmap(file.c_str());
    GUID format{};
    if (bitmap.GetLastStatus() != Gdiplus::Ok || bitmap.GetRawFormat(&format) != Gdiplus::Ok ||
        format != Gdiplus::ImageFormatPNG) {
        return std::nullopt;
    }
    const int width = static_cast<int>(bitmap.GetWidth());
    const int height = static_cast<int>(bitmap.GetHeight());
    LayeredPicture picture;
    picture.size = SIZE{width, height};
    picture.pixels.resize(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
    // Every file is read the same way, whatever format it had: premultiplied,
    // straight into the picture's rows.
    Gdiplus::BitmapData data{};
    data.Width = static_cast<UINT>(width);
    data.Height = static_cast<UINT>(height);
    data.Stride = width * 4;
    data.PixelFormat = PixelFormat32bppPARGB;
    data.Scan0 = picture.pixels.data();
    Gdiplus::Rect all(0, 0, width, height);
    if (bitmap.LockBits(&all, Gdiplus::ImageLockModeRead | Gdiplus::ImageLockModeUserInputBuf, PixelFormat32bppPARGB,
                        &data) != Gdiplus::Ok) {
        return std::nullopt;
    }
    bitmap.UnlockBits(&data);
    return picture;
}

}  // namespace platform
