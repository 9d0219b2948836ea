// Test support for the digest and unpack tests: a private folder per test,
// removed with its content afterwards, and generated test data.
#pragma once

#include "platform/kernel32.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <random>
#include <stdexcept>
#include <string>

class ScratchDir {
public:
    ScratchDir() {
        std::string pattern = (std::filesystem::temp_directory_path() / "qm-update-XXXXXX").string();
        if (!mkdtemp(pattern.data())) {
            throw std::runtime_error("mkdtemp failed");
        }
        m_path = pattern;
    }
    ~ScratchDir() {
        std::error_code ignored;
        std::filesystem::remove_all(m_path, ignored);
    }
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    std::filesystem::path Path(const std::string& name) const { return m_path / name; }
    std::wstring WidePath(const std::string& name) const { return Path(name).wstring(); }

    void Write(const std::string& name, const std::string& bytes) const {
        std::ofstream(Path(name), std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    }
    std::string Read(const std::string& name) const {
        std::ifstream file(Path(name), std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    }

private:
    std::filesystem::path m_path;
};

// Incompressible bytes, the same for the same seed.
inline std::string RandomBytes(std::size_t size, unsigned seed = 1) {
    std::mt19937 engine(seed);
    std::string bytes(size, '\0');
    for (char& byte : bytes) {
        byte = static_cast<char>(engine());
    }
    return bytes;
}

// Text-like bytes with plenty of repetition, as game data files often have.
inline std::string CompressibleBytes(std::size_t size) {
    std::string bytes;
    bytes.reserve(size + 64);
    for (std::size_t line = 0; bytes.size() < size; ++line) {
        bytes += "item " + std::to_string(line % 977) + " weight=" + std::to_string(line * 7 % 113) + "\n";
    }
    bytes.resize(size);
    return bytes;
}

// Starts body on a platform thread, so that TerminateThread can stop it.
// body must outlive the thread.
inline HANDLE StartPlatformThread(std::function<void()>& body) {
    return CreateThread(
        nullptr, 0,
        [](LPVOID parameter) -> DWORD {
            (*static_cast<std::function<void()>*>(parameter))();
            return 1;
        },
        &body, 0, nullptr);
}

// Open file descriptors of this process: shows whether a stopped thread
// closed its files.
inline std::size_t OpenFileCount() {
    const std::filesystem::directory_iterator fds("/proc/self/fd");
    return static_cast<std::size_t>(std::distance(std::filesystem::begin(fds), std::filesystem::end(fds)));
}
