// A manifest as the server sends it: 25-byte records of a 5-byte path key
// and a 20-byte id. A body of whole records gives one entry per distinct
// key, as hexadecimal text; any other body gives none.
#include "fuzz/require.h"
#include "update/manifest.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <map>
#include <string>

namespace {

constexpr std::size_t kRecordSize = 25;

bool IsLowerHex(const std::string& text, std::size_t length) {
    return text.size() == length && std::all_of(text.begin(), text.end(), [](char ch) {
               return (ch >= '0' && ch <= '9') || (ch >= 'a' && ch <= 'f');
           });
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::map<std::string, std::string> map;
    ParseManifest(data, size, map);
    if (size % kRecordSize != 0) {
        FUZZ_REQUIRE(map.empty());
        return 0;
    }
    FUZZ_REQUIRE(map.size() <= size / kRecordSize && map.empty() == (size == 0));
    for (const auto& [key, id] : map)
        FUZZ_REQUIRE(IsLowerHex(key, 10) && IsLowerHex(id, 40));
    return 0;
}
