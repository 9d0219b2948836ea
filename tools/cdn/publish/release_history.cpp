#include "tools/cdn/publish/release_history.h"

#include "tools/cdn/publish/file_handle.h"

#include <algorithm>
#include <cstdio>
#include <map>
#include <string>
#include <system_error>

namespace fs = std::filesystem;

namespace {

// Fixed width, so that names sort as numbers do.
std::string EntryName(unsigned long number) {
    char name[16];
    std::snprintf(name, sizeof name, "%08lu", number);
    return name;
}

bool IsEntryName(const std::string& name) {
    return name.size() == 8 && std::all_of(name.begin(), name.end(), [](char c) { return c >= '0' && c <= '9'; });
}

}  // namespace

std::vector<fs::path> ReleaseHistory(const fs::path& root) {
    std::vector<fs::path> entries;
    std::error_code error;
    for (fs::directory_iterator it(root / "history", error), end; !error && it != end; it.increment(error)) {
        if (IsEntryName(it->path().filename().string()) && it->is_directory(error)) {
            entries.push_back(it->path());
        }
    }
    std::sort(entries.begin(), entries.end());
    return entries;
}

namespace {

// The files of a folder by name, with their bytes.
std::map<fs::path, std::string> FilesOf(const fs::path& folder) {
    std::map<fs::path, std::string> files;
    std::error_code error;
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
        if (it->is_regular_file(error)) {
            files[it->path().filename()] = ReadWholeFile(it->path());
        }
    }
    return files;
}

}  // namespace

void RecordRelease(const fs::path& root) {
    const std::vector<fs::path> earlier = ReleaseHistory(root);
    const std::map<fs::path, std::string> answers = FilesOf(root / "answers");
    // The same input published again is the same release, not a new one.
    if (!earlier.empty() && FilesOf(earlier.back()) == answers) {
        return;
    }
    const unsigned long next = earlier.empty() ? 1 : std::stoul(earlier.back().filename().string()) + 1;
    const fs::path entry = root / "history" / EntryName(next);
    CreateFolders(entry);
    for (const auto& [name, bytes] : answers) {
        WriteFileAtomically(entry / name, bytes);
    }
}
