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

// A version folder ("L1", "L1/", "2024/06/") as the cdn_path value: with a
// trailing "/", every component a valid name. Throws PublishError naming the
// option, also for an empty value: an empty cdn_path field is skipped by the
// launcher, which would keep the folder of the previous answer.
std::string VersionFolder(std::string_view value, std::string_view option);

// Platform codes become file names on both sides ("launcher/CODE.ini",
// "answers/launcher-CODE.txt"): letters, digits, "-" and "_" only.
bool IsPlatformCode(std::string_view code);
