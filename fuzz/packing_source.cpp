#include "fuzz/packing_source.h"

namespace fuzz {

std::string PackingSource(const std::uint8_t* data, std::size_t size) {
    if (size == 0)
        return {};
    const std::string body(reinterpret_cast<const char*>(data) + 1, size - 1);
    std::string source;
    for (unsigned copies = 0; copies <= data[0] && source.size() < kMaxPackingSource; ++copies)
        source += body;
    if (source.size() > kMaxPackingSource)
        source.resize(kMaxPackingSource);
    return source;
}

}  // namespace fuzz
