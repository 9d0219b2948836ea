#include "update/safe_path.h"

#include <string_view>

bool IsSafeRelativePath(const std::wstring& path) {
    if (path.empty() || path[0] == L'/' || path[0] == L'\\')
        return false;
    if (path.find(L':') != std::wstring::npos)  // "C:", "\\?\", alternate streams
        return false;
    if (path.find(L'\0') != std::wstring::npos)
        return false;
    std::size_t start = 0;
    while (start <= path.size()) {
        const std::size_t end = path.find_first_of(L"/\\", start);
        const std::size_t length = (end == std::wstring::npos ? path.size() : end) - start;
        // Windows drops a name's trailing dots and blanks, so "..", ".. "
        // and ". ." all name the parent there: a part of nothing else is
        // refused, a lone "." aside.
        const std::wstring_view part(path.data() + start, length);
        if (!part.empty() && part != L"." && part.find_first_not_of(L". ") == std::wstring_view::npos)
            return false;
        if (end == std::wstring::npos)
            break;
        start = end + 1;
    }
    return true;
}

bool IsSafeListPath(const std::wstring& path) {
    if (!IsSafeRelativePath(path))
        return false;
    // Separators of either kind: never two in a row, never at the end.
    for (std::size_t i = path.find_first_of(L"/\\"); i != std::wstring::npos; i = path.find_first_of(L"/\\", i + 1)) {
        if (i + 1 == path.size() || path[i + 1] == L'/' || path[i + 1] == L'\\')
            return false;
    }
    return true;
}
