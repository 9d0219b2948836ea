// The launcher's pictures as the build draws them, carried inside the
// program (the source is generated at build time).
#pragma once

#include <cstddef>

struct BuiltInPicture {
    const wchar_t* name;  // file name under LauncherStyles/Image/
    const unsigned char* png;
    std::size_t size;
};

extern const BuiltInPicture kBuiltInPictures[];
extern const std::size_t kBuiltInPictureCount;
