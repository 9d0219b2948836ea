// The objects of one publish. They are packed into a hidden staging folder
// of the output first, because an object's place, tree/<tree id>/<name>,
// depends on every other file of its CDN directory.
#pragma once

#include "tools/cdn/publish/content_id.h"
#include "tools/cdn/publish/manifest.h"
#include "tools/cdn/publish/pack_file.h"

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

    // The staging file for cdnPath's object, to be written and then named
    // with Fill. Throws PublishError when cdnPath is taken already.
    std::filesystem::path Reserve(const std::wstring& cdnPath);
    void Fill(const std::wstring& cdnPath, const ContentId& id);

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
    // are kept when their bytes check out and replaced when not. Returns
    // each object's place in the tree, relative to the output root.
    std::map<std::wstring, std::filesystem::path> Write(const std::set<std::wstring>& diffPaths);

private:
    struct StagedObject {
        std::filesystem::path staged;
        ContentId id{};
    };

    std::map<std::wstring, std::map<std::string, const StagedObject*>> Directories() const;

    std::filesystem::path m_outRoot;
    std::filesystem::path m_staging;
    std::map<std::wstring, StagedObject> m_objects;
};
