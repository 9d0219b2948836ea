// What each packed object of a CDN folder was made from: the digest of its
// source and the packer's settings. A later publish that meets the same
// source and settings takes the object as it is instead of packing again.
// Kept in <root>/packing/sources, outside what the server answers.
#pragma once

#include "tools/cdn/publish/content_id.h"
#include "tools/cdn/publish/pack_file.h"

#include <filesystem>
#include <map>
#include <string>
#include <vector>

class PackRecords {
public:
    struct Object {
        std::filesystem::path file;
        ContentId id{};
    };

    // Adds the records of a published folder; a folder without any, or with
    // lines that do not parse, only offers fewer objects: they are a cache.
    void Load(const std::filesystem::path& root);
    bool Empty() const { return m_offered.empty(); }

    // Objects recorded as made from this source with these settings, those of
    // the folders loaded first first. They may have changed since: the caller
    // checks their bytes against the id.
    std::vector<Object> Find(const SourceDigest& source, const std::string& packer) const;

    // Records that `place` (relative to the root saved to) holds the object
    // made from source with packer.
    void Add(const SourceDigest& source, const std::string& packer, const ContentId& id,
             const std::filesystem::path& place);

    // Writes the records loaded from root and those added, replacing its
    // earlier file at once.
    void Save(const std::filesystem::path& root) const;

private:
    struct Placed {
        ContentId id{};
        std::filesystem::path place;
    };
    static std::map<std::string, Placed> Read(const std::filesystem::path& root);

    std::multimap<std::string, Object> m_offered;
    std::map<std::filesystem::path, std::map<std::string, Placed>> m_loaded;
    std::map<std::string, Placed> m_added;
};
