// UTF conversions and the code-page functions built on them. UTF-8 goes
// through GLib; UTF-16 surrogate pairs are simple enough to do here.
#include "platform/text.h"

#include "platform/kernel32.h"

#include <glib.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <cwchar>
#include <memory>

namespace {

constexpr char32_t kReplacement = 0xFFFD;

bool IsSurrogate(char32_t c) {
    return c >= 0xD800 && c <= 0xDFFF;
}

// What a wide character stands for once written out: wchar_t holds UTF-32
// here, so a surrogate or an out-of-range value can only be replaced.
char32_t ScalarValue(wchar_t c) {
    auto value = static_cast<char32_t>(c);
    return (IsSurrogate(value) || value > 0x10FFFF) ? kReplacement : value;
}

struct GFreeDeleter {
    void operator()(gchar* p) const { g_free(p); }
};

// GLib treats a NUL byte as invalid, while a counted conversion keeps it as a
// character; so the text is handled piece by piece between NUL bytes.
template <class PieceFunction>
void ForEachPieceBetweenNuls(std::string_view bytes, PieceFunction&& piece) {
    for (;;) {
        std::size_t nul = bytes.find('\0');
        piece(bytes.substr(0, nul));
        if (nul == std::string_view::npos) {
            return;
        }
        bytes.remove_prefix(nul + 1);
    }
}

bool IsValidUtf8(std::string_view bytes) {
    bool valid = true;
    ForEachPieceBetweenNuls(bytes, [&](std::string_view piece) {
        valid = valid && g_utf8_validate_len(piece.data(), piece.size(), nullptr);
    });
    return valid;
}

bool IsSupportedCodePage(UINT codePage) {
    return codePage == CP_ACP || codePage == CP_UTF8;
}

}  // namespace

namespace platform {

std::string ToUtf8(std::wstring_view text) {
    std::string out;
    out.reserve(text.size());
    for (wchar_t c : text) {
        char encoded[6];
        gint length = g_unichar_to_utf8(ScalarValue(c), encoded);
        out.append(encoded, static_cast<std::size_t>(length));
    }
    return out;
}

std::wstring FromUtf8(std::string_view bytes) {
    std::wstring out;
    out.reserve(bytes.size());
    bool first = true;
    ForEachPieceBetweenNuls(bytes, [&](std::string_view piece) {
        if (!first) {
            out.push_back(L'\0');
        }
        first = false;
        std::unique_ptr<gchar, GFreeDeleter> valid(g_utf8_make_valid(piece.data(), static_cast<gssize>(piece.size())));
        for (const gchar* p = valid.get(); *p; p = g_utf8_next_char(p)) {
            out.push_back(static_cast<wchar_t>(g_utf8_get_char(p)));
        }
    });
    return out;
}

std::string ToUtf16Le(std::wstring_view text) {
    std::string out;
    out.reserve(text.size() * 2);
    auto put = [&out](char32_t unit) {
        out.push_back(static_cast<char>(unit & 0xFF));
        out.push_back(static_cast<char>((unit >> 8) & 0xFF));
    };
    for (wchar_t c : text) {
        char32_t value = ScalarValue(c);
        if (value >= 0x10000) {
            value -= 0x10000;
            put(0xD800 + (value >> 10));
            put(0xDC00 + (value & 0x3FF));
        } else {
            put(value);
        }
    }
    return out;
}

std::wstring FromUtf16Le(std::string_view bytes) {
    const std::size_t count = bytes.size() / 2;
    auto unit = [&bytes](std::size_t index) {
        return static_cast<char32_t>(static_cast<unsigned char>(bytes[2 * index]) |
                                     (static_cast<unsigned char>(bytes[2 * index + 1]) << 8));
    };
    std::wstring out;
    out.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
        char32_t value = unit(i);
        if (value >= 0xD800 && value <= 0xDBFF && i + 1 < count && unit(i + 1) >= 0xDC00 && unit(i + 1) <= 0xDFFF) {
            value = 0x10000 + ((value - 0xD800) << 10) + (unit(i + 1) - 0xDC00);
            ++i;
        } else if (IsSurrogate(value)) {
            value = kReplacement;
        }
        out.push_back(static_cast<wchar_t>(value));
    }
    return out;
}

std::string NativePath(std::wstring_view windowsPath) {
    // '\' never occurs inside a UTF-8 multi-byte sequence, so bytes will do.
    std::string path = ToUtf8(windowsPath);
    std::replace(path.begin(), path.end(), '\\', '/');
    return path;
}

}  // namespace platform

int MultiByteToWideChar(UINT CodePage, DWORD dwFlags, LPCSTR lpMultiByteStr, int cbMultiByte, LPWSTR lpWideCharStr,
                        int cchWideChar) {
    if (!IsSupportedCodePage(CodePage) || !lpMultiByteStr || cbMultiByte == 0 || cbMultiByte < -1 || cchWideChar < 0 ||
        (cchWideChar > 0 && !lpWideCharStr)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    // -1: zero-terminated, and the terminator is converted and counted too.
    std::string_view input(lpMultiByteStr,
                           cbMultiByte == -1 ? std::strlen(lpMultiByteStr) + 1 : static_cast<std::size_t>(cbMultiByte));
    if ((dwFlags & MB_ERR_INVALID_CHARS) && !IsValidUtf8(input)) {
        SetLastError(ERROR_NO_UNICODE_TRANSLATION);
        return 0;
    }
    std::wstring wide = platform::FromUtf8(input);
    if (wide.size() > INT_MAX) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    const int needed = static_cast<int>(wide.size());
    if (cchWideChar == 0) {
        return needed;
    }
    if (cchWideChar < needed) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    std::copy(wide.begin(), wide.end(), lpWideCharStr);
    return needed;
}

int WideCharToMultiByte(UINT CodePage, DWORD /*dwFlags*/, LPCWSTR lpWideCharStr, int cchWideChar, LPSTR lpMultiByteStr,
                        int cbMultiByte, LPCSTR lpDefaultChar, BOOL* lpUsedDefaultChar) {
    // As on Windows, UTF-8 has no default character: every character converts.
    const bool defaultCharGiven = lpDefaultChar || lpUsedDefaultChar;
    if (!IsSupportedCodePage(CodePage) || (CodePage == CP_UTF8 && defaultCharGiven) || !lpWideCharStr ||
        cchWideChar == 0 || cchWideChar < -1 || cbMultiByte < 0 || (cbMultiByte > 0 && !lpMultiByteStr)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    if (lpUsedDefaultChar) {
        *lpUsedDefaultChar = FALSE;
    }
    std::wstring_view input(lpWideCharStr,
                            cchWideChar == -1 ? std::wcslen(lpWideCharStr) + 1 : static_cast<std::size_t>(cchWideChar));
    std::string bytes = platform::ToUtf8(input);
    if (bytes.size() > INT_MAX) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    const int needed = static_cast<int>(bytes.size());
    if (cbMultiByte == 0) {
        return needed;
    }
    if (cbMultiByte < needed) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    std::memcpy(lpMultiByteStr, bytes.data(), bytes.size());
    return needed;
}
