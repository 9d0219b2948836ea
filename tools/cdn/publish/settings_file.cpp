#include "tools/cdn/publish/settings_file.h"

#include "platform/text.h"
#include "tools/cdn/publish/file_handle.h"

#include <algorithm>
#include <cwctype>
#include <sstream>

namespace {

std::wstring Trimmed(const std::wstring& text) {
    const auto first = std::find_if_not(text.begin(), text.end(), iswspace);
    const auto last = std::find_if_not(text.rbegin(), text.rend(), iswspace).base();
    return first < last ? std::wstring(first, last) : std::wstring();
}

std::wstring Lowered(std::wstring text) {
    std::transform(text.begin(), text.end(), text.begin(), towlower);
    return text;
}

// Profile files are UTF-16LE behind a mark, or 8-bit text.
std::wstring DecodedText(const std::string& bytes) {
    if (bytes.rfind("\xFF\xFE", 0) == 0) {
        return platform::FromUtf16Le(std::string_view(bytes).substr(2));
    }
    if (bytes.rfind("\xEF\xBB\xBF", 0) == 0) {
        return platform::FromUtf8(std::string_view(bytes).substr(3));
    }
    return platform::FromUtf8(bytes);
}

}  // namespace

std::vector<std::string> SettingsFileWarnings(const std::filesystem::path& file) {
    std::wistringstream lines(DecodedText(ReadWholeFile(file)));
    bool inConfig = false;
    bool sawConfig = false;
    for (std::wstring line; std::getline(lines, line);) {
        line = Trimmed(line);
        if (!line.empty() && line.front() == L'[') {
            inConfig = Lowered(line) == L"[config]";
            sawConfig = sawConfig || inConfig;
        } else if (inConfig && Lowered(Trimmed(line.substr(0, line.find(L'=')))) == L"web" &&
                   line.find(L'=') != std::wstring::npos) {
            return {};
        }
    }
    const std::string name = file.string();
    if (!sawConfig) {
        return {name + " has no [Config] section: the launcher would take an empty page address from it"};
    }
    return {name + " names no Web page in [Config]: the launcher would take an empty page address from it"};
}
