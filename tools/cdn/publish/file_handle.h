// Files for the publisher: every failure becomes a PublishError naming the
// file, so no short read or lost write passes unnoticed.
#pragma once

#include <cstddef>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string_view>

struct FileClose {
    void operator()(FILE* file) const { std::fclose(file); }
};
using FileHandle = std::unique_ptr<FILE, FileClose>;

FileHandle OpenFile(const std::filesystem::path& file, const char* mode);

// Up to cbBuff bytes; 0 only at the end of the file.
std::size_t ReadSome(const FileHandle& handle, const std::filesystem::path& file, void* pbyBuff, std::size_t cbBuff);

void WriteAll(const FileHandle& handle, const std::filesystem::path& file, const void* pbyData, std::size_t cbData);

// Flushes and closes, reporting what a plain fclose would swallow (a full disk).
void CloseWritten(FileHandle handle, const std::filesystem::path& file);

std::string ReadWholeFile(const std::filesystem::path& file);

// Writes beside the target and renames over it, so a reader (a running
// server) sees the old file or the new one, never a part.
void WriteFileAtomically(const std::filesystem::path& file, std::string_view bytes);

// A path from UTF-8 text (CDN names, records): a narrow path would be read
// in the ANSI code page on Windows.
std::filesystem::path PathFromUtf8(std::string_view text);

// With all missing parents; an existing folder is fine.
void CreateFolders(const std::filesystem::path& folder);

// A second name for the same bytes; a copy where the file system has no links.
void LinkOrCopy(const std::filesystem::path& existing, const std::filesystem::path& link);
