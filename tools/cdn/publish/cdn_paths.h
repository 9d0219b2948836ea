// The CDN paths under which the launcher asks for each published file, and
// how it splits a CDN path into the directory it looks up and the file name
// it puts into the URL.
#pragma once

#include <string>

// The launcher's answer prefix; its list paths carry it too.
inline constexpr wchar_t kLauncherPrefix[] = L"launcher/";
inline constexpr wchar_t kLauncherListName[] = L"launcher.md5";
inline constexpr wchar_t kClientListName[] = L"qm.md5";
// How each folder's files are packed, as the launcher asks for them.
inline constexpr wchar_t kLauncherPackSuffix[] = L".z";
inline constexpr wchar_t kClientPackSuffix[] = L".lz";
// The program the launcher starts after updating itself.
inline constexpr wchar_t kLauncherProgram[] = L"Launcher.exe";

// version folders end with "/" (VersionFolder); relative paths use "/".
std::wstring LauncherListPath(const std::wstring& launcherVersion);
std::wstring LauncherFilePath(const std::wstring& launcherVersion, const std::wstring& relative);
std::wstring SettingsPath(const std::wstring& platformCode);
std::wstring ClientListPath(const std::wstring& clientVersion);
std::wstring ClientFilePath(const std::wstring& clientVersion, const std::wstring& relative);

// Everything before the last "/", or "." when there is none.
std::wstring DirectoryOf(const std::wstring& cdnPath);
// Everything after the last "/".
std::wstring FileNameOf(const std::wstring& cdnPath);
