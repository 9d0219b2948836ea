#include "tools/cdn/publish/manifest.h"

#include "codec/path_key.h"
#include "platform/text.h"
#include "tools/cdn/publish/publish_error.h"

std::string ManifestBytes(const std::vector<ManifestEntry>& entries) {
    std::map<std::string, const ManifestEntry*> byKey;
    for (const ManifestEntry& entry : entries) {
        const auto [it, inserted] = byKey.emplace(PathKey(entry.cdnPath), &entry);
        if (!inserted && it->second->cdnPath != entry.cdnPath) {
            throw PublishError("the CDN paths " + platform::ToUtf8(it->second->cdnPath) + " and " +
                               platform::ToUtf8(entry.cdnPath) + " have the same manifest key; rename one of them");
        }
    }
    std::map<std::string, ManifestId> records;
    for (const auto& [key, entry] : byKey) {
        records.emplace(key, entry->id);
    }
    return ManifestBytes(records);
}

std::optional<std::map<std::string, ContentId>> ParseManifest(const std::string& bytes) {
    std::map<std::string, ContentId> records;
    if (!ReadManifestRecords(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(),
                             [&](const std::string& key, const ManifestId& id) { records[key] = id; })) {
        return std::nullopt;
    }
    return records;
}
