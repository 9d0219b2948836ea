#include "app/copied_folder.h"

#include "platform/text.h"

#include <algorithm>
#include <array>
#include <filesystem>
#include <fstream>

namespace {

namespace fs = std::filesystem;

bool SameBytes(const fs::path& a, const fs::path& b) {
    std::error_code error;
    const auto size = fs::file_size(a, error);
    if (error || fs::file_size(b, error) != size || error)
        return false;
    std::ifstream first(a, std::ios::binary);
    std::ifstream second(b, std::ios::binary);
    std::array<char, 64 * 1024> blockA;
    std::array<char, 64 * 1024> blockB;
    while (first && second) {
        first.read(blockA.data(), blockA.size());
        second.read(blockB.data(), blockB.size());
        if (first.gcount() != second.gcount() ||
            !std::equal(blockA.begin(), blockA.begin() + first.gcount(), blockB.begin()))
            return false;
    }
    return first.eof() && second.eof();
}

}  // namespace

std::wstring FirstFileNotCopied(const std::wstring& fromFolder, const std::wstring& toFolder) {
    const fs::path from = platform::NativePath(fromFolder);
    const fs::path to = platform::NativePath(toFolder);
    std::error_code error;
    for (fs::recursive_directory_iterator it(from, error), end; !error && it != end; it.increment(error)) {
        if (!it->is_regular_file(error))
            continue;
        const fs::path relative = it->path().lexically_relative(from);
        if (!SameBytes(it->path(), to / relative)) {
            const std::u8string name = relative.generic_u8string();
            return platform::FromUtf8(std::string(name.begin(), name.end()));
        }
    }
    return error ? L"(the new launcher's folder could not be read)" : std::wstring();
}
