// The Windows Launcher.exe under Wine, as a player starts it from the folder
// the package unpacked: its main window shows its picture and buttons (the
// screenshot is kept with the Linux ones), its browser control reports a
// page on a refused port in launcher.log, and it replaces itself with a
// newer published launcher through copy-and-restart ("N:"). Two started at
// once leave the data folder to one of them.
#include "tests/gui/screen_checks.h"
#include "tests/support/loopback_server.h"
#include "tests/support/test_files.h"
#include "tests/wine/wine_machine.h"

#include <signal.h>

#include <algorithm>
#include <thread>

namespace winetest {

namespace {

using guitest::LauncherPictures;
using guitest::Picture;
using guitest::Point;
using testsupport::ReadBytes;
using testsupport::Rgba;

// Wine's start, the launcher check and the browser control's start take a
// few seconds; the bounds only end a test whose programs hang.
constexpr auto kWindowPatience = std::chrono::seconds(60);
// As the screen checks allow for a compositor's rounding.
constexpr int kTolerance = 6;
// INET_E_DOWNLOAD_FAILURE (0x800C0008), as Wine's control reports a refused
// connection and the launcher writes a code: signed.
constexpr char kRefusedCode[] = "NavigateError Code is -2146697208 \r\n";

// Where the main picture is opaque, outside the page and the buttons: what
// Wine's desktop shows as the picture is. It has no per-pixel alpha (a
// layered window's clear pixels show the desktop, its translucent ones
// show over black), which only a real desktop shows.
bool OpaqueOutsideControls(const Picture& main, int x, int y) {
    return main.At(x, y).a == 255 && !guitest::kPageRect.Contains(x, y) && !guitest::kExitButton.Contains(x, y) &&
           !guitest::kMinimiseButton.Contains(x, y);
}

// A few such pixels spread over the picture: where they all show, the
// picture may.
std::vector<Point> Anchors(const Picture& main) {
    std::vector<Point> anchors;
    for (int y = 4; y < main.Height(); y += 37)
        for (int x = 4; x < main.Width(); x += 53)
            if (OpaqueOutsideControls(main, x, y))
                anchors.push_back({x, y});
    return anchors;
}

// Where the screen shows the main picture, found by its anchors: Wine draws
// its windows inside its own desktop window, so the X server cannot say
// where the launcher's is.
std::optional<Point> FindMainWindow(const Picture& screen, const Picture& main) {
    const std::vector<Point> anchors = Anchors(main);
    if (anchors.empty())
        return std::nullopt;
    const Rgba first = main.At(anchors.front().x, anchors.front().y);
    for (int y = 0; y < screen.Height(); ++y) {
        for (int x = 0; x < screen.Width(); ++x) {
            if (!testsupport::Near(screen.At(x, y), first, kTolerance))
                continue;
            const Point origin{x - anchors.front().x, y - anchors.front().y};
            if (std::all_of(anchors.begin(), anchors.end(), [&](Point anchor) {
                    return testsupport::Near(screen.At(origin.x + anchor.x, origin.y + anchor.y),
                                             main.At(anchor.x, anchor.y), kTolerance);
                }))
                return origin;
        }
    }
    return std::nullopt;
}

// Every opaque pixel of the main picture outside the page and the buttons
// shows at its place.
::testing::AssertionResult ShowsMainPicture(const Picture& screen, Point origin, const Picture& main) {
    int differing = 0, compared = 0;
    std::string examples;
    for (int y = 0; y < main.Height(); ++y) {
        for (int x = 0; x < main.Width(); ++x) {
            if (!OpaqueOutsideControls(main, x, y))
                continue;
            ++compared;
            const Rgba seen = screen.At(origin.x + x, origin.y + y);
            if (testsupport::Near(seen, main.At(x, y), kTolerance))
                continue;
            if (++differing <= 5)
                examples += " (" + std::to_string(x) + "," + std::to_string(y) + ") shows " +
                            testsupport::Describe(seen) + " for " + testsupport::Describe(main.At(x, y)) + ";";
        }
    }
    if (differing == 0 && compared > 0)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << differing << " of " << compared << " opaque pixels differ:" << examples;
}

class LauncherUnderWine : public WineMachine {
protected:
    // The screen once it shows the main picture; the last screen read when
    // it never does.
    struct Shown {
        std::optional<Picture> screen;
        std::optional<Point> origin;
    };
    Shown WaitForMainWindow(const Picture& main) {
        const auto deadline = std::chrono::steady_clock::now() + kWindowPatience;
        Shown shown;
        do {
            shown.screen = Display().Capture();
            if (shown.screen) {
                shown.origin = FindMainWindow(*shown.screen, main);
                if (shown.origin && ShowsMainPicture(*shown.screen, *shown.origin, main))
                    return shown;
            }
            std::this_thread::sleep_for(kPoll);
        } while (std::chrono::steady_clock::now() < deadline);
        return shown;
    }

    void KeepScreenshot(const Picture& screen, const std::string& name) {
        const fs::path file =
            fs::path(QM_SCREENSHOT_DIR) /
            (std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()) + "-" + name + ".png");
        EXPECT_TRUE(screen.Save(file)) << "cannot write " << file;
    }

    std::unique_ptr<testsupport::TestProcess> launcherProcess;
};

}  // namespace

TEST_F(LauncherUnderWine, ShowsItsMainWindowAndLogsTheRefusedPage) {
    const std::string refusedPage =
        "http://127.0.0.1:" + std::to_string(testsupport::LoopbackServer::RefusedPort()) + "/index.html";
    WriteSettings(refusedPage, Base() + "/api/launcherversionnew");
    Publish();
    const std::optional<LauncherPictures> pictures = LauncherPictures::Load(install / "LauncherStyles");
    ASSERT_TRUE(pictures) << "the packaged pictures cannot be read";

    launcherProcess = StartWindows(install / "Launcher.exe", {}, install, true);
    // The browser control was made and reported the refused page; the log
    // holds that one line, as the launcher writes it.
    const std::string log = WaitForText(install / "launcher.log", kRefusedCode, kWindowPatience);
    ASSERT_NE(log.find(kRefusedCode), std::string::npos) << log << Diagnostics();
    EXPECT_EQ(log.size(), std::string(" [00:00:00] ").size() + std::string(kRefusedCode).size()) << log;
    EXPECT_EQ(log.rfind(" [", 0), 0u) << log;

    const Shown shown = WaitForMainWindow(pictures->main);
    ASSERT_TRUE(shown.screen) << "the screen cannot be read";
    KeepScreenshot(*shown.screen, "main");
    ASSERT_TRUE(shown.origin) << "the main window's picture is nowhere on the screen" << Diagnostics();
    const Point origin = *shown.origin;
    EXPECT_TRUE(ShowsMainPicture(*shown.screen, origin, pictures->main));
    // The buttons in their normal state, over the opaque picture.
    const Rgba black{0, 0, 0, 255};
    EXPECT_TRUE(
        guitest::ShowsButton(*shown.screen, origin, *pictures, black, pictures->exitButton, guitest::kExitButton));
    EXPECT_TRUE(guitest::ShowsButton(*shown.screen, origin, *pictures, black, pictures->minimiseButton,
                                     guitest::kMinimiseButton));
    EXPECT_TRUE(launcherProcess->Running()) << Diagnostics();
}

TEST_F(LauncherUnderWine, ReplacesItselfThroughCopyAndRestart) {
    testsupport::WriteBytes(launcher / "ui.dll", "interface library v1");
    testsupport::WriteBytes(install / "ui.dll", "interface library v1");
    Publish();
    // A newer launcher, published with a diff against the one installed.
    testsupport::WriteBytes(launcher / "ui.dll", "interface library v2");
    Publish({"--launcher-version", "L2", "--previous", cdn.string()});

    launcherProcess = StartWindows(install / "Launcher.exe", {}, install, false);
    // The downloaded launcher copied itself over the installation and
    // started the installed copy again with "N:".
    const std::string restarted = "] start: start after a self-update (N:) in " + WindowsPath(install);
    const std::string diag = WaitForText(DiagLog(), restarted, kRelaunchPatience);
    ASSERT_NE(diag.find(restarted), std::string::npos) << Diagnostics();
    EXPECT_NE(diag.find("process: copy-and-restart: copied at attempt "), std::string::npos) << diag;
    EXPECT_NE(diag.find("] start: copy-and-restart in " + WindowsDataFolder() + "\\Quillmoor\\launcher\\"),
              std::string::npos)
        << diag;
    EXPECT_EQ(ReadBytes(install / "ui.dll"), "interface library v2");
    EXPECT_EQ(ReadBytes(install / "Launcher.exe"), ReadBytes(launcher / "Launcher.exe"));
    EXPECT_NE(ReadBytes(server->Log()).find("GET /cdn/file/"), std::string::npos) << "the diff was not used";
}

TEST_F(LauncherUnderWine, TwoStartsAtOnceLeaveTheDataFolderToOneAndAKilledOneFreesIt) {
    Publish();
    const std::optional<LauncherPictures> pictures = LauncherPictures::Load(install / "LauncherStyles");
    ASSERT_TRUE(pictures) << "the packaged pictures cannot be read";
    // A player's double-click twice: one of the two ends at once, without
    // an error; the other goes on to its main window.
    std::unique_ptr<testsupport::TestProcess> starts[] = {StartWindows(install / "Launcher.exe", {}, install, false),
                                                          StartWindows(install / "Launcher.exe", {}, install, false)};
    int ended = -1;
    for (auto waited = std::chrono::milliseconds(0); ended < 0 && waited < kWindowPatience; waited += kPoll) {
        for (int i = 0; i < 2; ++i)
            if (!starts[i]->Running())
                ended = i;
        std::this_thread::sleep_for(kPoll);
    }
    ASSERT_GE(ended, 0) << "neither launcher ended" << Diagnostics();
    EXPECT_EQ(starts[ended]->WaitFor(std::chrono::seconds(0)), 0);
    launcherProcess = std::move(starts[1 - ended]);
    const Shown shown = WaitForMainWindow(pictures->main);
    ASSERT_TRUE(shown.origin) << "the main window's picture is nowhere on the screen" << Diagnostics();
    EXPECT_TRUE(launcherProcess->Running()) << Diagnostics();

    // quillmoor-headless.exe beside it says so, with its own code, and
    // changes no file of the data folder; a third Launcher.exe finds the
    // running one's window and brings it to the front.
    const auto before = testsupport::SettledFiles(data);
    const testsupport::ProgramResult third = RunWindows(install / "Launcher.exe", {}, install);
    EXPECT_EQ(third.exitCode, 0) << third.errors;
    EXPECT_NE(third.errors.find("another launcher is running on " + WindowsDataFolder() +
                                "\\Quillmoor; its window was brought to the front."),
              std::string::npos)
        << third.errors;
    ASSERT_TRUE(before.count("Quillmoor/launcher.lock")) << "no lock file";
    const testsupport::ProgramResult beside = RunHeadless("-demo");
    EXPECT_EQ(beside.exitCode, 6) << beside.output << beside.errors;
    EXPECT_NE(beside.errors.find("quillmoor-headless: another launcher is running on this data folder (" +
                                 WindowsDataFolder() + "\\Quillmoor); nothing was done"),
              std::string::npos)
        << beside.errors;
    EXPECT_EQ(testsupport::SettledFiles(data), before);
    const std::string diag = ReadBytes(DiagLog());
    EXPECT_EQ(testsupport::CountOf(diag, "] start: "), 1u) << diag;

    // Killed, it keeps nobody out: Wine's server goes on and ends what the
    // killed process held.
    kill(static_cast<pid_t>(launcherProcess->Pid()), SIGKILL);
    EXPECT_EQ(launcherProcess->WaitFor(kWindowPatience), 128 + SIGKILL);
    const testsupport::ProgramResult next = RunHeadless("-demo");
    ASSERT_EQ(next.exitCode, 0) << next.output << next.errors << Diagnostics();
    ExpectClientInstalled();
}

}  // namespace winetest
