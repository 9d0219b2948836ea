#include "tools/styles/icon_file.h"

#include <stdexcept>

namespace {

void PutLittleEndian(std::vector<std::uint8_t>& out, std::uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i)
        out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

}  // namespace

std::vector<std::uint8_t> IconFileBytes(const std::vector<IconImage>& images) {
    constexpr std::uint32_t kHeaderSize = 6;
    constexpr std::uint32_t kEntrySize = 16;
    std::vector<std::uint8_t> out;
    PutLittleEndian(out, 0, 2);  // reserved
    PutLittleEndian(out, 1, 2);  // 1: icons, not cursors
    PutLittleEndian(out, static_cast<std::uint32_t>(images.size()), 2);
    std::uint32_t offset = kHeaderSize + kEntrySize * static_cast<std::uint32_t>(images.size());
    for (const IconImage& image : images) {
        if (image.size < 1 || image.size > 256 || image.png.empty())
            throw std::invalid_argument("an icon image is 1 to 256 pixels and not empty");
        // One byte per side: 256 is written as 0.
        const std::uint32_t side = image.size == 256 ? 0 : static_cast<std::uint32_t>(image.size);
        PutLittleEndian(out, side, 1);
        PutLittleEndian(out, side, 1);
        PutLittleEndian(out, 0, 1);   // no palette
        PutLittleEndian(out, 0, 1);   // reserved
        PutLittleEndian(out, 1, 2);   // planes
        PutLittleEndian(out, 32, 2);  // bits per pixel: the PNGs carry alpha
        PutLittleEndian(out, static_cast<std::uint32_t>(image.png.size()), 4);
        PutLittleEndian(out, offset, 4);
        offset += static_cast<std::uint32_t>(image.png.size());
    }
    for (const IconImage& image : images)
        out.insert(out.end(), image.png.begin(), image.png.end());
    return out;
}
