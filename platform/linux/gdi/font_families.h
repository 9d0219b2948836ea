// Internal to the stand-in: which installed fonts stand for a Windows font
// family.
#pragma once

#include <string>
#include <string_view>

namespace platform {

// A pango family list (comma-separated) for a Windows family name. The
// Chinese families of the message table and their English names map to
// installed CJK fonts; any other name is tried as it stands. Every list ends
// in a sans-serif CJK font, so Chinese text always finds its glyphs.
std::string PangoFamiliesFor(std::wstring_view windowsFamily);

}  // namespace platform
