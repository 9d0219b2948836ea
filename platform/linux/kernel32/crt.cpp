// The C runtime's wide file open. Files opened without 'b' are in text
// mode, as on Windows: a line feed is written as CR LF, and CR LF reads as
// a line feed.
#include "platform/crt.h"

#include "platform/text.h"

#include <sys/stat.h>
#include <algorithm>
#include <cerrno>
#include <string>

namespace {

ssize_t TextRead(void* cookie, char* buffer, size_t size) {
    FILE* file = static_cast<FILE*>(cookie);
    size_t count = 0;
    while (count < size) {
        const int c = std::fgetc(file);
        if (c == EOF) {
            break;
        }
        if (c == '\r') {
            const int next = std::fgetc(file);
            if (next != '\n' && next != EOF) {
                std::ungetc(next, file);
            }
            buffer[count++] = next == '\n' ? '\n' : '\r';
            continue;
        }
        buffer[count++] = static_cast<char>(c);
    }
    return std::ferror(file) ? -1 : static_cast<ssize_t>(count);
}

ssize_t TextWrite(void* cookie, const char* buffer, size_t size) {
    FILE* file = static_cast<FILE*>(cookie);
    for (size_t i = 0; i < size; ++i) {
        if ((buffer[i] == '\n' && std::fputc('\r', file) == EOF) || std::fputc(buffer[i], file) == EOF) {
            return i == 0 ? -1 : static_cast<ssize_t>(i);
        }
    }
    // The outer stream buffers already; a flush of it reaches the file.
    return std::fflush(file) == 0 ? static_cast<ssize_t>(size) : -1;
}

int TextSeek(void* cookie, off64_t* position, int whence) {
    FILE* file = static_cast<FILE*>(cookie);
    if (fseeko(file, *position, whence) != 0) {
        return -1;
    }
    *position = ftello(file);
    return 0;
}

int TextClose(void* cookie) {
    return std::fclose(static_cast<FILE*>(cookie));
}

}  // namespace

FILE* _wfopen(const wchar_t* filename, const wchar_t* mode) {
    if (!filename || !mode) {
        errno = EINVAL;
        return nullptr;
    }
    // Close-on-exec: a started program must not inherit the launcher's open
    // files, as with Windows handles that are not marked inheritable.
    const std::string windowsMode = platform::ToUtf8(mode);
    const std::size_t flagsEnd = std::min(windowsMode.find(','), windowsMode.size());
    std::string openMode = windowsMode.substr(0, flagsEnd);
    FILE* file =
        std::fopen(platform::NativePath(filename).c_str(), (openMode + 'e' + windowsMode.substr(flagsEnd)).c_str());
    if (!file || openMode.find('b') != std::string::npos) {
        return file;
    }
    std::erase(openMode, 't');
    FILE* text = fopencookie(file, openMode.c_str(), cookie_io_functions_t{TextRead, TextWrite, TextSeek, TextClose});
    if (!text) {
        std::fclose(file);
    }
    return text;
}

namespace platform {

FILE* OpenCFile(const std::filesystem::path& file, const char* mode) {
    return std::fopen(file.c_str(), mode);
}

std::int64_t CFileSize(FILE* file) {
    struct stat info {};
    return fstat(fileno(file), &info) == 0 ? static_cast<std::int64_t>(info.st_size) : -1;
}

bool SeekCFile(FILE* file, std::int64_t offset) {
    return fseeko(file, static_cast<off_t>(offset), SEEK_SET) == 0;
}

}  // namespace platform
