#include "tools/cdn/publish/file_handle.h"

#include "tools/cdn/publish/publish_error.h"

#include "platform/crt.h"
#include "platform/kernel32.h"

#include <cerrno>
#include <cstring>
#include <string>

namespace {

[[noreturn]] void Fail(const char* action, const std::filesystem::path& file, int error) {
    throw PublishError(std::string("cannot ") + action + " " + file.string() + ": " + std::strerror(error));
}

}  // namespace

FileHandle OpenFile(const std::filesystem::path& file, const char* mode) {
    FileHandle handle(platform::OpenCFile(file, mode));
    if (!handle) {
        Fail(mode[0] == 'r' ? "read" : "write", file, errno);
    }
    return handle;
}

std::size_t ReadSome(const FileHandle& handle, const std::filesystem::path& file, void* pbyBuff, std::size_t cbBuff) {
    const std::size_t cbRead = std::fread(pbyBuff, 1, cbBuff, handle.get());
    if (cbRead < cbBuff && std::ferror(handle.get())) {
        Fail("read", file, errno);
    }
    return cbRead;
}

void WriteAll(const FileHandle& handle, const std::filesystem::path& file, const void* pbyData, std::size_t cbData) {
    if (cbData > 0 && std::fwrite(pbyData, 1, cbData, handle.get()) != cbData) {
        Fail("write", file, errno);
    }
}

void CloseWritten(FileHandle handle, const std::filesystem::path& file) {
    if (std::fclose(handle.release()) != 0) {
        Fail("write", file, errno);
    }
}

std::string ReadWholeFile(const std::filesystem::path& file) {
    FileHandle handle = OpenFile(file, "rb");
    std::string bytes;
    char chunk[1 << 14];
    while (const std::size_t cbRead = ReadSome(handle, file, chunk, sizeof chunk)) {
        bytes.append(chunk, cbRead);
    }
    return bytes;
}

void WriteFileAtomically(const std::filesystem::path& file, std::string_view bytes) {
    std::filesystem::path temporary = file;
    temporary += ".tmp-" + std::to_string(GetCurrentProcessId());
    std::error_code ignored;
    try {
        FileHandle handle = OpenFile(temporary, "wb");
        WriteAll(handle, temporary, bytes.data(), bytes.size());
        CloseWritten(std::move(handle), temporary);
        std::filesystem::rename(temporary, file);
    } catch (const std::filesystem::filesystem_error& error) {
        std::filesystem::remove(temporary, ignored);
        throw PublishError("cannot write " + file.string() + ": " + error.code().message());
    } catch (...) {
        std::filesystem::remove(temporary, ignored);
        throw;
    }
}

std::filesystem::path PathFromUtf8(std::string_view text) {
    return std::filesystem::path(std::u8string(text.begin(), text.end()));
}

void CreateFolders(const std::filesystem::path& folder) {
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    if (error) {
        throw PublishError("cannot create " + folder.string() + ": " + error.message());
    }
}

void LinkOrCopy(const std::filesystem::path& existing, const std::filesystem::path& link) {
    std::error_code error;
    std::filesystem::remove(link, error);
    std::filesystem::create_hard_link(existing, link, error);
    if (error) {
        std::filesystem::copy_file(existing, link, error);
    }
    if (error) {
        throw PublishError("cannot write " + link.string() + ": " + error.message());
    }
}
