#include "platform/crt.h"

#include "platform/text.h"

#include <sys/stat.h>

namespace platform {

FILE* OpenCFile(const std::filesystem::path& file, const char* mode) {
    return _wfopen(file.c_str(), FromUtf8(mode).c_str());
}

std::int64_t CFileSize(FILE* file) {
    struct _stati64 info {};
    return _fstati64(_fileno(file), &info) == 0 ? static_cast<std::int64_t>(info.st_size) : -1;
}

bool SeekCFile(FILE* file, std::int64_t offset) {
    return _fseeki64(file, offset, SEEK_SET) == 0;
}

}  // namespace platform
