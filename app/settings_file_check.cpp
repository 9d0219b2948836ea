#include "app/settings_file_check.h"

#include "codec/md5_functions.h"
#include "net/web_url.h"
#include "platform/crt.h"
#include "platform/kernel32.h"
#include "platform/text.h"

#include <algorithm>
#include <cstdio>
#include <cwctype>
#include <memory>
#include <string_view>
#include <vector>

namespace {

struct FileCloser {
    void operator()(FILE* file) const { std::fclose(file); }
};

// Not a character a settings line can hold, so it marks an absent key.
constexpr wchar_t kAbsent[] = L"\x01";

std::wstring_view Trim(std::wstring_view text) {
    const std::size_t first = text.find_first_not_of(L" \t\r");
    if (first == std::wstring_view::npos)
        return {};
    return text.substr(first, text.find_last_not_of(L" \t\r") - first + 1);
}

bool IsText(std::wstring_view text) {
    for (const wchar_t ch : text) {
        if ((ch < L' ' && ch != L'\t' && ch != L'\r' && ch != L'\n') || ch == 0x7f || ch == 0xfffd)
            return false;
    }
    return true;
}

// A section header as the profile functions read it: the name between '['
// and the first ']', blanks around it ignored.
bool HasConfigSection(std::wstring_view text) {
    while (!text.empty()) {
        const std::size_t end = text.find(L'\n');
        const std::wstring_view line = Trim(text.substr(0, end));
        text.remove_prefix(end == std::wstring_view::npos ? text.size() : end + 1);
        if (line.empty() || line.front() != L'[')
            continue;
        std::wstring name(Trim(line.substr(1, line.find(L']') - 1)));
        for (wchar_t& ch : name)
            ch = static_cast<wchar_t>(std::towlower(static_cast<wint_t>(ch)));
        if (name == L"config")
            return true;
    }
    return false;
}

// Read as the launcher reads it: through the profile functions.
bool IsAbsentOrWebUrl(const std::wstring& path, const wchar_t* key) {
    std::vector<wchar_t> buffer(MAX_PATH, L'\0');
    const DWORD length = GetPrivateProfileStringW(L"Config", key, kAbsent, buffer.data(), MAX_PATH, path.c_str());
    const std::wstring value(buffer.data(), length);
    return value == kAbsent || IsWebUrl(value);
}

}  // namespace

bool IsUsableSettingsFile(const std::wstring& path) {
    const std::unique_ptr<FILE, FileCloser> file(_wfopen(path.c_str(), L"rb"));
    if (!file)
        return false;
    std::string bytes(kMaxServerSettingsBytes + 1, '\0');
    bytes.resize(std::fread(bytes.data(), 1, bytes.size(), file.get()));
    if (std::ferror(file.get()) || bytes.size() > static_cast<std::size_t>(kMaxServerSettingsBytes))
        return false;
    std::string_view view(bytes);
    std::wstring text;
    if (view.starts_with("\xFF\xFE")) {
        text = platform::FromUtf16Le(view.substr(2));
    } else {
        if (view.starts_with("\xEF\xBB\xBF"))
            view.remove_prefix(3);
        text = platform::FromUtf8(view);
    }
    return IsText(text) && HasConfigSection(text) && IsAbsentOrWebUrl(path, L"Version") &&
           IsAbsentOrWebUrl(path, L"Web");
}

bool MatchesListedFile(const std::wstring& path, const std::vector<FileEntry>& listed, const std::wstring& listedPath) {
    const auto entry =
        std::find_if(listed.begin(), listed.end(), [&](const FileEntry& e) { return e.path == listedPath; });
    if (entry == listed.end())
        return true;
    const std::unique_ptr<FILE, FileCloser> file(_wfopen(path.c_str(), L"rb"));
    if (!file || fseeko(file.get(), 0, SEEK_END) != 0 || ftello(file.get()) != entry->size)
        return false;
    const std::wstring digest = Md5TextOfFile(path);
    return !digest.empty() && digest == entry->md5;
}
