// The demo's stand-in for the game, "qm.exe": it records how the launcher
// started it in "qm-started.txt" in its current directory, which is where the
// launcher installed the client, and greets the player. The arguments are the
// command line split by the C runtime's rule and the folder is asked of the
// system in wide characters, so the record reads the same on every system
// (UTF-8), whatever the ANSI code page.
#include "platform/command_line.h"
#include "platform/kernel32.h"
#include "platform/text.h"

#include <fstream>
#include <iostream>
#include <string>
#include <vector>

namespace {

std::wstring CurrentFolder() {
    std::wstring folder(GetCurrentDirectoryW(0, nullptr), L'\0');
    folder.resize(GetCurrentDirectoryW(DWORD(folder.size()), folder.data()));
    return folder;
}

}  // namespace

int main() {
    const std::wstring commandLine = GetCommandLineW();
    const std::vector<std::wstring> arguments = platform::SplitCommandLine(commandLine);
    const std::string folder = platform::ToUtf8(CurrentFolder());
    {
        std::ofstream record("qm-started.txt", std::ios::binary | std::ios::trunc);
        record << "command line: " << platform::ToUtf8(commandLine) << '\n';
        for (std::size_t i = 0; i < arguments.size(); ++i)
            record << "argument " << i << ": " << platform::ToUtf8(arguments[i]) << '\n';
        record << "current directory: " << folder << '\n';
        if (!record.flush()) {
            std::cerr << "qm.exe: cannot write qm-started.txt in " << folder << '\n';
            return 1;
        }
    }
    std::cout << "Quillmoor (demo) is starting: welcome, adventurer! Started in " << folder
              << " with: " << platform::ToUtf8(commandLine) << std::endl;
    return 0;
}
