// What names the CDN format and the launcher can carry. The launcher joins
// names into URLs without escaping, writes them into UTF-16 md5 lists one per
// line and stores the files on a Windows file system.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

// Why one path component (UTF-8 bytes) cannot be published, or nullopt.
std::optional<std::string> NameProblem(std::string_view name);

// Length in UTF-16 code units, the unit of the launcher's 259-character limit.
std::size_t Utf16Length(std::wstring_view text);

// Where a player's launcher keeps a file of one folder: its version folder
// with the launcher's own prefix ("launcher/L1/", "C1/") and the suffix of
// the packed download (".z", ".lz").
struct WindowsPlace {
    std::wstring versionFolder;
    std::wstring packSuffix;
};
// Windows paths hold at most 259 characters (MAX_PATH with its terminator).
inline constexpr std::size_t kMaxWindowsPath = 259;
// The data folder of a player with a 20-character user name. Shorter ones
// exist, but a path refused on a player's machine fails the whole install:
// the publish refuses it first, for most players rather than for some.
inline constexpr wchar_t kTypicalDataFolder[] = L"C:\\Users\\12345678901234567890\\AppData\\Local\\Quillmoor";
// The longest path the launcher makes for `relative` below that data folder:
// the packed download in Update\ or the unpacked copy beside the target.
std::wstring LongestWindowsPath(const WindowsPlace& place, std::wstring_view relative);
// How many characters (UTF-16 units) a file's path inside its folder may
// have for that path to fit.
std::size_t WindowsPathRoom(const WindowsPlace& place);

// A version folder ("L1", "L1/", "2024/06/") as the cdn_path value: with a
// trailing "/", every component a valid name. Throws PublishError naming the
// option, also for an empty value: an empty cdn_path field is skipped by the
// launcher, which would keep the folder of the previous answer.
std::string VersionFolder(std::string_view value, std::string_view option);

// Platform codes become file names on both sides ("launcher/CODE.ini",
// "answers/launcher-CODE.txt"): letters, digits, "-" and "_" only.
bool IsPlatformCode(std::string_view code);
