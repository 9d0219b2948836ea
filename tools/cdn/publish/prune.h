// "prune": removes from a CDN folder the objects, manifests and md5 lists
// that none of its last releases references, with the history entries of
// the releases before them. A release references the bodies its answers
// lead to and, whole, each tree its index and each file folder its diff
// names. What the current answers reference always stays.
#pragma once

#include <cstdint>
#include <filesystem>
#include <ostream>

struct PruneOptions {
    std::filesystem::path outDir;
    unsigned keep = 0;  // the last releases whose bodies stay; at least 1
    bool dryRun = false;
};

struct PruneSummary {
    std::size_t files = 0;  // removed, or that would be
    std::uint64_t bytes = 0;
};

// Prints each file removed (relative to the folder) and the space freed to
// log. Throws PublishError for a folder without history, or when a kept
// release leads to a body the folder lacks: then nothing is removed.
PruneSummary Prune(const PruneOptions& options, std::ostream& log);
