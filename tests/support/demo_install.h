// A player's machine as scripts/demo lays it out, for the tests that run the
// built launcher or its headless front end against a served CDN: the demo
// client with its game, the launcher's folder with its pictures and the
// demo's settings, and the record the demo game leaves where it started.
#pragma once

#include "tests/support/temp_dir.h"

#include <chrono>
#include <cstddef>
#include <filesystem>
#include <string>

namespace testsupport {

// What the demo is made of, as the sources and the build have it.
struct DemoParts {
    // demo/ in the sources.
    std::filesystem::path folder;
    // The built Launcher.exe and its LauncherStyles/ folder.
    std::filesystem::path launcherProgram;
    std::filesystem::path launcherStyles;
    // The built demo game, qm.exe in the client.
    std::filesystem::path gameProgram;
};

// The folders of a player's machine in a fresh temporary folder: where the
// demo's client and launcher are laid out, the launcher installed, the CDN
// published, and the launcher keeps its data and installs the client. Test
// fixtures derive from it to name the folders as their own.
struct DemoMachine {
    TempDir work;
    const std::filesystem::path client = work.Path() / "client";
    const std::filesystem::path launcher = work.Path() / "launcher";
    const std::filesystem::path install = work.Path() / "install";
    const std::filesystem::path cdn = work.Path() / "cdn";
    const std::filesystem::path data = work.Path() / "data";
    const std::filesystem::path clientFolder = data / "Quillmoor/C1";
};

// demo/client with qm.exe and data/world.pak of `bigFileBytes` random
// bytes, which do not compress, so that its download takes as long as its
// size says.
void LayOutDemoClient(const DemoParts& parts, const std::filesystem::path& client, std::size_t bigFileBytes);

// The launcher as published, without its settings: the program, its
// pictures and Platform.ini.
void LayOutDemoLauncher(const DemoParts& parts, const std::filesystem::path& launcher);

// The demo's settings file (demo.ini) naming a server on 127.0.0.1:port.
std::string DemoSettings(const DemoParts& parts, int port);

// The record qm.exe writes where it was started, once whole. The launcher
// does not wait for the game it starts, so the record may still be on its
// way; `limit` only ends a test whose game never writes one.
std::string WaitForGameRecord(const std::filesystem::path& file, std::chrono::milliseconds limit);

}  // namespace testsupport
