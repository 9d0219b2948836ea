#include "tools/cdn/publish/name_rules.h"

#include "platform/text.h"
#include "tools/cdn/publish/publish_error.h"

#include <algorithm>

namespace {

constexpr std::size_t kMaxPlatformCode = 64;
// As the launcher lays out its data folder (update/download_worker.cpp):
// each download in Update\ under its CDN path with the pack suffix, each file
// unpacked beside its target with ".qmnew" appended.
constexpr wchar_t kUpdateFolder[] = L"\\Update\\";
constexpr wchar_t kUnpackSuffix[] = L".qmnew";

bool IsValidUtf8(std::string_view bytes) {
    // Invalid sequences come back as U+FFFD, so the round trip differs.
    return platform::ToUtf8(platform::FromUtf8(bytes)) == bytes;
}

}  // namespace

std::optional<std::string> NameProblem(std::string_view name) {
    if (name.empty()) {
        return "an empty name";
    }
    if (name == "." || name == "..") {
        return "\"" + std::string(name) + "\" is not a name";
    }
    if (!IsValidUtf8(name)) {
        return "the name is not valid UTF-8";
    }
    for (char c : name) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '\n' || c == '\r') {
            return "a line end would split the md5 list entry";
        }
        if (byte < 0x20 || byte == 0x7F) {
            return "a control character cannot be listed";
        }
        if (c == '\\') {
            return "a backslash is a path separator for the launcher";
        }
        // A blank travels: the transfer layer sends it as "%20" and servers
        // decode it back. These would end the path, start a query or a
        // fragment, or be decoded into another name.
        if (c == '#' || c == '%' || c == '?' || c == '"' || c == '<' || c == '>') {
            return std::string("\"") + c + "\" cannot travel unescaped in a CDN URL";
        }
        if (c == '*' || c == ':' || c == '|') {
            return std::string("\"") + c + "\" is not allowed in a Windows file name";
        }
    }
    if (name.back() == '.' || name.back() == ' ') {
        return "Windows drops a trailing \".\" or blank from file names";
    }
    return std::nullopt;
}

std::size_t Utf16Length(std::wstring_view text) {
    std::size_t units = 0;
    for (wchar_t c : text) {
        units += static_cast<char32_t>(c) > 0xFFFF ? 2 : 1;
    }
    return units;
}

std::wstring LongestWindowsPath(const WindowsPlace& place, std::wstring_view relative) {
    std::wstring local = place.versionFolder + std::wstring(relative);
    std::replace(local.begin(), local.end(), L'/', L'\\');
    const std::wstring packed = kTypicalDataFolder + std::wstring(kUpdateFolder) + local + place.packSuffix;
    const std::wstring unpacked = kTypicalDataFolder + (L"\\" + local) + kUnpackSuffix;
    return Utf16Length(packed) >= Utf16Length(unpacked) ? packed : unpacked;
}

std::size_t WindowsPathRoom(const WindowsPlace& place) {
    const std::size_t taken = Utf16Length(LongestWindowsPath(place, L""));
    return taken < kMaxWindowsPath ? kMaxWindowsPath - taken : 0;
}

std::string VersionFolder(std::string_view value, std::string_view option) {
    const std::string prefix = std::string(option) + " \"" + std::string(value) + "\": ";
    if (value.empty()) {
        throw PublishError(prefix + "a version folder cannot be empty (the launcher ignores an empty cdn_path)");
    }
    if (value.find('=') != std::string_view::npos) {
        throw PublishError(prefix + "\"=\" would end the cdn_path value early");
    }
    std::string folder(value);
    if (folder.back() != '/') {
        folder += '/';
    }
    std::size_t start = 0;
    while (start < folder.size()) {
        const std::size_t slash = folder.find('/', start);
        if (const std::optional<std::string> problem = NameProblem(folder.substr(start, slash - start))) {
            throw PublishError(prefix + *problem);
        }
        start = slash + 1;
    }
    return folder;
}

bool IsPlatformCode(std::string_view code) {
    if (code.empty() || code.size() > kMaxPlatformCode) {
        return false;
    }
    for (char c : code) {
        const bool allowed =
            (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '_';
        if (!allowed) {
            return false;
        }
    }
    return true;
}
