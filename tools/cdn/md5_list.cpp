#include "tools/cdn/md5_list.h"

#include "platform/text.h"

std::string Md5ListBytes(const std::vector<ListedFile>& files) {
    std::wstring text;
    for (const ListedFile& file : files) {
        text += file.path + L'\n';
        text += std::to_wstring(file.size) + L' ' + platform::FromUtf8(file.md5Text) + L'\n';
    }
    // The launcher skips the first two bytes unread; they must be the mark.
    return "\xFF\xFE" + platform::ToUtf16Le(text);
}
