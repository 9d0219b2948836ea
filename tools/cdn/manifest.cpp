#include "tools/cdn/manifest.h"

#include "codec/md5_functions.h"
#include "codec/path_key.h"
#include "platform/text.h"
#include "tools/cdn/publish_error.h"

std::string ManifestBytes(const std::vector<ManifestEntry>& entries) {
    std::map<std::string, const ManifestEntry*> byKey;
    for (const ManifestEntry& entry : entries) {
        const auto [it, inserted] = byKey.emplace(PathKey(entry.cdnPath), &entry);
        if (!inserted && it->second->cdnPath != entry.cdnPath) {
            throw PublishError("the CDN paths " + platform::ToUtf8(it->second->cdnPath) + " and " +
                               platform::ToUtf8(entry.cdnPath) + " have the same manifest key; rename one of them");
        }
    }
    std::string bytes;
    bytes.reserve(byKey.size() * kManifestRecordSize);
    for (const auto& [key, entry] : byKey) {
        bytes += *BytesFromHex(key);
        bytes.append(reinterpret_cast<const char*>(entry->id.data()), entry->id.size());
    }
    return bytes;
}

std::optional<std::map<std::string, ContentId>> ParseManifest(const std::string& bytes) {
    if (bytes.size() % kManifestRecordSize != 0) {
        return std::nullopt;
    }
    std::map<std::string, ContentId> records;
    for (std::size_t offset = 0; offset < bytes.size(); offset += kManifestRecordSize) {
        const auto* record = reinterpret_cast<const unsigned char*>(bytes.data() + offset);
        ContentId id{};
        std::copy(record + 5, record + kManifestRecordSize, id.begin());
        records[HexEncode(record, 5)] = id;
    }
    return records;
}
