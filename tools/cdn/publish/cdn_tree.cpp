#include "tools/cdn/publish/cdn_tree.h"

#include "platform/kernel32.h"
#include "platform/text.h"
#include "tools/cdn/publish/cdn_paths.h"
#include "tools/cdn/publish/file_handle.h"
#include "tools/cdn/publish/publish_error.h"

namespace fs = std::filesystem;

namespace {

bool HoldsObject(const fs::path& file, const ContentId& id) {
    std::error_code error;
    return fs::is_regular_file(fs::symlink_status(file, error)) && Sha1OfFile(file) == id;
}

}  // namespace

CdnTree::CdnTree(fs::path outRoot)
    : m_outRoot(std::move(outRoot)), m_staging(m_outRoot / (".staging-" + std::to_string(GetCurrentProcessId()))) {
    std::error_code error;
    fs::remove_all(m_staging, error);
    CreateFolders(m_staging);
}

CdnTree::~CdnTree() {
    std::error_code ignored;
    fs::remove_all(m_staging, ignored);
}

fs::path CdnTree::Reserve(const std::wstring& cdnPath) {
    if (m_objects.count(cdnPath)) {
        throw PublishError("two published files would share the CDN path " + platform::ToUtf8(cdnPath));
    }
    const fs::path staged = m_staging / std::to_string(m_objects.size());
    m_objects[cdnPath].staged = staged;
    return staged;
}

void CdnTree::Fill(const std::wstring& cdnPath, const ContentId& id) {
    m_objects.at(cdnPath).id = id;
}

PackedFile CdnTree::AddFile(const std::wstring& cdnPath, const fs::path& source, Packing packing) {
    const fs::path staged = Reserve(cdnPath);
    const PackedFile packed = PackFile(source, staged, packing);
    Fill(cdnPath, packed.id);
    return packed;
}

ContentId CdnTree::AddBytes(const std::wstring& cdnPath, std::string_view bytes) {
    const fs::path staged = Reserve(cdnPath);
    WriteFileAtomically(staged, bytes);
    const ContentId id = Sha1Of(bytes);
    Fill(cdnPath, id);
    return id;
}

std::vector<ManifestEntry> CdnTree::Files() const {
    std::vector<ManifestEntry> files;
    for (const auto& [cdnPath, object] : m_objects) {
        files.push_back({cdnPath, object.id});
    }
    return files;
}

std::map<std::wstring, std::map<std::string, const CdnTree::StagedObject*>> CdnTree::Directories() const {
    std::map<std::wstring, std::map<std::string, const StagedObject*>> directories;
    for (const auto& [cdnPath, object] : m_objects) {
        directories[DirectoryOf(cdnPath)][platform::ToUtf8(FileNameOf(cdnPath))] = &object;
    }
    return directories;
}

std::vector<ManifestEntry> CdnTree::Trees() const {
    std::vector<ManifestEntry> trees;
    for (const auto& [directory, names] : Directories()) {
        std::string listing;
        for (const auto& [name, object] : names) {
            listing += name + '\0';
            listing.append(reinterpret_cast<const char*>(object->id.data()), object->id.size());
        }
        trees.push_back({directory, Sha1Of(listing)});
    }
    return trees;
}

std::map<std::wstring, fs::path> CdnTree::Write(const std::set<std::wstring>& diffPaths) {
    std::map<std::wstring, fs::path> places;
    std::map<std::wstring, ContentId> treeIds;
    for (const ManifestEntry& tree : Trees()) {
        treeIds[tree.cdnPath] = tree.id;
    }
    for (const auto& [cdnPath, object] : m_objects) {
        const std::string name = platform::ToUtf8(FileNameOf(cdnPath));
        const fs::path place = fs::path("tree") / ToHex(treeIds.at(DirectoryOf(cdnPath))) / PathFromUtf8(name);
        const fs::path folder = m_outRoot / place.parent_path();
        const fs::path placed = m_outRoot / place;
        places[cdnPath] = place;
        CreateFolders(folder);
        if (!HoldsObject(placed, object.id)) {
            std::error_code error;
            fs::rename(object.staged, placed, error);
            if (error) {
                throw PublishError("cannot write " + placed.string() + ": " + error.message());
            }
        }
        if (diffPaths.count(cdnPath)) {
            const fs::path fileFolder = m_outRoot / "file" / ToHex(object.id);
            CreateFolders(fileFolder);
            if (!HoldsObject(fileFolder / PathFromUtf8(name), object.id)) {
                LinkOrCopy(placed, fileFolder / PathFromUtf8(name));
            }
        }
    }
    return places;
}
