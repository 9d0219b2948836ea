// The boundary conversions on Windows, where wide strings are UTF-16
// already: UTF-8 through the system's code-page functions, UTF-16LE by
// copying code units. Unpaired surrogates become U+FFFD, as on Linux.
#include "platform/text.h"

#include <windows.h>

namespace {

constexpr wchar_t kReplacement = 0xFFFD;

bool IsHigh(wchar_t unit) {
    return unit >= 0xD800 && unit <= 0xDBFF;
}

bool IsLow(wchar_t unit) {
    return unit >= 0xDC00 && unit <= 0xDFFF;
}

// The text with every surrogate that is not half of a pair replaced.
std::wstring WithPairedSurrogates(std::wstring_view text) {
    std::wstring out(text);
    for (std::size_t i = 0; i < out.size(); ++i) {
        if (IsHigh(out[i]) && i + 1 < out.size() && IsLow(out[i + 1]))
            ++i;
        else if (IsHigh(out[i]) || IsLow(out[i]))
            out[i] = kReplacement;
    }
    return out;
}

}  // namespace

namespace platform {

std::string ToUtf8(std::wstring_view text) {
    const std::wstring valid = WithPairedSurrogates(text);
    if (valid.empty())
        return {};
    const int length = static_cast<int>(valid.size());
    const int size = WideCharToMultiByte(CP_UTF8, 0, valid.data(), length, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, valid.data(), length, out.data(), size, nullptr, nullptr);
    return out;
}

std::wstring FromUtf8(std::string_view bytes) {
    if (bytes.empty())
        return {};
    const int length = static_cast<int>(bytes.size());
    const int size = MultiByteToWideChar(CP_UTF8, 0, bytes.data(), length, nullptr, 0);
    std::wstring out(static_cast<std::size_t>(size), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, bytes.data(), length, out.data(), size);
    return out;
}

std::string ToUtf16Le(std::wstring_view text) {
    std::string out;
    out.reserve(text.size() * 2);
    for (wchar_t unit : WithPairedSurrogates(text)) {
        out.push_back(static_cast<char>(unit & 0xFF));
        out.push_back(static_cast<char>((unit >> 8) & 0xFF));
    }
    return out;
}

std::wstring FromUtf16Le(std::string_view bytes) {
    std::wstring units(bytes.size() / 2, L'\0');
    for (std::size_t i = 0; i < units.size(); ++i) {
        units[i] = static_cast<wchar_t>(static_cast<unsigned char>(bytes[2 * i]) |
                                        (static_cast<unsigned char>(bytes[2 * i + 1]) << 8));
    }
    return WithPairedSurrogates(units);
}

std::filesystem::path NativePath(std::wstring_view windowsPath) {
    return std::filesystem::path(windowsPath);
}

}  // namespace platform
