// Paths from the server (md5 list entries, the answer's cdn_path) end up in
// local file names. Only plain relative paths may: nothing absolute, no drive
// or root prefix, no ".." component, so no entry reaches outside its folder.
#pragma once

#include <string>

bool IsSafeRelativePath(const std::wstring& path);

// An md5 list entry's path: safe, and with no empty component, so that no
// prefix the launcher strips off leaves an absolute name ("launcher//x"), and
// the name that is downloaded is the name that is compared.
bool IsSafeListPath(const std::wstring& path);
