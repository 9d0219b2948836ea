// Whole-file reads and writes, generated file contents and filled-in
// templates for tests.
// Header-only, so that benchmarks built without the tests can use it too.
#pragma once

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace testsupport {

// A path from UTF-8 text on every system: a narrow path would be read in the
// ANSI code page on Windows.
inline std::filesystem::path Utf8Path(const std::string& text) {
    return std::filesystem::path(std::u8string(text.begin(), text.end()));
}

// The bytes of a file; empty when it is missing or cannot be read, which is
// what a test polling for a file still to be written wants.
inline std::string ReadBytes(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    // In one copy by the library: byte by byte, a sanitizer's checks made
    // reading a big file the slowest step of a test.
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return std::move(bytes).str();
}

// Replaces a file with these bytes, creating its folders. Throws when the
// file cannot be written: a test must not go on with a half-made setup.
inline void WriteBytes(const std::filesystem::path& file, const std::string& bytes) {
    if (file.has_parent_path())
        std::filesystem::create_directories(file.parent_path());
    std::ofstream out(file, std::ios::binary);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out)
        throw std::runtime_error("cannot write " + file.string());
}

// Bytes that do not compress, the same for the same seed.
inline std::string RandomBytes(std::size_t count, unsigned seed = 1) {
    std::mt19937 generator(seed);
    std::string bytes(count, '\0');
    for (char& byte : bytes)
        byte = static_cast<char>(generator());
    return bytes;
}

// Every regular file below folder, relative to it, in order.
inline std::vector<std::filesystem::path> FilesBelow(const std::filesystem::path& folder) {
    std::vector<std::filesystem::path> files;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder))
        if (entry.is_regular_file())
            files.push_back(std::filesystem::relative(entry.path(), folder));
    std::sort(files.begin(), files.end());
    return files;
}

// Every file below folder with its bytes, once two looks a moment apart
// agree (or after ten seconds): what a program at rest has written there.
inline std::map<std::filesystem::path, std::string> SettledFiles(const std::filesystem::path& folder) {
    const auto read = [&folder] {
        std::map<std::filesystem::path, std::string> files;
        for (const std::filesystem::path& file : FilesBelow(folder))
            files[file] = ReadBytes(folder / file);
        return files;
    };
    std::map<std::filesystem::path, std::string> before = read();
    for (int i = 0; i < 50; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        std::map<std::filesystem::path, std::string> now = read();
        if (now == before)
            break;
        before = std::move(now);
    }
    return before;
}

// How often part occurs in text, occurrences not overlapping.
inline std::size_t CountOf(const std::string& text, const std::string& part) {
    std::size_t count = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + part.size()))
        ++count;
    return count;
}

// `text` with every `from` replaced by `to`, as templates of test files
// are filled in.
inline std::string ReplaceAll(std::string text, const std::string& from, const std::string& to) {
    for (std::size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
    return text;
}

}  // namespace testsupport
