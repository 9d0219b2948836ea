// The ICO container with PNG images inside, as Windows (Vista and later)
// reads it for program icons: a directory of entries, then the PNG files.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct IconImage {
    int size;                       // width and height in pixels, 1 to 256
    std::vector<std::uint8_t> png;  // a whole PNG file of that size
};

// The bytes of an .ico file holding the images in the given order. Throws
// std::invalid_argument for a size outside 1..256 or an empty image.
std::vector<std::uint8_t> IconFileBytes(const std::vector<IconImage>& images);
