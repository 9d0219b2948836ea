// The launcher's program icon: a quill on a gilded disc, drawn at every size
// Windows asks for, from the small title-bar icon to the large tile.
#pragma once

#include <cairo.h>

#include <filesystem>
#include <string>

// The pixel sizes written into the icon file, smallest first.
inline constexpr int kLauncherIconSizes[] = {16, 20, 24, 32, 40, 48, 64, 128, 256};

// Draws the icon into a size x size target.
void DrawLauncherIcon(cairo_t* cr, int size);

// Writes the icon at every size of kLauncherIconSizes as one .ico file.
// Returns an empty text on success, else what went wrong.
std::string WriteLauncherIcon(const std::filesystem::path& iconFile);
