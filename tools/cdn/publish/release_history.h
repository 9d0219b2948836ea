// The releases a CDN folder has served, oldest first: after each publish, a
// copy of its answers (and, signed, their release documents) in
// <root>/history/<number>/, outside what the server answers. What each
// release references is found again from its answers (release_bodies.h), so
// that "prune" keeps exactly what the last releases still lead to.
#pragma once

#include <filesystem>
#include <vector>

// Copies the answers now in <root>/answers into the next history entry.
void RecordRelease(const std::filesystem::path& root);

// The history entries, oldest first; empty for a folder without history.
std::vector<std::filesystem::path> ReleaseHistory(const std::filesystem::path& root);
