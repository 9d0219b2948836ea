#include "platform/linux/wininet/wininet_headers.h"

#include "platform/wininet.h"

#include <strings.h>
#include <algorithm>

namespace platform {

namespace {

bool SameName(std::string_view a, std::string_view b) {
    return a.size() == b.size() && ::strncasecmp(a.data(), b.data(), a.size()) == 0;
}

std::string_view Trim(std::string_view text) {
    auto blank = [](char c) { return c == ' ' || c == '\t'; };
    while (!text.empty() && blank(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && blank(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

// A header name is a token: visible ASCII without separators that would
// change the meaning of the line.
bool IsToken(std::string_view name) {
    return !name.empty() && std::all_of(name.begin(), name.end(), [](char c) {
        auto u = static_cast<unsigned char>(c);
        return u > 0x20 && u < 0x7F && c != ':' && c != '(' && c != ')' && c != '"';
    });
}

bool IsValue(std::string_view value) {
    return std::none_of(value.begin(), value.end(), [](char c) {
        auto u = static_cast<unsigned char>(c);
        return (u < 0x20 && c != '\t') || u == 0x7F;
    });
}

}  // namespace

DWORD RequestHeaders::Add(std::string_view text, DWORD modifiers) {
    std::vector<Line> lines = m_lines;
    std::size_t begin = 0;
    while (begin < text.size()) {
        std::size_t end = text.find_first_of("\r\n", begin);
        if (end == std::string_view::npos) {
            end = text.size();
        }
        std::string_view line = text.substr(begin, end - begin);
        begin = end + 1;
        if (Trim(line).empty()) {
            continue;
        }
        std::size_t colon = line.find(':');
        if (colon == std::string_view::npos) {
            return ERROR_INVALID_PARAMETER;
        }
        std::string_view name = line.substr(0, colon);
        std::string_view value = Trim(line.substr(colon + 1));
        if (!IsToken(name) || !IsValue(value)) {
            return ERROR_INVALID_PARAMETER;
        }
        auto existing =
            std::find_if(lines.begin(), lines.end(), [&](const Line& l) { return SameName(l.first, name); });
        if (modifiers & HTTP_ADDREQ_FLAG_REPLACE) {
            if (existing != lines.end()) {
                // An empty value removes the header.
                if (value.empty()) {
                    lines.erase(existing);
                } else {
                    existing->second = std::string(value);
                }
                continue;
            }
            if (!(modifiers & HTTP_ADDREQ_FLAG_ADD)) {
                return ERROR_HTTP_HEADER_NOT_FOUND;
            }
        } else if ((modifiers & HTTP_ADDREQ_FLAG_ADD_IF_NEW) && existing != lines.end()) {
            return ERROR_HTTP_HEADER_ALREADY_EXISTS;
        }
        lines.emplace_back(std::string(name), std::string(value));
    }
    m_lines = std::move(lines);
    return ERROR_SUCCESS;
}

bool RequestHeaders::Has(std::string_view name) const {
    return std::any_of(m_lines.begin(), m_lines.end(), [&](const Line& l) { return SameName(l.first, name); });
}

}  // namespace platform
