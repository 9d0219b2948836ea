// Pictures as PNG files, in the form layered windows take them (premultiplied
// ARGB32, top row first): what the headless front end saves for people to
// look at, and what tests write and read back.
#pragma once

#include "platform/layered_picture.h"

#include <filesystem>
#include <optional>

namespace platform {

// Writes the pixels (the constant alpha is not applied); false when the
// picture is empty or the file cannot be written.
bool SavePng(const LayeredPicture& picture, const std::filesystem::path& file);
// Nothing when the file is missing or not a PNG file. A file without alpha
// reads as opaque.
std::optional<LayeredPicture> LoadPng(const std::filesystem::path& file);

}  // namespace platform
