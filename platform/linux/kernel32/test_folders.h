// Test support: a scratch folder removed afterwards, and the current
// directory put back after a test that changes it.
#pragma once

#include <gtest/gtest.h>

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <string>

namespace platform::testing {

class ScratchFolder {
public:
    ScratchFolder() {
        std::string pattern = (std::filesystem::temp_directory_path() / "qm_platform_XXXXXX").native();
        if (!mkdtemp(pattern.data())) {
            ADD_FAILURE() << "mkdtemp failed";
        }
        m_path = std::filesystem::canonical(pattern);  // as the current directory will read
    }
    ~ScratchFolder() {
        std::error_code error;
        std::filesystem::remove_all(m_path, error);
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    const std::filesystem::path& Path() const { return m_path; }

private:
    std::filesystem::path m_path;
};

class CurrentDirectoryRestorer {
public:
    CurrentDirectoryRestorer() : m_saved(std::filesystem::current_path()) {}
    ~CurrentDirectoryRestorer() {
        std::error_code error;
        std::filesystem::current_path(m_saved, error);
    }
    CurrentDirectoryRestorer(const CurrentDirectoryRestorer&) = delete;
    CurrentDirectoryRestorer& operator=(const CurrentDirectoryRestorer&) = delete;

private:
    std::filesystem::path m_saved;
};

inline void WriteFile(const std::filesystem::path& path, const std::string& bytes) {
    if (path.has_parent_path()) {
        std::filesystem::create_directories(path.parent_path());
    }
    std::ofstream(path, std::ios::binary) << bytes;
}

inline std::string ReadFile(const std::filesystem::path& path) {
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

}  // namespace platform::testing
