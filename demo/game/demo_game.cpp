// The demo's stand-in for the game, "qm.exe": it records how the launcher
// started it in "qm-started.txt" in its current directory, which is where the
// launcher installed the client, and greets the player.
#include "platform/kernel32.h"
#include "platform/text.h"

#include <filesystem>
#include <fstream>
#include <iostream>

int main(int argc, char** argv) {
    const std::string commandLine = platform::ToUtf8(GetCommandLineW());
    const std::string folder = std::filesystem::current_path().string();
    {
        std::ofstream record("qm-started.txt", std::ios::binary | std::ios::trunc);
        record << "command line: " << commandLine << '\n';
        for (int i = 0; i < argc; ++i)
            record << "argument " << i << ": " << argv[i] << '\n';
        record << "current directory: " << folder << '\n';
        if (!record.flush()) {
            std::cerr << "qm.exe: cannot write qm-started.txt in " << folder << '\n';
            return 1;
        }
    }
    std::cout << "Quillmoor (demo) is starting: welcome, adventurer! Started in " << folder << " with: " << commandLine
              << std::endl;
    return 0;
}
