#include "state/launcher_settings.h"

#include "platform/command_line.h"
#include "platform/kernel32.h"
#include "platform/shell32.h"

#include <filesystem>
#include <vector>

const wchar_t kDefaultWebUrl[] = L"https://www.quillmoor.com/launcher/index.html";
const wchar_t kDefaultVersionUrl[] = L"https://version.quillmoor.com/api/launcherversionnew";

namespace {

constexpr DWORD kPathBuffer = MAX_PATH;
constexpr DWORD kLanguageBuffer = 9;
const wchar_t kConfigSection[] = L"Config";
const wchar_t kDefaultPlatform[] = L"pv";

std::wstring ReadProfile(const wchar_t* key, const std::wstring& fallback, DWORD bufferSize, const std::wstring& file) {
    std::vector<wchar_t> buffer(bufferSize, L'\0');
    const DWORD length =
        GetPrivateProfileStringW(kConfigSection, key, fallback.c_str(), buffer.data(), bufferSize, file.c_str());
    return std::wstring(buffer.data(), length);
}

}  // namespace

LauncherSettings g_settings = [] {
    LauncherSettings settings;
    settings.InitialiseFromProcess();
    return settings;
}();

void LauncherSettings::InitialiseFromProcess() {
    wchar_t buffer[kPathBuffer] = {};
    const DWORD length = GetCurrentDirectoryW(kPathBuffer, buffer);
    startDirectory = length < kPathBuffer ? std::wstring(buffer, length) : std::wstring();

    wchar_t localAppData[MAX_PATH] = {};
    if (SUCCEEDED(SHGetFolderPathW(nullptr, CSIDL_LOCAL_APPDATA | CSIDL_FLAG_CREATE, nullptr, SHGFP_TYPE_CURRENT,
                                   localAppData)))
        dataFolder = std::wstring(localAppData) + L"\\" + dataFolderName;

    ApplyCommandLine(GetCommandLineW());
    AnchorLauncherPath();
}

void LauncherSettings::ApplyCommandLine(const std::wstring& commandLine) {
    const std::vector<std::wstring> arguments = platform::SplitCommandLine(commandLine);
    const std::wstring argument0 = arguments.empty() ? std::wstring() : arguments[0];
    if (arguments.size() < 2) {
        launcherPath = argument0;
        return;
    }
    startedPlain = 0;
    if (arguments[1] == L"N:") {
        startedAfterUpdate = 1;
        launcherPath = argument0;
    } else {
        launcherPath = arguments[1];
    }
}

void LauncherSettings::AnchorLauncherPath() {
    if (launcherPath.empty() || startDirectory.empty())
        return;
    // Both separators start a rooted path in the stand-in's file functions,
    // and a drive letter one on Windows.
    const bool rooted =
        launcherPath[0] == L'\\' || launcherPath[0] == L'/' || (launcherPath.size() >= 2 && launcherPath[1] == L':');
    if (rooted || std::filesystem::path(launcherPath).is_absolute())
        return;
    std::wstring relative = launcherPath;
    while (relative.starts_with(L"./") || relative.starts_with(L".\\"))
        relative.erase(0, 2);
    launcherPath = startDirectory + L"\\" + relative;
}

std::wstring LauncherSettings::SettingsFileName() const {
    return L"./" + platform + L".ini";
}

void LauncherSettings::ReadConfiguration() {
    platform = ReadProfile(L"Platform", kDefaultPlatform, kPathBuffer, L"./Platform.ini");
    // The settings file name must fit a path buffer; a longer code is refused
    // in favour of the default rather than cut into another file's name.
    if (SettingsFileName().size() >= kPathBuffer)
        platform = kDefaultPlatform;

    const std::wstring file = SettingsFileName();
    webUrl = ReadProfile(L"Web", kDefaultWebUrl, kPathBuffer, file);
    versionUrl = ReadProfile(L"Version", kDefaultVersionUrl, kPathBuffer, file);
    language = ReadProfile(L"Language", L"chs", kLanguageBuffer, file);
    mirrors = ReadProfile(L"Mirrors", L"", kMirrorsBuffer, file);
}

StartRole DecideStartRole(const LauncherSettings& settings) {
    if (settings.startedPlain)
        return StartRole::MainWindow;
    if (settings.startedAfterUpdate)
        return StartRole::MainWindowAfterUpdate;
    return StartRole::CopyAndRestart;
}
