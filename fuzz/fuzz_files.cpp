#include "fuzz/fuzz_files.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cstdlib>
#include <stdexcept>
#include <string>
#include <system_error>

namespace fuzz {

InputFile::InputFile() : m_fd(memfd_create("fuzz-input", MFD_CLOEXEC)) {
    if (m_fd < 0)
        throw std::system_error(errno, std::generic_category(), "memfd_create");
    m_path = L"/proc/self/fd/" + std::to_wstring(m_fd);
}

InputFile::~InputFile() {
    close(m_fd);
}

bool InputFile::Write(const std::uint8_t* data, std::size_t size) {
    if (ftruncate(m_fd, 0) != 0)
        return false;
    std::size_t written = 0;
    while (written < size) {
        const ssize_t count = pwrite(m_fd, data + written, size - written, static_cast<off_t>(written));
        if (count <= 0)
            return false;
        written += static_cast<std::size_t>(count);
    }
    return true;
}

bool InputFile::Read(std::string& bytes) const {
    bytes.clear();
    char chunk[1 << 16];
    for (;;) {
        const ssize_t count = pread(m_fd, chunk, sizeof chunk, static_cast<off_t>(bytes.size()));
        if (count < 0)
            return false;
        if (count == 0)
            return true;
        bytes.append(chunk, static_cast<std::size_t>(count));
    }
}

ScratchFolder::ScratchFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "quillmoor-fuzz-XXXXXX").string();
    if (!mkdtemp(pattern.data()))
        throw std::system_error(errno, std::generic_category(), "mkdtemp");
    m_path = pattern;
}

ScratchFolder::~ScratchFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(m_path, ignored);
}

}  // namespace fuzz
