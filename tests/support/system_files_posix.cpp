// The system's files for tests on Linux: device files, named pipes and
// /proc's list of descriptors.
#include "tests/support/system_files.h"

#include <sys/stat.h>

#include <iterator>
#include <system_error>

namespace testsupport {

std::optional<std::filesystem::path> FullDevice() {
    const std::filesystem::path device = "/dev/full";
    std::error_code error;
    if (!std::filesystem::exists(device, error))
        return std::nullopt;
    return device;
}

std::filesystem::path NullDevice() {
    return "/dev/null";
}

bool MakeSpecialFile(const std::filesystem::path& path) {
    return ::mkfifo(path.c_str(), 0600) == 0;
}

std::optional<std::size_t> OpenFileCount() {
    std::error_code error;
    const std::filesystem::directory_iterator descriptors("/proc/self/fd", error);
    if (error)
        return std::nullopt;
    return static_cast<std::size_t>(
        std::distance(std::filesystem::begin(descriptors), std::filesystem::end(descriptors)));
}

}  // namespace testsupport
