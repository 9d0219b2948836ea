#include "tools/cdn/publish/cdn_paths.h"

std::wstring LauncherListPath(const std::wstring& launcherVersion) {
    return kLauncherPrefix + launcherVersion + kLauncherListName;
}

std::wstring LauncherFilePath(const std::wstring& launcherVersion, const std::wstring& relative) {
    return kLauncherPrefix + launcherVersion + relative + kLauncherPackSuffix;
}

std::wstring SettingsPath(const std::wstring& platformCode) {
    return kLauncherPrefix + platformCode + L".ini";
}

std::wstring ClientListPath(const std::wstring& clientVersion) {
    return clientVersion + kClientListName;
}

std::wstring ClientFilePath(const std::wstring& clientVersion, const std::wstring& relative) {
    return clientVersion + relative + kClientPackSuffix;
}

std::wstring DirectoryOf(const std::wstring& cdnPath) {
    const std::size_t slash = cdnPath.rfind(L'/');
    return slash == std::wstring::npos ? L"." : cdnPath.substr(0, slash);
}

std::wstring FileNameOf(const std::wstring& cdnPath) {
    const std::size_t slash = cdnPath.rfind(L'/');
    return slash == std::wstring::npos ? cdnPath : cdnPath.substr(slash + 1);
}
