#include "tools/cdn/publish/exclusive_file.h"

#include "tools/cdn/publish/publish_error.h"

#include <cerrno>
#include <cstring>
#include <string>

#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>

FileHandle CreateNewFile(const std::filesystem::path& file, FileReaders) {
    const int fd = _wopen(file.c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY, _S_IREAD | _S_IWRITE);
    if (fd < 0) {
        const int error = errno;
        if (error == EEXIST) {
            throw PublishError(file.string() + " exists already; it is left as it is");
        }
        throw PublishError("cannot create " + file.string() + ": " + std::strerror(error));
    }
    FileHandle handle(_fdopen(fd, "wb"));
    if (!handle) {
        const int error = errno;
        _close(fd);
        throw PublishError("cannot write " + file.string() + ": " + std::strerror(error));
    }
    return handle;
}
