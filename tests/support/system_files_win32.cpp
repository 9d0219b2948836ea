// The system's files for tests on Windows: an empty file for the null
// device, and the C runtime's descriptors for open files.
#include "tests/support/system_files.h"

#include "tests/support/test_files.h"

#include <io.h>

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

// The C runtime's open descriptors, through which the code under test opens
// its files (the kernel's handle count is no measure under Wine, which
// reports 0 handles for every process).
std::optional<std::size_t> OpenFileCount() {
    std::size_t count = 0;
    for (int descriptor = 0; descriptor < 2048; ++descriptor) {
        if (_get_osfhandle(descriptor) != -1)
            ++count;
    }
    return count;
}

}  // namespace testsupport
