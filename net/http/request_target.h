// The request target as it goes on the wire.
#pragma once

#include <string>
#include <string_view>

namespace Drelk {

// Every character outside printable ASCII (non-ASCII, blanks, controls) as
// the percent-escaped bytes of its UTF-8 form; what is already escaped and
// every reserved character stay as they are. Left to WinINet, a Chinese file
// name would go out in the system's ANSI code page (or as '?'), which no
// server maps back to the file it stores in UTF-8.
std::wstring EscapeRequestTarget(std::wstring_view target);

}  // namespace Drelk
