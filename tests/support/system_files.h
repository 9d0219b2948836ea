// Files and counts a test needs from the operating system itself: a file
// that refuses every byte written to it, one that reads as empty, a file
// that is neither a regular file, a folder nor a link, and how many files
// this process holds open. The interface is the same everywhere; each
// system has an implementation file of its own (system_files_posix.cpp).
#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>

namespace testsupport {

// A file that opens for writing and refuses every byte; nothing where the
// system has none, and the test skips.
std::optional<std::filesystem::path> FullDevice();

// A file that opens for reading and reads as empty.
std::filesystem::path NullDevice();

// Makes a special file at `path` (a named pipe): listing a folder sees it,
// opening it for reading would block. False where the system cannot make one.
bool MakeSpecialFile(const std::filesystem::path& path);

// Files, pipes and sockets this process holds open: shows whether a stopped
// thread closed what it opened. Nothing when the system cannot tell.
std::optional<std::size_t> OpenFileCount();

}  // namespace testsupport
