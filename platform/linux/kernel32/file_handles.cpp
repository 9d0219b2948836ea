// CreateFileW over open(2), and LockFileEx over open-file-description locks:
// like a Windows lock they belong to the handle, so a second handle of the
// same file conflicts even in the same process, and they end when the handle
// is closed or the process dies.
#include "platform/kernel32.h"

#include "platform/linux/kernel32/errno_error.h"
#include "platform/linux/kernel32/kernel_object.h"
#include "platform/text.h"
#include "platform/thread_stop.h"

#include <fcntl.h>
#include <unistd.h>
#include <cerrno>
#include <cstdint>
#include <memory>

namespace {

class FileObject : public platform::KernelObject {
public:
    explicit FileObject(int fd) : m_fd(fd) {}
    ~FileObject() override { close(m_fd); }
    int Fd() const { return m_fd; }

private:
    const int m_fd;
};

int OpenFlags(DWORD desiredAccess, DWORD disposition) {
    int flags = O_CLOEXEC;
    const bool reads = desiredAccess & GENERIC_READ, writes = desiredAccess & GENERIC_WRITE;
    flags |= reads && writes ? O_RDWR : writes ? O_WRONLY : O_RDONLY;
    switch (disposition) {
        case CREATE_NEW:
            return flags | O_CREAT | O_EXCL;
        case CREATE_ALWAYS:
            return flags | O_CREAT | O_TRUNC;
        case OPEN_EXISTING:
            return flags;
        case OPEN_ALWAYS:
            return flags | O_CREAT;
        case TRUNCATE_EXISTING:
            return flags | O_TRUNC;
        default:
            return -1;
    }
}

}  // namespace

HANDLE CreateFileW(LPCWSTR lpFileName, DWORD dwDesiredAccess, DWORD /*dwShareMode*/,
                   LPSECURITY_ATTRIBUTES /*lpSecurityAttributes*/, DWORD dwCreationDisposition,
                   DWORD /*dwFlagsAndAttributes*/, HANDLE /*hTemplateFile*/) {
    platform::StopPoint();
    const int flags = OpenFlags(dwDesiredAccess, dwCreationDisposition);
    if (!lpFileName || flags == -1) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    const std::string path = platform::NativePath(lpFileName);
    // Whether the file was there before, for ERROR_ALREADY_EXISTS.
    const bool existed = (flags & O_CREAT) && !(flags & O_EXCL) && access(path.c_str(), F_OK) == 0;
    const int fd = open(path.c_str(), flags, 0666);
    if (fd < 0) {
        // CREATE_NEW on an existing file.
        if (errno == EEXIST)
            SetLastError(ERROR_FILE_EXISTS);
        else
            platform::SetLastErrorFromErrno(errno);
        return INVALID_HANDLE_VALUE;
    }
    const HANDLE handle = platform::InsertHandle(std::make_shared<FileObject>(fd));
    SetLastError(existed ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS);
    return handle;
}

BOOL LockFileEx(HANDLE hFile, DWORD dwFlags, DWORD /*dwReserved*/, DWORD nNumberOfBytesToLockLow,
                DWORD nNumberOfBytesToLockHigh, LPOVERLAPPED lpOverlapped) {
    platform::StopPoint();
    const auto file = platform::LookupHandle<FileObject>(hFile);
    if (!file) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (!lpOverlapped || !(dwFlags & LOCKFILE_FAIL_IMMEDIATELY)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    struct flock lock {};
    lock.l_type = (dwFlags & LOCKFILE_EXCLUSIVE_LOCK) ? F_WRLCK : F_RDLCK;
    lock.l_whence = SEEK_SET;
    lock.l_start = static_cast<off_t>((std::uint64_t{lpOverlapped->OffsetHigh} << 32) | lpOverlapped->Offset);
    lock.l_len = static_cast<off_t>((std::uint64_t{nNumberOfBytesToLockHigh} << 32) | nNumberOfBytesToLockLow);
    if (fcntl(file->Fd(), F_OFD_SETLK, &lock) != 0) {
        if (errno == EAGAIN || errno == EACCES)
            SetLastError(ERROR_LOCK_VIOLATION);
        else
            platform::SetLastErrorFromErrno(errno);
        return FALSE;
    }
    return TRUE;
}
