// The objects of one publish. They are packed into a hidden staging folder
// of the output first, because an object's place, tree/<tree id>/<name>,
// depends on every other file of its CDN directory.
#pragma once

#include "tools/cdn/content_id.h"
#include "tools/cdn/manifest.h"
#include "tools/cdn/pack_file.h"

#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <string_view>
#include <vector>

class CdnTree {
public:
    // Creates the staging folder below outRoot, which must exist.
    explicit CdnTree(std::filesystem::path outRoot);
    // Removes the staging folder with whatever was not written out.
    ~CdnTree();
    CdnTree(const CdnTree&) = delete;
    CdnTree& operator=(const CdnTree&) = delete;

    // Throws PublishError when cdnPath is taken already.
    PackedFile AddFile(const std::wstring& cdnPath, const std::filesystem::path& source, Packing packing);
    ContentId AddBytes(const std::wstring& cdnPath, std::string_view bytes);

    // Every object's CDN path and file id.
    std::vector<ManifestEntry> Files() const;
    // Every CDN directory and its tree id: the SHA-1 of its listing (name,
    // NUL, file id, in byte order of the names), so equal directories share
    // one tree and the same input always gives the same ids.
    std::vector<ManifestEntry> Trees() const;

    // Moves every object to tree/<tree id>/<name> and gives those of
    // diffPaths a second name file/<file id>/<name>. Objects already in place
    // are kept when their bytes check out and replaced when not.
    void Write(const std::set<std::wstring>& diffPaths);

private:
    struct StagedObject {
        std::filesystem::path staged;
        ContentId id{};
    };

    std::filesystem::path Reserve(const std::wstring& cdnPath);
    std::map<std::wstring, std::map<std::string, const StagedObject*>> Directories() const;

    std::filesystem::path m_outRoot;
    std::filesystem::path m_staging;
    std::map<std::wstring, StagedObject> m_objects;
};
