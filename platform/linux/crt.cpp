// The C runtime's wide file open.
#include "platform/crt.h"

#include "platform/text.h"

#include <algorithm>
#include <cerrno>
#include <string>

FILE* _wfopen(const wchar_t* filename, const wchar_t* mode) {
    if (!filename || !mode) {
        errno = EINVAL;
        return nullptr;
    }
    // Close-on-exec: a started program must not inherit the launcher's open
    // files, as with Windows handles that are not marked inheritable.
    const std::string windowsMode = platform::ToUtf8(mode);
    const std::size_t flagsEnd = std::min(windowsMode.find(','), windowsMode.size());
    const std::string nativeMode = windowsMode.substr(0, flagsEnd) + 'e' + windowsMode.substr(flagsEnd);
    return std::fopen(platform::NativePath(filename).c_str(), nativeMode.c_str());
}
