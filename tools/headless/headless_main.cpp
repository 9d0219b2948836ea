// quillmoor-headless: the launcher without a display, driven from the
// command line (see --help).
#include "codec/md5_functions.h"
#include "platform/console.h"
#include "platform/window_system.h"
#include "tools/headless/headless_app.h"
#include "tools/headless/headless_options.h"

#include <iostream>

namespace {
// The digest functions are resolved before anything runs, as in the launcher.
const bool g_md5FunctionsLoaded = LoadMd5Functions();
}  // namespace

int main(int argc, char** argv) {
    HeadlessOptions options;
    try {
        const HeadlessCommand command = ParseHeadlessCommand(std::vector<std::string>(argv + 1, argv + argc));
        if (const auto* help = std::get_if<HeadlessHelp>(&command)) {
            std::cout << help->text;
            return 0;
        }
        options = std::get<HeadlessOptions>(command);
    } catch (const HeadlessUsageError& failure) {
        std::cerr << "quillmoor-headless: " << failure.what() << '\n';
        return kExitUsage;
    }
    if (!g_md5FunctionsLoaded) {
        std::cerr << "quillmoor-headless: no MD5 functions\n";
        return kExitEnded;
    }
    // Never a window on screen, even where a display is at hand, where the
    // system allows it.
    platform::KeepWindowsOffScreen();
    HeadlessApp app(std::move(options), platform::OutputIsTerminal());
    return AfxWinMain();
}
