// The Microsoft C runtime's rule for splitting a command line into arguments,
// and its inverse.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace platform {

// Argument 0 is the text between the first pair of double quotes when the
// line starts with one, otherwise everything up to the first blank or tab (so
// a line starting with a blank has an empty argument 0). The other arguments
// are separated by blanks and tabs; double quotes group and are removed;
// 2n backslashes before a quote give n backslashes and the quote groups,
// 2n+1 give n backslashes and a literal quote; other backslashes are literal.
// The result always holds argument 0.
std::vector<std::wstring> SplitCommandLine(std::wstring_view commandLine);

// A command line that SplitCommandLine turns back into `arguments`. Argument
// 0 is quoted when it is empty or holds a blank or tab; it cannot carry a
// double quote together with a blank, nor start with one.
std::wstring JoinCommandLine(const std::vector<std::wstring>& arguments);

}  // namespace platform
