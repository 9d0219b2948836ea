// The files of a folder to publish, in a fixed order so that the same folder
// always gives the same md5 list and the same trees.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

struct SourceFile {
    std::string relative;  // UTF-8, "/" between components
    std::filesystem::path file;
    std::uintmax_t size = 0;
};

// Every regular file below root, depth first, each folder's entries in byte
// order of their names. Symbolic links to files are followed. What cannot be
// published is added to problems, one line each, and the walk goes on, so
// that one run names every offender: a missing root, an unreadable folder, a
// name the format cannot carry (NameProblem), a link to a folder (it could
// loop) and anything that is neither file nor folder (a FIFO would block the
// publish). what names the folder in messages ("launcher folder").
std::vector<SourceFile> ListFiles(const std::filesystem::path& root, std::string_view what,
                                  std::vector<std::string>& problems);
