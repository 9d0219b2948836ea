// The publisher's manifests: records named by CDN path, whose keys must
// tell every path apart.
#pragma once

#include "tools/cdn/publish/content_id.h"
#include "wire/manifest_format.h"

#include <map>
#include <optional>
#include <string>
#include <vector>

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
