#include "wire/manifest_format.h"

#include "codec/md5_functions.h"

#include <algorithm>
#include <stdexcept>

namespace {

int HexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

}  // namespace

bool ReadManifestRecords(const unsigned char* pbyData, std::size_t cbData,
                         const std::function<void(const std::string& key, const ManifestId& id)>& record) {
    if (cbData % kManifestRecordSize != 0)
        return false;
    for (std::size_t offset = 0; offset < cbData; offset += kManifestRecordSize) {
        ManifestId id{};
        std::copy_n(pbyData + offset + kManifestKeySize, kManifestIdSize, id.begin());
        record(HexEncode(pbyData + offset, kManifestKeySize), id);
    }
    return true;
}

std::string ManifestBytes(const std::map<std::string, ManifestId>& records) {
    std::string bytes;
    bytes.reserve(records.size() * kManifestRecordSize);
    for (const auto& [key, id] : records) {
        const bool hex = key.size() == 2 * kManifestKeySize &&
                         std::all_of(key.begin(), key.end(), [](char c) { return HexDigit(c) >= 0; });
        if (!hex)
            throw std::invalid_argument("a manifest key is 10 hex characters, not \"" + key + "\"");
        for (std::size_t i = 0; i < key.size(); i += 2)
            bytes += static_cast<char>(HexDigit(key[i]) * 16 + HexDigit(key[i + 1]));
        bytes.append(reinterpret_cast<const char*>(id.data()), id.size());
    }
    return bytes;
}
