// QuillmoorSetup.exe under Wine, as a player installs, plays, updates and
// removes the launcher without administrator rights: a silent install puts
// exactly the package's files into %LOCALAPPDATA%\Programs\Quillmoor, with
// both shortcuts and the entry in the list of installed programs; the
// installed quillmoor-headless.exe installs the client from the Linux
// server and starts qm.exe; the desktop shortcut starts the installed
// launcher in its folder, and it replaces itself there with a newer
// published one; a silent uninstall leaves no program file, shortcut or
// entry, and the game data as it was. A folder holding something else is
// refused, since uninstalling removes the whole folder.
#include "tests/support/test_files.h"
#include "tests/wine/wine_machine.h"

#include <algorithm>
#include <optional>
#include <thread>

namespace winetest {

namespace {

using testsupport::ReadBytes;

const std::string kUninstallKey = "HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Quillmoor";
const fs::path kShortcut = std::string(QM_PRODUCT_NAME) + ".lnk";
// A bound that only ends a test whose programs hang.
constexpr auto kUninstallPatience = std::chrono::seconds(60);

class InstallerUnderWine : public WineMachine {
protected:
    InstallerUnderWine() { packInstaller = true; }

    fs::path Installed() const { return LocalAppData() / "Programs/Quillmoor"; }
    std::string WindowsInstalled() const { return WindowsDataFolder() + "\\Programs\\Quillmoor"; }
    fs::path Desktop() const { return UserFolder() / "Desktop"; }
    fs::path StartMenu() const { return UserFolder() / "AppData/Roaming/Microsoft/Windows/Start Menu/Programs"; }

    // The key's values as `reg query` prints them; nothing when it is absent.
    std::optional<std::string> RegistryKey(const std::string& key) {
        const testsupport::ProgramResult query = RunWindows("reg", {"query", key}, work.Path());
        if (query.exitCode != 0)
            return std::nullopt;
        return query.output;
    }

    // The uninstaller runs on from a copy of itself in the temporary
    // folder, so that it can remove its own: its last step removes the
    // program folder.
    bool WaitUntilGone(const fs::path& folder) const {
        const auto deadline = std::chrono::steady_clock::now() + kUninstallPatience;
        while (fs::exists(folder) && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(kPoll);
        return !fs::exists(folder);
    }
};

// A value of `reg query`'s output: "    NAME    TYPE    DATA".
std::string RegistryValue(const std::string& values, const std::string& name, const std::string& type) {
    const std::string head = "    " + name + "    " + type + "    ";
    const std::size_t at = values.find(head);
    if (at == std::string::npos)
        return "(no " + name + ")";
    const std::size_t start = at + head.size();
    return values.substr(start, values.find_first_of("\r\n", start) - start);
}

}  // namespace

TEST_F(InstallerUnderWine, InstallsPlaysUpdatesAndUninstallsForThePlayerAlone) {
    Publish();

    // A folder of something else stays as it was.
    const fs::path foreign = work.Path() / "foreign";
    testsupport::WriteBytes(foreign / "notes.txt", "mine");
    const testsupport::ProgramResult refused =
        RunWindows(Installer(), {"/S", "/D=" + WindowsPath(foreign)}, work.Path());
    EXPECT_EQ(refused.exitCode, 2) << refused.output << refused.errors;
    EXPECT_EQ(testsupport::FilesBelow(foreign), std::vector<fs::path>{"notes.txt"});

    const testsupport::ProgramResult installed = RunWindows(Installer(), {"/S"}, work.Path());
    ASSERT_EQ(installed.exitCode, 0) << installed.output << installed.errors;
    // The package's files as the zip holds them, and the uninstaller.
    std::vector<fs::path> expected = testsupport::FilesBelow(launcher);
    std::uintmax_t packageBytes = 0;
    for (const fs::path& file : expected) {
        EXPECT_EQ(ReadBytes(Installed() / file), ReadBytes(launcher / file)) << file;
        packageBytes += fs::file_size(launcher / file);
    }
    expected.push_back("uninstall.exe");
    std::sort(expected.begin(), expected.end());
    ASSERT_EQ(testsupport::FilesBelow(Installed()), expected);
    EXPECT_TRUE(fs::is_regular_file(Desktop() / kShortcut));
    EXPECT_TRUE(fs::is_regular_file(StartMenu() / kShortcut));

    const std::optional<std::string> entry = RegistryKey(kUninstallKey);
    ASSERT_TRUE(entry) << "no uninstall entry under " << kUninstallKey;
    EXPECT_EQ(RegistryValue(*entry, "DisplayName", "REG_SZ"), QM_PRODUCT_NAME);
    EXPECT_EQ(RegistryValue(*entry, "DisplayVersion", "REG_SZ"), QM_VERSION_TEXT);
    EXPECT_EQ(RegistryValue(*entry, "Publisher", "REG_SZ"), QM_COMPANY_NAME);
    EXPECT_EQ(RegistryValue(*entry, "DisplayIcon", "REG_SZ"), WindowsInstalled() + "\\Launcher.exe,0");
    EXPECT_EQ(RegistryValue(*entry, "UninstallString", "REG_SZ"), "\"" + WindowsInstalled() + "\\uninstall.exe\"");
    // In KiB: the package and the uninstaller, which is smaller than the
    // installer that carries it.
    const std::uintmax_t estimatedKiB = std::stoul(RegistryValue(*entry, "EstimatedSize", "REG_DWORD"), nullptr, 16);
    EXPECT_GE(estimatedKiB, packageBytes / 1024) << *entry;
    EXPECT_LE(estimatedKiB, (packageBytes + fs::file_size(Installer())) / 1024 + 1) << *entry;

    // The installed headless launcher installs the client and starts the
    // game, naming the installed Launcher.exe.
    const testsupport::ProgramResult played = RunWindows(
        Installed() / "quillmoor-headless.exe",
        {"--pc-version", Base() + "/web/index.html", "--start-game", "-demo", "--timeout", "120"}, Installed());
    ASSERT_EQ(played.exitCode, 0) << played.output << played.errors << Diagnostics();
    ExpectClientInstalled();
    const std::string record =
        testsupport::WaitForGameRecord(clientFolder / "qm-started.txt", std::chrono::seconds(30));
    EXPECT_NE(record.find("argument 1: " + WindowsInstalled() + "\\Launcher.exe\n"), std::string::npos) << record;

    // A newer launcher whose program differs (bytes after its last section
    // change no code) and which brings a file of its own. The desktop
    // shortcut starts the installed launcher in its folder, where it reads
    // its settings; it replaces itself there and starts again with "N:".
    testsupport::WriteBytes(launcher / "Launcher.exe", ReadBytes(launcher / "Launcher.exe") + "launcher 2");
    testsupport::WriteBytes(launcher / "ui.dll", "interface library v2");
    Publish({"--launcher-version", "L2", "--previous", cdn.string()});
    const testsupport::ProgramResult started =
        RunWindows("start", {"/unix", (Desktop() / kShortcut).string()}, work.Path());
    EXPECT_EQ(started.exitCode, 0) << started.output << started.errors;
    const std::string restarted = "] start: start after a self-update (N:) in " + WindowsInstalled();
    const std::string diag = WaitForText(DiagLog(), restarted, kRelaunchPatience);
    ASSERT_NE(diag.find(restarted), std::string::npos) << Diagnostics();
    EXPECT_EQ(ReadBytes(Installed() / "Launcher.exe"), ReadBytes(launcher / "Launcher.exe"));
    EXPECT_EQ(ReadBytes(Installed() / "ui.dll"), "interface library v2");
    EndWindowsPrograms();

    // Uninstalled silently: the folder goes with what the update added, the
    // game data stays.
    const auto gameData = testsupport::SettledFiles(data);
    ASSERT_TRUE(gameData.count("Quillmoor/C1/qm.exe")) << "no client to keep";
    const testsupport::ProgramResult uninstalled = RunWindows(Installed() / "uninstall.exe", {"/S"}, work.Path());
    EXPECT_EQ(uninstalled.exitCode, 0) << uninstalled.output << uninstalled.errors;
    ASSERT_TRUE(WaitUntilGone(Installed())) << "left: " << testsupport::FilesBelow(Installed()).size() << " files";
    EXPECT_FALSE(fs::exists(Desktop() / kShortcut));
    EXPECT_FALSE(fs::exists(StartMenu() / kShortcut));
    const std::optional<std::string> left = RegistryKey(kUninstallKey);
    EXPECT_FALSE(left) << *left;
    EXPECT_EQ(testsupport::SettledFiles(data), gameData);
}

}  // namespace winetest
