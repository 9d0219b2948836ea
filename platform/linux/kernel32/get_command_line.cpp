// GetCommandLineW: the starter's exact line when it was CreateProcessW,
// otherwise a line rebuilt from argv.
#include "platform/kernel32.h"

#include "platform/command_line.h"
#include "platform/linux/kernel32/command_line_variable.h"
#include "platform/text.h"

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

std::vector<std::wstring> OwnArguments() {
    std::ifstream file("/proc/self/cmdline", std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    // Every argument, the last one too, ends with a NUL.
    std::vector<std::wstring> arguments;
    for (std::size_t start = 0; start < bytes.size();) {
        std::size_t end = bytes.find('\0', start);
        if (end == std::string::npos) {
            end = bytes.size();
        }
        arguments.push_back(platform::FromUtf8(std::string_view(bytes).substr(start, end - start)));
        start = end + 1;
    }
    return arguments;
}

std::wstring ComputeCommandLine() {
    std::vector<std::wstring> arguments = OwnArguments();
    if (const char* handedOver = std::getenv(platform::kCommandLineVariable)) {
        std::wstring line = platform::FromUtf8(handedOver);
        // Not for the programs this one starts by other means.
        unsetenv(platform::kCommandLineVariable);
        if (platform::SplitCommandLine(line) == arguments) {
            return line;
        }
    }
    return platform::JoinCommandLine(arguments);
}

}  // namespace

LPWSTR GetCommandLineW() {
    static std::wstring line = ComputeCommandLine();
    return line.data();
}

namespace {

// Taken during static initialisation, while the process has one thread:
// removing the variable later could race with other threads reading the
// environment.
[[maybe_unused]] const LPCWSTR g_commandLineAtStart = GetCommandLineW();

}  // namespace
