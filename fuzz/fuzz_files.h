// Files for the code under test, which reads and writes by name: the
// fuzzer's input as a file, and a folder for what the code writes. Both
// belong to the fuzzing process and go with it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>

namespace fuzz {

// An anonymous file in memory, rewritten for every input and opened by the
// code under test through /proc/self/fd, so that millions of inputs touch
// no disk. The code under test may write it by that name too, and the
// harness read back what it wrote.
class InputFile {
public:
    InputFile();
    ~InputFile();
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;

    // Replaces the contents; false when that failed.
    bool Write(const std::uint8_t* data, std::size_t size);
    // The whole contents; false when they could not be read.
    bool Read(std::string& bytes) const;
    const std::wstring& Path() const { return m_path; }

private:
    int m_fd = -1;
    std::wstring m_path;
};

// A fresh folder in the temporary folder, removed with everything in it.
class ScratchFolder {
public:
    ScratchFolder();
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    std::wstring File(const std::wstring& name) const { return (m_path / name).wstring(); }

private:
    std::filesystem::path m_path;
};

}  // namespace fuzz
