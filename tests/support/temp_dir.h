// A fresh folder under the system's temporary folder for one test, removed
// with everything in it. Header-only, so that benchmarks built without the
// tests can use it too.
#pragma once

#include "tests/support/test_files.h"

#include <cstdint>
#include <filesystem>
#include <random>
#include <stdexcept>
#include <string>
#include <system_error>

namespace testsupport {

class TempDir {
public:
    TempDir() : TempDir(std::filesystem::temp_directory_path()) {}
    // A fresh folder below `parent` instead.
    explicit TempDir(const std::filesystem::path& parent) {
        // A random name, taken only when create_directory made it: two tests
        // (or two test programs) never share a folder.
        std::random_device entropy;
        std::mt19937_64 names((std::uint64_t{entropy()} << 32) ^ entropy());
        for (int attempt = 0; attempt < 100; ++attempt) {
            const std::filesystem::path candidate = parent / ("quillmoor-test-" + HexName(names()));
            std::error_code error;
            if (std::filesystem::create_directory(candidate, error)) {
                // As the current directory will read it, should the parent be
                // reached through a link.
                m_path = std::filesystem::canonical(candidate);
                return;
            }
        }
        throw std::runtime_error("cannot make a temporary folder in " + parent.string());
    }
    ~TempDir() {
        std::error_code ignored;
        std::filesystem::remove_all(m_path, ignored);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& Path() const { return m_path; }
    // A path below the folder.
    std::filesystem::path Path(const std::string& relative) const { return m_path / Utf8Path(relative); }
    std::wstring WidePath(const std::string& relative) const { return Path(relative).wstring(); }
    std::string Str() const { return m_path.string(); }

    // Writes bytes to a file below the folder, creating parent folders.
    std::filesystem::path Write(const std::string& relative, const std::string& bytes) const {
        const std::filesystem::path file = Path(relative);
        WriteBytes(file, bytes);
        return file;
    }
    // The bytes of a file below the folder; empty when it cannot be read.
    std::string Read(const std::string& relative) const { return ReadBytes(Path(relative)); }

private:
    static std::string HexName(std::uint64_t value) {
        static constexpr char kDigits[] = "0123456789abcdef";
        std::string name(16, '0');
        for (char& digit : name) {
            digit = kDigits[value & 0xF];
            value >>= 4;
        }
        return name;
    }

    std::filesystem::path m_path;
};

// Makes a folder the current directory for the scope of a test, and puts
// back the one before it afterwards.
class CurrentDirectory {
public:
    explicit CurrentDirectory(const std::filesystem::path& folder) : m_previous(std::filesystem::current_path()) {
        std::filesystem::current_path(folder);
    }
    // Only remembers the current directory, for a test that changes it itself.
    CurrentDirectory() : m_previous(std::filesystem::current_path()) {}
    ~CurrentDirectory() {
        std::error_code ignored;
        std::filesystem::current_path(m_previous, ignored);
    }
    CurrentDirectory(const CurrentDirectory&) = delete;
    CurrentDirectory& operator=(const CurrentDirectory&) = delete;

private:
    std::filesystem::path m_previous;
};

}  // namespace testsupport
