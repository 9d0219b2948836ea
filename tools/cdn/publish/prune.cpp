#include "tools/cdn/publish/prune.h"

#include "codec/md5_functions.h"
#include "tools/cdn/publish/file_handle.h"
#include "tools/cdn/publish/publish_error.h"
#include "tools/cdn/publish/release_bodies.h"
#include "tools/cdn/publish/release_history.h"
#include "wire/manifest_format.h"

#include <set>
#include <string>
#include <system_error>
#include <vector>

namespace fs = std::filesystem;

namespace {

// The folders the server answers from; everything else is the publisher's.
constexpr const char* kServedFolders[] = {"index", "diff", "file", "tree"};

std::string Relative(const fs::path& file, const fs::path& root) {
    const std::u8string generic = fs::relative(file, root).generic_u8string();
    return std::string(generic.begin(), generic.end());
}

// What a kept release needs: each body its answers lead to, and every
// folder its manifests name whole. A later publish names a tree again by its
// id and takes the folder as written, so a tree is kept or goes as one.
struct Referenced {
    std::set<std::string> bodies;
    std::set<std::string> folders;  // "tree/<id>", "file/<id>"

    bool Holds(const std::string& file) const {
        return bodies.count(file) != 0 || folders.count(file.substr(0, file.rfind('/'))) != 0;
    }
};

void AddFoldersOf(const fs::path& root, const std::string& manifest, const std::string& kind, Referenced& referenced) {
    const std::string bytes = ReadWholeFile(root / PathFromUtf8(manifest));
    ReadManifestRecords(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(),
                        [&](const std::string&, const ManifestId& id) {
                            referenced.folders.insert(kind + "/" + HexEncode(id.data(), id.size()));
                        });
}

// Adds what the answers in folder lead to, read from root.
void AddReferenced(const fs::path& root, const fs::path& folder, Referenced& referenced) {
    std::error_code error;
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
        const fs::path& file = it->path();
        const std::string stem = file.stem().string();
        if (file.extension() != ".txt" || !it->is_regular_file(error)) {
            continue;
        }
        const bool launcher = stem.rfind("launcher-", 0) == 0;
        if (!launcher && stem != "client") {
            continue;
        }
        const auto bodies = ReleaseBodies(root, launcher ? ReleaseKind::Launcher : ReleaseKind::Client,
                                          launcher ? stem.substr(9) : std::string(), ReadWholeFile(file));
        for (const auto& [path, body] : bodies) {
            referenced.bodies.insert(path);
            if (path.rfind("index/", 0) == 0) {
                AddFoldersOf(root, path, "tree", referenced);
            } else if (path.rfind("diff/", 0) == 0) {
                AddFoldersOf(root, path, "file", referenced);
            }
        }
    }
}

// What removing the file frees: a second name of an object (file/) frees
// its bytes only with the last name.
std::uint64_t FreedBy(const fs::path& file) {
    std::error_code error;
    const std::uint64_t size = fs::file_size(file, error);
    const std::uintmax_t links = fs::hard_link_count(file, error);
    return error || links == 0 ? size : size / links;
}

void RemoveEmptyFolders(const fs::path& folder) {
    std::error_code error;
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
        if (it->is_directory(error)) {
            RemoveEmptyFolders(it->path());
            fs::remove(it->path(), error);  // fails, as it should, when not empty
        }
    }
}

}  // namespace

PruneSummary Prune(const PruneOptions& options, std::ostream& log) {
    const fs::path& root = options.outDir;
    const std::vector<fs::path> history = ReleaseHistory(root);
    if (history.empty()) {
        throw PublishError(root.string() +
                           " has no release history (history/): publish into it once more, which starts one; "
                           "nothing was removed");
    }
    if (options.keep == 0) {
        throw PublishError("--keep must keep at least the current release");
    }
    const std::size_t firstKept = history.size() > options.keep ? history.size() - options.keep : 0;

    // Everything is read before anything goes: a kept release that cannot
    // be followed stops the prune whole.
    Referenced referenced;
    AddReferenced(root, root / "answers", referenced);
    for (std::size_t i = firstKept; i < history.size(); ++i) {
        AddReferenced(root, history[i], referenced);
    }
    std::vector<fs::path> unreferenced;
    std::error_code error;
    for (const char* folder : kServedFolders) {
        for (fs::recursive_directory_iterator it(root / folder, error), end; !error && it != end; it.increment(error)) {
            if (it->is_regular_file(error) && !referenced.Holds(Relative(it->path(), root))) {
                unreferenced.push_back(it->path());
            }
        }
    }

    const char* verb = options.dryRun ? "would remove " : "removed ";
    PruneSummary summary;
    for (const fs::path& file : unreferenced) {
        const std::uint64_t freed = FreedBy(file);
        if (!options.dryRun && !fs::remove(file, error)) {
            throw PublishError("cannot remove " + file.string() + ": " + error.message());
        }
        ++summary.files;
        summary.bytes += freed;
        log << verb << Relative(file, root) << '\n';
    }
    for (std::size_t i = 0; i < firstKept; ++i) {
        if (!options.dryRun) {
            fs::remove_all(history[i], error);
        }
        log << verb << "history entry " << Relative(history[i], root) << '\n';
    }
    if (!options.dryRun) {
        for (const char* folder : kServedFolders) {
            RemoveEmptyFolders(root / folder);
        }
    }
    log << (options.dryRun ? "would free " : "freed ") << summary.bytes << " bytes in " << summary.files
        << " files; kept what the last " << (history.size() - firstKept) << " releases and the current answers lead to"
        << (options.dryRun ? " (--dry-run: nothing was removed)" : "") << '\n';
    return summary;
}
