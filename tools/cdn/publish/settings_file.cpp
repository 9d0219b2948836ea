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

bool IsSectionHeader(const std::wstring& trimmedLine) {
    return !trimmedLine.empty() && trimmedLine.front() == L'[';
}

// The key of a "key=value" line, trimmed and in lower case; empty for others.
std::wstring KeyOf(const std::wstring& trimmedLine) {
    const std::size_t equals = trimmedLine.find(L'=');
    return equals == std::wstring::npos ? std::wstring() : Lowered(Trimmed(trimmedLine.substr(0, equals)));
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

std::string SettingsWithMirrors(const std::string& bytes, const std::vector<std::string>& mirrors) {
    const bool utf16 = bytes.rfind("\xFF\xFE", 0) == 0;
    const bool utf8Mark = bytes.rfind("\xEF\xBB\xBF", 0) == 0;
    const std::wstring text = DecodedText(bytes);
    const std::wstring lineEnd = text.find(L"\r\n") != std::wstring::npos ? L"\r\n" : L"\n";
    std::wstring line = L"Mirrors=";
    for (std::size_t i = 0; i < mirrors.size(); ++i) {
        line += (i == 0 ? L"" : L" ") + platform::FromUtf8(mirrors[i]);
    }
    line += lineEnd;

    std::wstring edited;
    bool inConfig = false;
    bool written = false;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = text.find(L'\n', start);
        const std::size_t next = end == std::wstring::npos ? text.size() : end + 1;
        const std::wstring original = text.substr(start, next - start);
        const std::wstring trimmed = Trimmed(original);
        start = next;
        if (IsSectionHeader(trimmed)) {
            inConfig = Lowered(trimmed) == L"[config]";
        } else if (inConfig && KeyOf(trimmed) == L"mirrors") {
            continue;
        }
        edited += original;
        if (inConfig && !written) {
            // A header on the file's last line has no line end of its own.
            if (original.back() != L'\n') {
                edited += lineEnd;
            }
            edited += line;
            written = true;
        }
    }
    if (!written) {
        if (!edited.empty() && edited.back() != L'\n') {
            edited += lineEnd;
        }
        edited += L"[Config]" + lineEnd + line;
    }
    if (utf16) {
        return "\xFF\xFE" + platform::ToUtf16Le(edited);
    }
    return (utf8Mark ? "\xEF\xBB\xBF" : "") + platform::ToUtf8(edited);
}
