// Whether a folder copy took. A copy can report success and leave a file as
// it was (seen under Wine while the old launcher was ending), so
// copy-and-restart checks what it copied before it says so.
#pragma once

#include <string>

// The first file below fromFolder that toFolder does not hold with the same
// size and bytes, relative to fromFolder; empty when every file matches.
// Files only toFolder holds do not count.
std::wstring FirstFileNotCopied(const std::wstring& fromFolder, const std::wstring& toFolder);
