// GDI+ pictures loaded from PNG files.
#pragma once

#include "platform/gdiplus_types.h"

#ifndef _WIN32
#include <memory>

namespace platform {
// The decoded picture; what holds it is the implementation's business.
struct ImagePicture;
}  // namespace platform

namespace Gdiplus {

class Graphics;

class Image {
public:
    // The object exists whatever happens; a file that cannot be read leaves
    // it empty: GetLastStatus tells why, its size is 0 x 0 and drawing it
    // draws nothing. '\' and '/' both separate folders.
    Image(const WCHAR* filename, BOOL useEmbeddedColorManagement = FALSE);
    virtual ~Image();
    Image(const Image&) = delete;
    Image& operator=(const Image&) = delete;

    UINT GetWidth();
    UINT GetHeight();
    // The last failure, which this call then forgets.
    Status GetLastStatus() const;

private:
    friend class Graphics;

    std::unique_ptr<platform::ImagePicture> m_picture;  // null when loading failed
    mutable Status m_lastResult = Ok;
};

class Bitmap : public Image {
public:
    Bitmap(const WCHAR* filename, BOOL useEmbeddedColorManagement = FALSE)
        : Image(filename, useEmbeddedColorManagement) {}
};

}  // namespace Gdiplus
#endif
