#include "fuzz/path_walk.h"

#include <string_view>

namespace fuzz {

PathWalk Walk(const std::wstring& path) {
    std::wstring_view name(path.c_str());
    PathWalk walk;
    auto separator = [](wchar_t ch) { return ch == L'/' || ch == L'\\'; };
    walk.absolute = name.empty() || separator(name.front()) || name.find(L':') != std::wstring_view::npos;
    int depth = 0;
    std::size_t start = 0;
    for (std::size_t i = 0; i <= name.size(); ++i) {
        if (i < name.size() && !separator(name[i]))
            continue;
        const std::wstring_view component = name.substr(start, i - start);
        if (component.empty() && i > 0)
            walk.emptyComponent = true;
        else if (component == L"..")
            walk.escapes = --depth < 0 || walk.escapes;
        else if (component != L".")
            ++depth;
        start = i + 1;
    }
    return walk;
}

}  // namespace fuzz
