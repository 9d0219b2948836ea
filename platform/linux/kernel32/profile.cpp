// Reading Windows profile (INI) files: one key of one section at a time.
#include "platform/kernel32.h"

#include "platform/text.h"

#include <glib.h>

#include <algorithm>
#include <cwctype>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <string_view>

namespace {

std::wstring_view Trim(std::wstring_view text) {
    while (!text.empty() && std::iswspace(static_cast<wint_t>(text.front()))) {
        text.remove_prefix(1);
    }
    while (!text.empty() && std::iswspace(static_cast<wint_t>(text.back()))) {
        text.remove_suffix(1);
    }
    return text;
}

bool EqualNoCase(std::wstring_view a, std::wstring_view b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](wchar_t x, wchar_t y) {
        return g_unichar_tolower(static_cast<gunichar>(x)) == g_unichar_tolower(static_cast<gunichar>(y));
    });
}

// The file's text: UTF-16LE with its byte-order mark, otherwise UTF-8 (the
// ANSI code page here), with or without one.
std::optional<std::wstring> ReadProfileText(LPCWSTR fileName) {
    std::ifstream file(platform::NativePath(fileName), std::ios::binary);
    if (!file) {
        return std::nullopt;
    }
    std::string bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    std::string_view view(bytes);
    if (view.starts_with("\xFF\xFE")) {
        return platform::FromUtf16Le(view.substr(2));
    }
    if (view.starts_with("\xEF\xBB\xBF")) {
        view.remove_prefix(3);
    }
    return platform::FromUtf8(view);
}

// A value as Windows returns it: trimmed, and without one enclosing pair of
// matching quotes.
std::wstring_view Unquote(std::wstring_view value) {
    if (value.size() >= 2 && (value.front() == L'"' || value.front() == L'\'') && value.back() == value.front()) {
        return value.substr(1, value.size() - 2);
    }
    return value;
}

// The value of the key in the first section of that name; none when either
// is absent.
std::optional<std::wstring> FindValue(std::wstring_view text, std::wstring_view section, std::wstring_view key) {
    bool inSection = false;
    bool sectionSeen = false;
    while (!text.empty()) {
        std::size_t end = text.find(L'\n');
        std::wstring_view line = Trim(text.substr(0, end));
        text.remove_prefix(end == std::wstring_view::npos ? text.size() : end + 1);
        if (line.empty() || line.front() == L';') {
            continue;
        }
        if (line.front() == L'[') {
            if (sectionSeen) {
                return std::nullopt;  // only the first section of the name counts
            }
            std::size_t close = line.find(L']');
            inSection =
                EqualNoCase(Trim(line.substr(1, close == std::wstring_view::npos ? close : close - 1)), section);
            sectionSeen = inSection;
            continue;
        }
        std::size_t equals = line.find(L'=');
        if (inSection && equals != std::wstring_view::npos && EqualNoCase(Trim(line.substr(0, equals)), key)) {
            return std::wstring(Unquote(Trim(line.substr(equals + 1))));
        }
    }
    return std::nullopt;
}

DWORD CopyTruncated(std::wstring_view value, LPWSTR buffer, DWORD size) {
    const auto count = static_cast<DWORD>(std::min<std::size_t>(value.size(), size - 1));
    std::copy_n(value.begin(), count, buffer);
    buffer[count] = L'\0';
    return count;
}

}  // namespace

DWORD GetPrivateProfileStringW(LPCWSTR lpAppName, LPCWSTR lpKeyName, LPCWSTR lpDefault, LPWSTR lpReturnedString,
                               DWORD nSize, LPCWSTR lpFileName) {
    if (!lpReturnedString || nSize == 0) {
        return 0;
    }
    // Listing section or key names is not offered.
    if (!lpAppName || !lpKeyName || !lpFileName) {
        lpReturnedString[0] = L'\0';
        return 0;
    }
    std::optional<std::wstring> value;
    if (auto text = ReadProfileText(lpFileName)) {
        value = FindValue(*text, lpAppName, lpKeyName);
    }
    if (value) {
        return CopyTruncated(*value, lpReturnedString, nSize);
    }
    SetLastError(ERROR_FILE_NOT_FOUND);
    // As on Windows, trailing blanks of the default are not returned.
    std::wstring_view fallback = lpDefault ? lpDefault : L"";
    fallback = fallback.substr(0, fallback.find_last_not_of(L' ') + 1);
    return CopyTruncated(fallback, lpReturnedString, nSize);
}
