#include "tests/support/demo_install.h"

#include "tests/support/test_files.h"

#include <thread>

namespace fs = std::filesystem;

namespace testsupport {

namespace {

// The seed every demo client's data file was made with.
constexpr unsigned kWorldSeed = 11;
constexpr auto kRecordPoll = std::chrono::milliseconds(10);

}  // namespace

void LayOutDemoClient(const DemoParts& parts, const fs::path& client, std::size_t bigFileBytes) {
    fs::copy(parts.folder / "client", client, fs::copy_options::recursive);
    WriteBytes(client / "data/world.pak", RandomBytes(bigFileBytes, kWorldSeed));
    fs::copy_file(parts.gameProgram, client / "qm.exe");
}

void LayOutDemoLauncher(const DemoParts& parts, const fs::path& launcher) {
    fs::create_directories(launcher);
    fs::copy_file(parts.launcherProgram, launcher / "Launcher.exe");
    fs::copy(parts.launcherStyles, launcher / "LauncherStyles", fs::copy_options::recursive);
    fs::copy_file(parts.folder / "launcher/Platform.ini", launcher / "Platform.ini");
}

std::string DemoSettings(const DemoParts& parts, int port) {
    return ReplaceAll(ReadBytes(parts.folder / "launcher/demo.ini.in"), "@PORT@", std::to_string(port));
}

std::string WaitForGameRecord(const fs::path& file, std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    std::string record = ReadBytes(file);
    while (!(record.find("\ncurrent directory: ") != std::string::npos && record.back() == '\n') &&
           std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(kRecordPoll);
        record = ReadBytes(file);
    }
    return record;
}

}  // namespace testsupport
