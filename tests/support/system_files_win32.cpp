// The system's files for tests on Windows: an empty file for the null
// device, and the process's handle count for open files.
#include "tests/support/system_files.h"

#include "tests/support/test_files.h"

#include <windows.h>

namespace testsupport {

std::optional<std::filesystem::path> FullDevice() {
    return std::nullopt;  // Windows has no device that refuses writes
}

// NUL is no file to the file functions (it does not exist for them); an
// empty file shared by the test programs reads the same.
std::filesystem::path NullDevice() {
    const std::filesystem::path empty = std::filesystem::temp_directory_path() / "quillmoor-test-empty";
    std::error_code error;
    if (std::filesystem::file_size(empty, error) != 0 || error)
        WriteBytes(empty, "");
    return empty;
}

bool MakeSpecialFile(const std::filesystem::path&) {
    return false;
}

// Every kernel handle, files among them: tests compare counts around a step
// that opens and closes files, with no other thread starting or ending.
// Wine reports 0 handles for every process: it cannot tell there.
std::optional<std::size_t> OpenFileCount() {
    DWORD count = 0;
    if (!GetProcessHandleCount(GetCurrentProcess(), &count) || count == 0)
        return std::nullopt;
    return count;
}

}  // namespace testsupport
