#include "tools/cdn/publish/exclusive_file.h"

#include "tools/cdn/publish/publish_error.h"

#include <cerrno>
#include <cstring>
#include <string>

#include <fcntl.h>
#include <unistd.h>

FileHandle CreateNewFile(const std::filesystem::path& file, FileReaders readers) {
    // The mode is given to open itself: a file created wider and narrowed
    // afterwards could be opened by another user in between.
    const mode_t mode = readers == FileReaders::OwnerOnly ? 0600 : 0666;
    const int fd = open(file.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
    if (fd < 0) {
        const int error = errno;
        if (error == EEXIST) {
            throw PublishError(file.string() + " exists already; it is left as it is");
        }
        throw PublishError("cannot create " + file.string() + ": " + std::strerror(error));
    }
    FileHandle handle(fdopen(fd, "wb"));
    if (!handle) {
        const int error = errno;
        close(fd);
        throw PublishError("cannot write " + file.string() + ": " + std::strerror(error));
    }
    return handle;
}
