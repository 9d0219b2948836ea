// A program for the process tests: writes what it was started with to
// "echo_args.txt" in its current directory and exits with its argument
// count. With the argument "hold" it then stays running until a file
// "release" appears beside the output (or a minute has passed), so tests can
// act on a running program.
#include "platform/kernel32.h"
#include "platform/text.h"

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

int main(int argc, char** argv) {
    {
        std::ofstream out("echo_args.txt", std::ios::binary);
        out << "line=" << platform::ToUtf8(GetCommandLineW()) << '\n';
        // UTF-8 on every system (the path is wide on Windows).
        const std::u8string cwd = std::filesystem::current_path().u8string();
        out << "cwd=" << std::string(cwd.begin(), cwd.end()) << '\n';
        for (int i = 0; i < argc; ++i) {
            out << "arg=" << argv[i] << '\n';
        }
    }
    if (argc > 1 && std::string(argv[1]) == "hold") {
        for (int i = 0; i < 6000 && !std::filesystem::exists("release"); ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    }
    return argc;
}
