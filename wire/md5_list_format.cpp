#include "wire/md5_list_format.h"

#include "platform/text.h"

std::string Md5ListBytes(const std::vector<Md5ListEntry>& entries) {
    std::wstring text;
    for (const Md5ListEntry& entry : entries) {
        text += entry.path + L'\n';
        text += std::to_wstring(entry.size) + L' ' + entry.md5 + L'\n';
    }
    // The launcher skips the first two bytes unread; they must be the mark.
    return "\xFF\xFE" + platform::ToUtf16Le(text);
}
