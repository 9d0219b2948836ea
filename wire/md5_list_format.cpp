#include "wire/md5_list_format.h"

#include "platform/text.h"

#include <algorithm>
#include <limits>

namespace {

bool IsMd5Text(const std::wstring& text) {
    return text.size() == 16 && std::all_of(text.begin(), text.end(), [](wchar_t c) {
               return (c >= L'0' && c <= L'9') || (c >= L'a' && c <= L'f');
           });
}

bool OnlyBlanksLeft(std::wistream& stream) {
    stream >> std::ws;
    return stream.eof();
}

}  // namespace

std::string Md5ListBytes(const std::vector<Md5ListEntry>& entries) {
    std::wstring text;
    for (const Md5ListEntry& entry : entries) {
        text += entry.path + L'\n';
        text += std::to_wstring(entry.size) + L' ' + entry.md5 + L'\n';
    }
    // The launcher skips the first two bytes unread; they must be the mark.
    return "\xFF\xFE" + platform::ToUtf16Le(text);
}

std::wstring DecodeMd5List(const unsigned char* pbyData, std::size_t cbData) {
    if (cbData < 2)
        return std::wstring();
    std::wstring text = platform::FromUtf16Le(std::string_view(reinterpret_cast<const char*>(pbyData) + 2, cbData - 2));
    text.resize(std::min(text.size(), text.find(L'\0')));
    return text;
}

Md5ListRead ReadMd5List(std::wistream& stream) {
    Md5ListRead read;
    for (;;) {
        wchar_t line[kMaxListedPath + 1] = {};
        stream.getline(line, kMaxListedPath + 1, L'\n');
        if (stream.gcount() == 0)
            break;
        const std::wstring where = L"entry " + std::to_wstring(read.entries.size() + 1) + L" \"" + line + L"\": ";
        if (stream.fail()) {
            read.problem = where + L"a path line longer than " + std::to_wstring(kMaxListedPath) + L" characters";
            break;
        }
        if (line[0] == L'\0' && OnlyBlanksLeft(stream))
            break;
        Md5ListEntry entry;
        entry.path = line;
        long long size = 0;
        if (!(stream >> size)) {
            read.problem = where + L"no size that can be read";
            break;
        }
        if (size < 0 || size > kMaxListedBytes) {
            read.problem = where + L"the size " + std::to_wstring(size) + L" is out of range";
            break;
        }
        entry.size = size;
        stream >> entry.md5;
        if (!IsMd5Text(entry.md5)) {
            read.problem = where + L"no 16-character MD5 text";
            break;
        }
        read.entries.push_back(std::move(entry));
        stream.ignore(std::numeric_limits<std::streamsize>::max(), L'\n');
        if (!stream)
            break;
    }
    return read;
}
