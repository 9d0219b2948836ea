// The local application data folder and folder creation.
#include "platform/shell32.h"

#include "platform/kernel32.h"
#include "platform/linux/kernel32/errno_error.h"
#include "platform/text.h"

#include <pwd.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr int kFolderFlagMask = 0xFF00;

std::string HomeFolder() {
    if (const char* home = std::getenv("HOME"); home && home[0] == '/') {
        return home;
    }
    std::vector<char> buffer(16384);
    passwd entry{};
    passwd* found = nullptr;
    if (getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found && found->pw_dir) {
        return found->pw_dir;
    }
    return {};
}

// The user's data folder by the XDG rule: $XDG_DATA_HOME when it is an
// absolute path, otherwise ~/.local/share.
std::string LocalDataFolder() {
    if (const char* data = std::getenv("XDG_DATA_HOME"); data && data[0] == '/') {
        return data;
    }
    std::string home = HomeFolder();
    return home.empty() ? std::string() : home + "/.local/share";
}

// Without its trailing separators, so "a/b/" names the folder "a/b".
std::string WithoutTrailingSeparators(std::string path) {
    while (path.size() > 1 && path.back() == '/') {
        path.pop_back();
    }
    return path;
}

}  // namespace

HRESULT SHGetFolderPathW(HWND /*hwnd*/, int csidl, HANDLE /*hToken*/, DWORD /*dwFlags*/, LPWSTR pszPath) {
    if (!pszPath || (csidl & ~kFolderFlagMask) != CSIDL_LOCAL_APPDATA) {
        return E_INVALIDARG;
    }
    pszPath[0] = L'\0';
    std::string folder = LocalDataFolder();
    if (folder.empty()) {
        return E_FAIL;
    }
    std::wstring wide = platform::FromUtf8(folder);
    if (wide.size() >= MAX_PATH) {
        return E_FAIL;
    }
    if (csidl & CSIDL_FLAG_CREATE) {
        std::error_code error;
        fs::create_directories(folder, error);
        if (error) {
            return E_FAIL;
        }
    }
    std::copy(wide.begin(), wide.end(), pszPath);
    pszPath[wide.size()] = L'\0';
    return S_OK;
}

int SHCreateDirectoryExW(HWND /*hwnd*/, LPCWSTR pszPath, const void* /*psa*/) {
    DWORD result = ERROR_SUCCESS;
    std::string path = pszPath ? WithoutTrailingSeparators(platform::NativePath(pszPath)) : std::string();
    std::error_code error;
    if (path.empty()) {
        result = ERROR_PATH_NOT_FOUND;
    } else if (fs::exists(fs::symlink_status(path, error))) {
        result = ERROR_ALREADY_EXISTS;
    } else {
        fs::create_directories(path, error);
        result = platform::ErrorFromErrno(error.value());
    }
    SetLastError(result);
    return static_cast<int>(result);
}
