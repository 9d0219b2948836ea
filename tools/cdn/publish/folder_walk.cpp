#include "tools/cdn/publish/folder_walk.h"

#include "tools/cdn/publish/name_rules.h"

#include <algorithm>

namespace fs = std::filesystem;

namespace {

// What is found wrong is noted and the walk goes on, so that one run names
// every offender.
struct Walker {
    std::vector<SourceFile> files;
    std::vector<std::string>& problems;

    void Refuse(const fs::path& entry, const std::string& reason) {
        problems.push_back(entry.string() + ": " + reason);
    }
    void Walk(const fs::path& folder, const std::string& prefix);
};

void Walker::Walk(const fs::path& folder, const std::string& prefix) {
    std::error_code error;
    std::vector<fs::path> entries;
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
        entries.push_back(it->path());
    }
    if (error) {
        Refuse(folder, "cannot list the folder: " + error.message());
        return;
    }
    // By the names' UTF-8 bytes: the same order on every system.
    std::sort(entries.begin(), entries.end(),
              [](const fs::path& a, const fs::path& b) { return a.filename().u8string() < b.filename().u8string(); });

    for (const fs::path& entry : entries) {
        const std::u8string utf8 = entry.filename().u8string();
        const std::string name(utf8.begin(), utf8.end());
        // A folder refused by its name is not walked: every path below it
        // carries the same name.
        if (const auto problem = NameProblem(name)) {
            Refuse(entry, *problem);
            continue;
        }
        const std::string relative = prefix + name;
        const fs::file_status own = fs::symlink_status(entry, error);
        const fs::file_status target = fs::status(entry, error);
        if (error) {
            Refuse(entry, error.message());
        } else if (fs::is_directory(target)) {
            if (fs::is_symlink(own)) {
                Refuse(entry, "a link to a folder is not followed");
            } else {
                Walk(entry, relative + "/");
            }
        } else if (fs::is_regular_file(target)) {
            const std::uintmax_t size = fs::file_size(entry, error);
            if (error) {
                Refuse(entry, error.message());
            } else {
                files.push_back({relative, entry, size});
            }
        } else {
            Refuse(entry, "neither a file nor a folder");
        }
    }
}

}  // namespace

std::vector<SourceFile> ListFiles(const fs::path& root, std::string_view what, std::vector<std::string>& problems) {
    std::error_code error;
    if (!fs::is_directory(root, error)) {
        problems.push_back(std::string(what) + " " + root.string() + " is not a folder");
        return {};
    }
    Walker walker{{}, problems};
    walker.Walk(root, "");
    return std::move(walker.files);
}
