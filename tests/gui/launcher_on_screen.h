// A player's machine in a temporary folder, with an X server of its own:
// the launcher's install folder laid out as scripts/demo lays it out, a CDN
// published into a folder that quillmoor-cdn serves on 127.0.0.1, the test
// page beside it, and the real Launcher.exe started in the install folder.
// What the windows show is read from the screen and kept as screenshots.
#pragma once

#include "tests/gui/screen_checks.h"
#include "tests/support/demo_install.h"
#include "tests/support/loopback_server.h"
#include "tests/support/served_cdn.h"
#include "tests/support/test_files.h"
#include "tests/support/test_process.h"
#include "tests/support/x_display.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace guitest {

namespace fs = std::filesystem;
using testsupport::RandomBytes;
using testsupport::ReadBytes;
using testsupport::ReplaceAll;
using testsupport::ScreenWindow;
using testsupport::WriteBytes;

// The caption of the main window, which GTK gives its window as title.
inline constexpr char kMainWindowTitle[] = "Quillmoor登陆器";

class LauncherOnScreen : public ::testing::Test, protected testsupport::DemoMachine {
protected:
    enum class PageMode {
        // PCVersion(address), then startgame(arguments)
        Plain,
        // PCVersionData(answer), then StartGameData(text)
        Data,
    };

    void SetUp() override;
    void TearDown() override;
    // The X server the launcher shows on.
    virtual testsupport::XDisplay::Options DisplayOptions() const { return {}; }

    // The demo client with qm.exe and a data file of random bytes, which do
    // not compress, so its download takes as long as its size says.
    void LayOutClient(std::size_t bigFileBytes);
    // The launcher as published: the program, its pictures, Platform.ini and
    // the demo's settings naming the server's port; plus extra files.
    void LayOutLauncher(const std::vector<std::pair<fs::path, std::string>>& extraFiles = {});
    void WritePage(PageMode mode);
    // Copies the published launcher into the install folder, without the
    // files named.
    void Install(const std::vector<fs::path>& leaveOut = {});
    // Publishes launcher/ and client/ into the served CDN folder. With an
    // address, the answers send the launcher there for the CDN's objects.
    void Publish(const std::string& cdnUrl = {});

    // quillmoor-cdn sends every object at full speed. For a download that
    // lasts long enough to be seen, the objects come from a loopback server
    // instead, which sends the object of the file named slowly. Returns the
    // address to publish with; SlowDown() names the file after publishing.
    std::string ServeObjectsSlowly();
    void SlowDown(const std::string& fileName, int delayPerChunkMs);

    void StartLauncher();
    // Lets the page start the game with these arguments.
    void AllowGameStart(const std::string& arguments);

    // The visible top-level windows, and the ones that are the launcher's.
    std::vector<ScreenWindow> Windows() const { return display->Windows(); }
    std::optional<ScreenWindow> MainWindow() const;
    std::optional<ScreenWindow> ProgressDialog() const;
    std::optional<ScreenWindow> WaitForWindow(const std::function<std::optional<ScreenWindow>()>& find,
                                              std::chrono::milliseconds limit) const;
    // Polls until `done`; whether it came in time.
    bool WaitUntil(const std::function<bool()>& done, std::chrono::milliseconds limit) const;
    // The mouse and the windows as a user handles them: xdotool's commands
    // on the test's display.
    ::testing::AssertionResult Xdotool(const std::vector<std::string>& commands) const;

    // Takes screenshots until one satisfies `ready`; the last one taken, and
    // whether it was ready in time.
    struct Capture {
        std::optional<Picture> screen;
        bool ready = false;
    };
    Capture CaptureWhen(const std::function<bool(const Picture&)>& ready, std::chrono::milliseconds limit) const;
    // Saves a screenshot among the build's artefacts, replacing the last run's.
    void KeepScreenshot(const Picture& screen, const std::string& name);

    // Waits for a child this test adopted (a launcher started by a launcher)
    // whose program is `program`; its process id.
    std::optional<pid_t> WaitForAdoptedLauncher(const fs::path& program, std::chrono::milliseconds limit) const;

    std::string WaitForGameRecord() const;
    void ExpectClientInstalled() const;
    // The launcher's output and the server's log, for failure messages.
    std::string Diagnostics() const;
    std::string WindowList() const;

    const fs::path web = work.Path() / "web";
    const fs::path installedLauncher = install / "Launcher.exe";

    std::unique_ptr<testsupport::XDisplay> display;
    std::optional<LauncherPictures> pictures;
    std::unique_ptr<testsupport::ServedCdn> server;
    int port = 0;
    std::unique_ptr<testsupport::LoopbackServer> objects;
    std::unique_ptr<testsupport::TestProcess> launcherProcess;
    std::vector<std::string> screenshots;
};

}  // namespace guitest
