// A player's Windows machine under Wine, for the programs of the Windows
// build: a Wine prefix of the test program's own, copied from the one
// scripts/test-windows prepared (font replacements, a Wine desktop), and an
// X server of its own (Wine makes windows even for console programs; the
// launcher's windows are looked at and kept as screenshots). Each case lays out the demo client with the
// Windows qm.exe, unpacks the launcher's folder from the zip that
// scripts/package-windows makes, and publishes both with the Linux
// quillmoor-cdn, which serves them on 127.0.0.1. The launcher's data folder
// in the prefix leads to the case's own folder, so that nothing of one case
// is left for the next.
#pragma once

#include "tests/support/demo_install.h"
#include "tests/support/served_cdn.h"
#include "tests/support/test_process.h"
#include "tests/support/x_display.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace winetest {

namespace fs = std::filesystem;

// A bound that only ends a test whose programs hang, and how often the tests
// look again meanwhile.
constexpr auto kRelaunchPatience = std::chrono::seconds(90);
constexpr auto kPoll = std::chrono::milliseconds(40);

// The Windows build's programs (QM_WINDOWS_BUILD).
struct WindowsPrograms {
    fs::path headless;
    fs::path launcher;
    fs::path game;
    fs::path styles;
};
const WindowsPrograms& Programs();

// A path of this system as the Windows programs under Wine name it (Z:\...).
std::string WindowsPath(const fs::path& path);

class WineMachine : public ::testing::Test, protected testsupport::DemoMachine {
protected:
    // The prefix and the X server, once per test program.
    static void SetUpTestSuite();
    static void TearDownTestSuite();
    void SetUp() override;
    // Ends every Windows program still running in the prefix.
    void TearDown() override;

    // Publishes launcher/ and client/ into the served folder; `options`
    // follow the publisher's (e.g. "--base-url").
    void Publish(const std::vector<std::string>& options = {});
    // Writes the settings file of the launcher's folder and its installed
    // copy (before a publish, which serves it as the server's copy).
    void WriteSettings(const std::string& web, const std::string& version);

    // Runs a Windows program in `folder` to its end; the limit only ends a
    // run that hangs.
    testsupport::ProgramResult RunWindows(const fs::path& program, const std::vector<std::string>& arguments,
                                          const fs::path& folder);
    // Starts a Windows program; the browser engine is left on for it when
    // `withBrowser`.
    std::unique_ptr<testsupport::TestProcess> StartWindows(const fs::path& program,
                                                           const std::vector<std::string>& arguments,
                                                           const fs::path& folder, bool withBrowser);
    // quillmoor-headless.exe in the install folder against the served page.
    testsupport::ProgramResult RunHeadless(const std::string& gameArguments);
    // Ends every program in the prefix, the ones the launcher started too.
    void EndWindowsPrograms();

    // Waits until `file` holds `text`; its content then, or at the limit.
    std::string WaitForText(const fs::path& file, const std::string& text, std::chrono::milliseconds limit) const;
    void ExpectClientInstalled() const;
    // The server's log and the launcher's diagnostic log, for failures.
    std::string Diagnostics() const;

    std::string Base() const { return server->BaseUrl(); }
    fs::path DiagLog() const { return data / "Quillmoor/launcher-diag.log"; }

    static testsupport::XDisplay& Display();

    // Where the launcher keeps its data as the Windows programs see it:
    // the prefix's local application data folder.
    static std::string WindowsDataFolder();
    // The same folder as this system names it, and the Windows user's own
    // folder above it (Desktop, AppData).
    static fs::path LocalAppData();
    static fs::path UserFolder();

    // The installer made with the package, when `packInstaller` was set
    // before SetUp; the other cases pack the zip alone.
    fs::path Installer() const { return work.Path() / "QuillmoorSetup.exe"; }
    bool packInstaller = false;

    std::unique_ptr<testsupport::ServedCdn> server;

private:
    std::map<std::string, std::string> Environment(bool withBrowser) const;
    void UnpackLauncher();
};

}  // namespace winetest
