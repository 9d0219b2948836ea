// The full set of the launcher's pictures.
#pragma once

#include <filesystem>
#include <string>

// Draws every picture the windows load and writes it as PNG, under the name
// the windows load it by, into launcherFolder/LauncherStyles/Image/.
// Returns an empty text on success, else what went wrong.
std::string WriteLauncherPictures(const std::filesystem::path& launcherFolder);
