// SHFileOperationW: copying files and folders into a folder.
#include "platform/shell32.h"

#include "platform/kernel32.h"
#include "platform/linux/kernel32/errno_error.h"
#include "platform/text.h"

#include <fnmatch.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

namespace fs = std::filesystem;

namespace {

// The names of a list: each zero-terminated, the list ended by an empty one.
std::vector<std::wstring> ReadNameList(LPCWSTR list) {
    std::vector<std::wstring> names;
    for (const wchar_t* name = list; name && *name; name += names.back().size() + 1) {
        names.emplace_back(name);
    }
    return names;
}

fs::path ToPath(const std::wstring& windowsPath) {
    std::string path = platform::NativePath(windowsPath);
    while (path.size() > 1 && path.back() == '/') {
        path.pop_back();
    }
    return path.empty() ? fs::path(".") : fs::path(path);
}

bool IsPattern(const std::string& name) {
    return name.find_first_of("*?") != std::string::npos;
}

// The sources of one list item: the entries of its folder that match a
// "*" or "?" pattern (case-insensitive, "*.*" meaning everything, as on
// Windows), or the named file or folder itself.
DWORD ExpandItem(const std::wstring& item, std::vector<fs::path>& sources) {
    fs::path path = ToPath(item);
    const std::string name = path.filename().native();
    std::error_code error;
    if (!IsPattern(name)) {
        if (!fs::exists(path, error)) {
            return error ? platform::ErrorFromErrno(error.value()) : ERROR_FILE_NOT_FOUND;
        }
        sources.push_back(path);
        return ERROR_SUCCESS;
    }
    const std::string pattern = name == "*.*" ? std::string("*") : name;
    fs::path folder = path.has_parent_path() ? path.parent_path() : fs::path(".");
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
        if (fnmatch(pattern.c_str(), it->path().filename().c_str(), FNM_NOESCAPE | FNM_CASEFOLD) == 0) {
            sources.push_back(it->path());
        }
    }
    return platform::ErrorFromErrno(error.value());
}

// True when `inner` is `outer` or lies below it.
bool IsWithin(const fs::path& inner, const fs::path& outer) {
    std::error_code error;
    fs::path innerFull = fs::weakly_canonical(fs::absolute(inner), error);
    fs::path outerFull = fs::weakly_canonical(fs::absolute(outer), error);
    auto mismatch = std::mismatch(outerFull.begin(), outerFull.end(), innerFull.begin(), innerFull.end());
    return mismatch.first == outerFull.end();
}

// Files are rewritten in place (truncated and written), never replaced by a
// rename: a program that is running cannot be opened for writing, which is
// the "file in use" failure a caller retries on. A file copied onto itself
// fails instead of being truncated.
DWORD CopyOne(const fs::path& source, const fs::path& target) {
    std::error_code error;
    if (fs::is_directory(source, error)) {
        if (IsWithin(target, source)) {
            return ERROR_INVALID_PARAMETER;  // a folder cannot be copied into itself
        }
        fs::copy(source, target, fs::copy_options::recursive | fs::copy_options::overwrite_existing, error);
    } else {
        fs::copy_file(source, target, fs::copy_options::overwrite_existing, error);
    }
    return platform::ErrorFromErrno(error.value());
}

DWORD PrepareDestination(const fs::path& destination, FILEOP_FLAGS flags, BOOL& aborted) {
    std::error_code error;
    fs::file_status status = fs::status(destination, error);
    if (fs::is_directory(status)) {
        return ERROR_SUCCESS;
    }
    if (fs::exists(status)) {
        return ERROR_ALREADY_EXISTS;
    }
    // Creating the folder would need a confirmation nobody can give.
    if (!(flags & FOF_NOCONFIRMMKDIR)) {
        aborted = TRUE;
        return ERROR_CANCELLED;
    }
    fs::create_directories(destination, error);
    return platform::ErrorFromErrno(error.value());
}

DWORD CopyInto(const std::vector<std::wstring>& items, const fs::path& destination, FILEOP_FLAGS flags, BOOL& aborted) {
    std::vector<fs::path> sources;
    for (const auto& item : items) {
        if (DWORD result = ExpandItem(item, sources); result != ERROR_SUCCESS) {
            return result;
        }
    }
    if (DWORD result = PrepareDestination(destination, flags, aborted); result != ERROR_SUCCESS) {
        return result;
    }
    for (const auto& source : sources) {
        if (DWORD result = CopyOne(source, destination / source.filename()); result != ERROR_SUCCESS) {
            return result;
        }
    }
    return ERROR_SUCCESS;
}

}  // namespace

int SHFileOperationW(LPSHFILEOPSTRUCTW lpFileOp) {
    if (!lpFileOp) {
        return ERROR_INVALID_PARAMETER;
    }
    lpFileOp->fAnyOperationsAborted = FALSE;
    std::vector<std::wstring> items = ReadNameList(lpFileOp->pFrom);
    if (lpFileOp->wFunc != FO_COPY || items.empty()) {
        return ERROR_INVALID_PARAMETER;
    }
    // No destination means the current directory, as on Windows.
    std::vector<std::wstring> targets = ReadNameList(lpFileOp->pTo);
    fs::path destination = ToPath(targets.empty() ? std::wstring() : targets.front());
    return static_cast<int>(CopyInto(items, destination, lpFileOp->fFlags, lpFileOp->fAnyOperationsAborted));
}
