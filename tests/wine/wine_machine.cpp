#include "tests/wine/wine_machine.h"

#include "tests/support/test_files.h"

#include <algorithm>
#include <thread>

namespace winetest {

namespace {

const fs::path kWindowsBuild = QM_WINDOWS_BUILD;
const fs::path kDemoFolder = QM_DEMO_FOLDER;
constexpr char kPlatform[] = "demo";
// Bounds that only end a test whose programs hang.
constexpr auto kServerStartLimit = std::chrono::seconds(20);
constexpr auto kPublishLimit = std::chrono::minutes(2);
constexpr auto kProgramLimit = std::chrono::minutes(3);
constexpr auto kToolLimit = std::chrono::minutes(1);

// What every case of the test program shares: starting Wine in a fresh
// prefix costs seconds, a copy of a prepared one a fraction of that.
struct Shared {
    std::unique_ptr<testsupport::TempDir> folder;
    fs::path prefix;
    // The Windows user's local application data folder in the prefix.
    fs::path localAppData;
    std::string windowsLocalAppData;
    std::unique_ptr<testsupport::XDisplay> display;
    // Why the cases cannot run; empty when they can.
    std::string problem;
};
Shared& Machine() {
    static Shared shared;
    return shared;
}

std::string MissingPrograms() {
    std::string missing;
    const WindowsPrograms& programs = Programs();
    for (const fs::path& file : {programs.headless, programs.launcher, programs.game, programs.styles})
        if (!fs::exists(file))
            missing += " " + file.string();
    return missing;
}

testsupport::ProgramResult RunLinuxTool(const std::vector<std::string>& argv, const fs::path& work,
                                        const std::string& name) {
    return testsupport::RunToEnd({argv, work, {}, work / (name + ".out"), work / (name + ".err")}, kToolLimit);
}

// Ends the prefix's Wine server and with it every program running there.
void EndPrefix(const fs::path& prefix) {
    testsupport::ProcessStart start;
    start.argv = {"wineserver", "-k"};
    start.environment = {{"WINEPREFIX", prefix.string()}};
    testsupport::RunProcess(start, kToolLimit);
}

}  // namespace

const WindowsPrograms& Programs() {
    static const WindowsPrograms programs{kWindowsBuild / "bin/quillmoor-headless.exe",
                                          kWindowsBuild / "bin/Launcher.exe", kWindowsBuild / "demo/qm.exe",
                                          kWindowsBuild / "bin/LauncherStyles"};
    return programs;
}

std::string WindowsPath(const fs::path& path) {
    std::string text = "Z:" + fs::absolute(path).string();
    for (char& c : text)
        if (c == '/')
            c = '\\';
    return text;
}

void WineMachine::SetUpTestSuite() {
    Shared& shared = Machine();
    if (const std::string missing = MissingPrograms(); !missing.empty()) {
        shared.problem = "the Windows build's programs are missing (scripts/build-windows builds them):" + missing;
        return;
    }
    const fs::path prepared = kWindowsBuild / "wine";
    if (!fs::exists(prepared / "system.reg")) {
        shared.problem = "no Wine prefix in " + prepared.string() + " (scripts/test-windows prepares it)";
        return;
    }
    shared.folder = std::make_unique<testsupport::TempDir>();
    shared.prefix = shared.folder->Path() / "wine";
    fs::copy(prepared, shared.prefix, fs::copy_options::recursive | fs::copy_options::copy_symlinks);
    for (const auto& user : fs::directory_iterator(shared.prefix / "drive_c/users")) {
        if (user.path().filename() == "Public" || !user.is_directory())
            continue;
        shared.localAppData = user.path() / "AppData/Local";
        shared.windowsLocalAppData = "C:\\users\\" + user.path().filename().string() + "\\AppData\\Local";
    }
    if (shared.localAppData.empty()) {
        shared.problem = "the Wine prefix in " + prepared.string() + " has no user folder";
        return;
    }
    // What a program puts on the desktop must stay in the prefix.
    if (fs::is_symlink(shared.localAppData.parent_path().parent_path() / "Desktop")) {
        shared.problem = "the Desktop of the Wine prefix in " + prepared.string() +
                         " links out of it (scripts/test-windows makes it a folder)";
        return;
    }
    fs::create_directories(shared.localAppData);
    // The prefix shows its windows on a Wine desktop of this size, which
    // composes the layered windows itself.
    testsupport::XDisplay::Options screen;
    screen.width = 1920;
    screen.height = 1080;
    screen.compositor = false;
    shared.display = std::make_unique<testsupport::XDisplay>(screen);
    if (!shared.display->Started())
        shared.problem = "no X server: " + shared.display->Problem();
}

void WineMachine::TearDownTestSuite() {
    Shared& shared = Machine();
    if (!shared.prefix.empty())
        EndPrefix(shared.prefix);
    // The next suite starts from nothing.
    shared = Shared{};
}

testsupport::XDisplay& WineMachine::Display() {
    return *Machine().display;
}

std::string WineMachine::WindowsDataFolder() {
    return Machine().windowsLocalAppData;
}

fs::path WineMachine::LocalAppData() {
    return Machine().localAppData;
}

fs::path WineMachine::UserFolder() {
    return Machine().localAppData.parent_path().parent_path();
}

void WineMachine::SetUp() {
    const Shared& shared = Machine();
    ASSERT_TRUE(shared.problem.empty()) << shared.problem;
    // The launcher's data folder in the prefix is this case's.
    const fs::path link = shared.localAppData / "Quillmoor";
    fs::remove(link);
    fs::create_directories(data / "Quillmoor");
    fs::create_directory_symlink(data / "Quillmoor", link);

    const testsupport::DemoParts parts{kDemoFolder, Programs().launcher, Programs().styles, Programs().game};
    // Incompressible, so that its download takes more than one read.
    testsupport::LayOutDemoClient(parts, client, 1 << 20);
    server = std::make_unique<testsupport::ServedCdn>(
        testsupport::ServedCdn::Folders{QM_CDN_PROGRAM, work.Path(), cdn, kDemoFolder / "web"}, kServerStartLimit);
    ASSERT_GT(server->Port(), 0) << "quillmoor-cdn serve did not start: " << server->Problem();
    UnpackLauncher();
}

void WineMachine::TearDown() {
    EndWindowsPrograms();
}

// The launcher's folder is what a studio ships: the zip of
// scripts/package-windows, made for this server and unpacked.
void WineMachine::UnpackLauncher() {
    const fs::path zip = work.Path() / "package.zip";
    std::vector<std::string> package{QM_PACKAGE_SCRIPT, "--no-build",
                                     "--build",         kWindowsBuild.string(),
                                     "--platform",      kPlatform,
                                     "--web",           Base() + "/web/index.html",
                                     "--version",       Base() + "/api/launcherversionnew",
                                     "--out",           zip.string()};
    if (packInstaller) {
        package.insert(package.end(), {"--installer", Installer().string()});
    } else {
        package.push_back("--no-installer");
    }
    const testsupport::ProgramResult packed = RunLinuxTool(package, work.Path(), "package");
    ASSERT_EQ(packed.exitCode, 0) << packed.errors;
    const testsupport::ProgramResult unpacked =
        RunLinuxTool({"unzip", "-q", zip.string(), "-d", launcher.string()}, work.Path(), "unzip");
    ASSERT_EQ(unpacked.exitCode, 0) << unpacked.errors;
    // What a studio ships and nothing else: the programs, every picture as
    // the build drew it, and the two profile files.
    std::vector<fs::path> expected{"Launcher.exe", "quillmoor-headless.exe", "Platform.ini",
                                   std::string(kPlatform) + ".ini"};
    for (const fs::path& picture : testsupport::FilesBelow(Programs().styles)) {
        expected.push_back("LauncherStyles" / picture);
        EXPECT_EQ(testsupport::ReadBytes(launcher / "LauncherStyles" / picture),
                  testsupport::ReadBytes(Programs().styles / picture))
            << picture;
    }
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(testsupport::FilesBelow(launcher), expected);
    EXPECT_EQ(testsupport::ReadBytes(launcher / "Platform.ini"), "[Config]\r\nPlatform=demo\r\n");
    // The programs as built, stripped of the tests' line tables and symbols,
    // their resources kept: the tests below run them under their manifests.
    for (const auto& [name, built] :
         {std::pair{"Launcher.exe", Programs().launcher}, std::pair{"quillmoor-headless.exe", Programs().headless}}) {
        const std::string shipped = testsupport::ReadBytes(launcher / name);
        const std::string program = testsupport::ReadBytes(built);
        EXPECT_LT(shipped.size(), program.size()) << name;
        EXPECT_NE(program.find(".debug_line"), std::string::npos) << name;
        EXPECT_EQ(shipped.find(".debug_line"), std::string::npos) << name;
        EXPECT_NE(shipped.find("Microsoft.Windows.Common-Controls"), std::string::npos) << name;
    }
    fs::copy(launcher, install, fs::copy_options::recursive);
}

void WineMachine::WriteSettings(const std::string& web, const std::string& version) {
    const std::string settings = "[Config]\r\nWeb=" + web + "\r\nVersion=" + version + "\r\nLanguage=chs\r\n";
    const std::string file = std::string(kPlatform) + ".ini";
    testsupport::WriteBytes(launcher / file, settings);
    testsupport::WriteBytes(install / file, settings);
}

void WineMachine::Publish(const std::vector<std::string>& options) {
    const testsupport::ServedCdn::Published published =
        server->Publish(launcher, client, kPlatform, options, kPublishLimit);
    ASSERT_TRUE(published.exitCode) << "quillmoor-cdn publish did not end";
    ASSERT_EQ(*published.exitCode, 0) << published.errors;
}

std::map<std::string, std::string> WineMachine::Environment(bool withBrowser) const {
    const Shared& shared = Machine();
    // Without the browser engine a page fails at once; the .NET runtime Wine
    // would offer to install is never wanted, nor menu entries of this
    // machine's desktop for the shortcuts an installer makes.
    return {
        {"WINEPREFIX", shared.prefix.string()},
        {"WINEDEBUG", "-all"},
        {"WINEDLLOVERRIDES", withBrowser ? "mscoree=;winemenubuilder.exe=d" : "mscoree=;mshtml=;winemenubuilder.exe=d"},
        {"DISPLAY", shared.display->Name()},
        {"WAYLAND_DISPLAY", ""}};
}

testsupport::ProgramResult WineMachine::RunWindows(const fs::path& program, const std::vector<std::string>& arguments,
                                                   const fs::path& folder) {
    std::vector<std::string> argv{"wine", program.string()};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    const std::string name = program.stem().string();
    return testsupport::RunToEnd(
        {argv, folder, Environment(false), work.Path() / (name + ".out"), work.Path() / (name + ".err")},
        kProgramLimit);
}

std::unique_ptr<testsupport::TestProcess> WineMachine::StartWindows(const fs::path& program,
                                                                    const std::vector<std::string>& arguments,
                                                                    const fs::path& folder, bool withBrowser) {
    std::vector<std::string> argv{"wine", program.string()};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    const std::string name = program.stem().string();
    testsupport::ProcessStart start{argv, folder, Environment(withBrowser), work.Path() / (name + ".out"),
                                    work.Path() / (name + ".err")};
    return std::make_unique<testsupport::TestProcess>(start);
}

testsupport::ProgramResult WineMachine::RunHeadless(const std::string& gameArguments) {
    return RunWindows(Programs().headless,
                      {"--pc-version", Base() + "/web/index.html", "--start-game", gameArguments, "--timeout", "120"},
                      install);
}

void WineMachine::EndWindowsPrograms() {
    if (!Machine().prefix.empty())
        EndPrefix(Machine().prefix);
}

std::string WineMachine::WaitForText(const fs::path& file, const std::string& text,
                                     std::chrono::milliseconds limit) const {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    std::string content = testsupport::ReadBytes(file);
    while (content.find(text) == std::string::npos && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(kPoll);
        content = testsupport::ReadBytes(file);
    }
    return content;
}

void WineMachine::ExpectClientInstalled() const {
    const std::vector<fs::path> files = testsupport::FilesBelow(client);
    ASSERT_FALSE(files.empty());
    for (const fs::path& file : files)
        EXPECT_EQ(testsupport::ReadBytes(clientFolder / file), testsupport::ReadBytes(client / file)) << file;
}

std::string WineMachine::Diagnostics() const {
    return "\nserver log:\n" + testsupport::ReadBytes(server->Log()) + "\ndiagnostic log:\n" +
           testsupport::ReadBytes(DiagLog()) + "\nlauncher output:\n" +
           testsupport::ReadBytes(work.Path() / "Launcher.out") + testsupport::ReadBytes(work.Path() / "Launcher.err");
}

}  // namespace winetest
