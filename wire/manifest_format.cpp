#include "wire/manifest_format.h"

#include "codec/md5_functions.h"

#include <algorithm>
#include <stdexcept>

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
        unsigned char keyBytes[kManifestKeySize];
        if (!HexDecode(key, keyBytes, kManifestKeySize))
            throw std::invalid_argument("a manifest key is 10 lowercase hex characters, not \"" + key + "\"");
        bytes.append(reinterpret_cast<const char*>(keyBytes), kManifestKeySize);
        bytes.append(reinterpret_cast<const char*>(id.data()), id.size());
    }
    return bytes;
}
