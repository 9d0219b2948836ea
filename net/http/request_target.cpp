#include "net/http/request_target.h"

#include "platform/text.h"

namespace Drelk {

namespace {

bool PrintableAscii(wchar_t c) {
    return c > L' ' && c < 0x7f;
}

}  // namespace

std::wstring EscapeRequestTarget(std::wstring_view target) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::wstring escaped;
    escaped.reserve(target.size());
    std::size_t i = 0;
    while (i < target.size()) {
        if (PrintableAscii(target[i])) {
            escaped += target[i++];
            continue;
        }
        // A whole run at once, so that a surrogate pair stays one character.
        std::size_t end = i + 1;
        while (end < target.size() && !PrintableAscii(target[end]))
            ++end;
        for (const unsigned char byte : platform::ToUtf8(target.substr(i, end - i))) {
            escaped += L'%';
            escaped += static_cast<wchar_t>(kHex[byte >> 4]);
            escaped += static_cast<wchar_t>(kHex[byte & 0x0f]);
        }
        i = end;
    }
    return escaped;
}

}  // namespace Drelk
