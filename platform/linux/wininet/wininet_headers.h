// Internal to the stand-in: the request header lines of one WinINet request,
// kept as HttpAddRequestHeadersA leaves them, in the order they were added.
#pragma once

#include "platform/win_types.h"

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace platform {

class RequestHeaders {
public:
    using Line = std::pair<std::string, std::string>;  // name as written, value trimmed

    // Adds "Name: value" lines separated by CR, LF or CR LF, with the
    // HTTP_ADDREQ_FLAG_* modifiers. All lines take effect or none: returns 0,
    // or the Win32 error when a line is malformed or a modifier refuses it.
    DWORD Add(std::string_view text, DWORD modifiers);
    bool Has(std::string_view name) const;
    const std::vector<Line>& Lines() const { return m_lines; }

private:
    std::vector<Line> m_lines;
};

}  // namespace platform
