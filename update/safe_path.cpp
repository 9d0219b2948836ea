#include "update/safe_path.h"

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
        if (path.compare(start, length, L"..") == 0)
            return false;
        if (end == std::wstring::npos)
            break;
        start = end + 1;
    }
    return true;
}
