// The launcher's pictures when the installed ones fail: a window sized by a
// picture that cannot be read would be 1 x 1 and never seen, nor would the
// error dialogs above it.
#pragma once

#include <string>

// The path to load a launcher picture from: `path` itself when it can be
// read as a picture; otherwise the built-in picture of the same name,
// written to the data folder, and a note on stderr. `path` when there is no
// built-in picture of that name or it cannot be written.
std::wstring UsablePicture(const std::wstring& path);
