// The shlwapi path helpers. '/' counts as a separator like '\'; a drive
// ("C:") is recognised only at the start, since ':' is an ordinary character
// in the names of this system.
#include "platform/shell32.h"

#include <cwchar>

namespace {

bool IsSeparator(wchar_t c) {
    return c == L'\\' || c == L'/';
}

// Length of a leading drive ("C:"), 0 when there is none.
std::size_t DriveLength(const wchar_t* path) {
    return (path[0] != L'\0' && path[1] == L':') ? 2 : 0;
}

}  // namespace

BOOL PathRemoveFileSpecW(LPWSTR pszPath) {
    if (!pszPath) {
        return FALSE;
    }
    // Up to two leading separators (a root or a UNC prefix) and a drive with
    // its root separator are kept.
    wchar_t* p = pszPath;
    for (int i = 0; i < 2 && IsSeparator(*p); ++i) {
        ++p;
    }
    if (p == pszPath) {
        p += DriveLength(p);
        if (p != pszPath && IsSeparator(*p)) {
            ++p;
        }
    }
    wchar_t* cut = p;
    for (; *p; ++p) {
        if (IsSeparator(*p)) {
            cut = p;
        }
    }
    if (*cut == L'\0') {
        return FALSE;
    }
    *cut = L'\0';
    return TRUE;
}

LPWSTR PathFindFileNameW(LPCWSTR pszPath) {
    if (!pszPath) {
        return nullptr;
    }
    const wchar_t* name = pszPath;
    const bool hasDrive = DriveLength(pszPath) != 0;
    // A trailing separator belongs to the last name ("dir\" for "C:\dir\").
    for (const wchar_t* p = pszPath; *p; ++p) {
        if ((IsSeparator(*p) || (hasDrive && p == pszPath + 1)) && p[1] != L'\0' && !IsSeparator(p[1])) {
            name = p + 1;
        }
    }
    return const_cast<LPWSTR>(name);
}

void PathStripPathW(LPWSTR pszPath) {
    if (!pszPath) {
        return;
    }
    LPWSTR name = PathFindFileNameW(pszPath);
    if (name != pszPath) {
        std::wmemmove(pszPath, name, std::wcslen(name) + 1);
    }
}

void PathRemoveExtensionW(LPWSTR pszPath) {
    if (!pszPath) {
        return;
    }
    // The extension is the last '.' of the last name, unless a blank follows it.
    wchar_t* dot = nullptr;
    for (wchar_t* p = pszPath; *p; ++p) {
        if (IsSeparator(*p) || *p == L' ') {
            dot = nullptr;
        } else if (*p == L'.') {
            dot = p;
        }
    }
    if (dot) {
        *dot = L'\0';
    }
}
