#include "wire/mirror_list.h"

std::vector<std::wstring> SplitMirrors(std::wstring_view value) {
    std::vector<std::wstring> mirrors;
    constexpr std::wstring_view kBlanks = L" \t";
    for (std::size_t start = value.find_first_not_of(kBlanks); start != std::wstring_view::npos;) {
        const std::size_t end = value.find_first_of(kBlanks, start);
        mirrors.emplace_back(value.substr(start, end == std::wstring_view::npos ? end : end - start));
        start = end == std::wstring_view::npos ? end : value.find_first_not_of(kBlanks, end);
    }
    return mirrors;
}
