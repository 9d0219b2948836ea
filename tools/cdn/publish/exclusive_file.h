// Files that must not replace anything: a new key pair never overwrites an
// older key, which may be the only copy of what players' launchers trust.
#pragma once

#include "tools/cdn/publish/file_handle.h"

#include <filesystem>

enum class FileReaders {
    Anyone,     // as the umask allows
    OwnerOnly,  // a private key: no moment when another user could open it
};

// A file that did not exist, created in one step, open for writing. Throws
// PublishError naming the file when it exists already or cannot be created.
// On Windows the file takes its folder's access rules; readers does not apply.
FileHandle CreateNewFile(const std::filesystem::path& file, FileReaders readers);
