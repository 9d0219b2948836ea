// Manifests: 25-byte records, the first 5 bytes of the SHA-1 of a CDN path
// followed by a 20-byte id, with no header or trailer.
#pragma once

#include "tools/cdn/content_id.h"

#include <map>
#include <optional>
#include <string>
#include <vector>

inline constexpr std::size_t kManifestRecordSize = 25;

struct ManifestEntry {
    std::wstring cdnPath;
    ContentId id{};
};

// Records sorted by key, so the same entries always give the same bytes.
// Throws PublishError when two paths share a key: the launcher could not
// tell them apart.
std::string ManifestBytes(const std::vector<ManifestEntry>& entries);

// Key (10 hex characters, as PathKey) to id, the later record winning as in
// the launcher; nullopt when the size is not a multiple of 25.
std::optional<std::map<std::string, ContentId>> ParseManifest(const std::string& bytes);
