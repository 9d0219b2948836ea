// The launcher as a player sees it: the real Launcher.exe on an X server
// with a compositor, updating from a CDN that quillmoor-cdn published and
// serves on 127.0.0.1, showing the test page, obeying the page's
// window.external calls and starting the demo game. The screen is compared
// with the launcher's own pictures; screenshots of the moments checked are
// kept in the build's artifacts/screenshots/.
#include "tests/gui/launcher_on_screen.h"

#include "tests/support/test_process.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <thread>

using namespace std::chrono_literals;

namespace guitest {

namespace {

// Incompressible, 40 of the loopback server's 64 KiB chunks; at the pause
// below its download lasts about five seconds, time enough to look at the
// progress dialog while the bars are partly filled.
constexpr std::size_t kSlowFileBytes = 40 * 64 * 1024;
constexpr int kSlowChunkPauseMs = 120;
constexpr std::size_t kSmallFileBytes = 64 * 1024;

// A window appears once GTK (and WebKit, for the page) have started.
constexpr auto kWindowPatience = 30s;
constexpr auto kScreenPatience = 15s;
constexpr auto kExitPatience = 30s;
// Far more than the slow file's download takes.
constexpr auto kDownloadPatience = 30s;
// How long the page is watched after the windows were handled: the window
// manager restacks at once, and a page that went dark stays dark.
constexpr auto kSteadyLook = 1500ms;
// A fifth of the file bar: a file seen moving that far is large enough for
// the total bar to have moved by a pixel or more meanwhile.
constexpr int kFileBarMove = 60;

Point OriginOf(const ScreenWindow& window) {
    return {window.x, window.y};
}

// The moment to look: the file bar shows the download under way, with room
// left after its slider. Both bars are refreshed together.
bool DownloadUnderWay(const Picture& screen, Point dialog, const LauncherPictures& pictures, Rgba background) {
    const int filled = FilledLength(screen, dialog, 0, pictures, background);
    return filled > 0 && filled < kFillGroove.width / 2;
}

}  // namespace

class LauncherWindows : public LauncherOnScreen {
protected:
    // The main window on the screen with its own picture; its position.
    std::optional<Point> ExpectMainWindowShown(const std::string& screenshot) {
        const std::optional<ScreenWindow> main = WaitForWindow([this] { return MainWindow(); }, kWindowPatience);
        EXPECT_TRUE(main) << "no main window" << Diagnostics();
        if (!main)
            return std::nullopt;
        EXPECT_EQ(main->title, kMainWindowTitle) << WindowList();
        EXPECT_EQ(main->width, pictures->main.Width());
        EXPECT_EQ(main->height, pictures->main.Height());
        const Point origin = OriginOf(*main);
        const Rgba background = display->Background();
        const Capture shown = CaptureWhen(
            [&](const Picture& screen) { return bool(ShowsMainWindow(screen, origin, *pictures, background)); },
            kScreenPatience);
        if (!shown.screen) {
            ADD_FAILURE() << "the screen cannot be read";
            return std::nullopt;
        }
        if (!screenshot.empty())
            KeepScreenshot(*shown.screen, screenshot);
        EXPECT_TRUE(ShowsMainWindow(*shown.screen, origin, *pictures, background)) << Diagnostics();
        EXPECT_TRUE(ShowsButton(*shown.screen, origin, *pictures, background, pictures->exitButton, kExitButton));
        EXPECT_TRUE(
            ShowsButton(*shown.screen, origin, *pictures, background, pictures->minimiseButton, kMinimiseButton));
        return origin;
    }

    // The page inside the main window, with the window's picture around it.
    void ExpectPageShown(Point origin, const std::string& screenshot) {
        // The page paints in stages: wait for all of it.
        const Capture page =
            CaptureWhen([&](const Picture& screen) { return bool(ShowsTestPage(screen, origin)); }, kWindowPatience);
        ASSERT_TRUE(page.screen) << "the screen cannot be read";
        KeepScreenshot(*page.screen, screenshot);
        EXPECT_TRUE(ShowsTestPage(*page.screen, origin)) << Diagnostics();
        EXPECT_TRUE(ShowsMainWindow(*page.screen, origin, *pictures, display->Background()));
    }

    // The progress dialog while the slow file downloads. It is watched for
    // as long as it shows: at every moment the file bar shows a download
    // under way, both bars must be partly filled over the dialog's picture,
    // and while the file bar moves on, the total bar must move on too. The
    // screenshot kept is the first moment that looked wrong, or else the
    // first that looked right.
    void ExpectProgressShown(const std::string& screenshot, std::optional<Point> mainWindow = std::nullopt) {
        const std::optional<ScreenWindow> dialog = WaitForWindow([this] { return ProgressDialog(); }, kWindowPatience);
        ASSERT_TRUE(dialog) << "no progress dialog" << Diagnostics();
        const Point origin = OriginOf(*dialog);
        const Rgba background = display->Background();
        auto looksRight = [&](const Picture& screen) -> ::testing::AssertionResult {
            for (const auto& check : {ShowsPartlyFilledBar(screen, origin, 0, *pictures, background),
                                      ShowsPartlyFilledBar(screen, origin, 1, *pictures, background),
                                      ShowsProgressDialog(screen, origin, *pictures, background)})
                if (!check)
                    return check;
            return ::testing::AssertionSuccess();
        };
        std::optional<Picture> right;
        std::optional<Picture> wrong;
        std::string wrongBecause;
        int moments = 0;
        // Where both bars stood when the file bar last started over.
        int fileFrom = -1;
        int totalFrom = -1;
        int fileBefore = -1;
        const auto deadline = std::chrono::steady_clock::now() + kDownloadPatience;
        while (!wrong && std::chrono::steady_clock::now() < deadline && ProgressDialog()) {
            const std::optional<Picture> screen = display->Capture();
            ASSERT_TRUE(screen) << "the screen cannot be read";
            const int file = FilledLength(*screen, origin, 0, *pictures, background);
            if (DownloadUnderWay(*screen, origin, *pictures, background)) {
                ++moments;
                const int total = FilledLength(*screen, origin, 1, *pictures, background);
                if (file < fileBefore || fileFrom < 0) {
                    fileFrom = file;
                    totalFrom = total;
                }
                fileBefore = file;
                const ::testing::AssertionResult check = looksRight(*screen);
                if (!check) {
                    wrong = screen;
                    wrongBecause = check.message();
                } else if (file - fileFrom >= kFileBarMove && total <= totalFrom) {
                    wrong = screen;
                    wrongBecause = "the file bar moved from " + std::to_string(fileFrom) + " to " +
                                   std::to_string(file) + " pixels while the total bar stayed at " +
                                   std::to_string(totalFrom);
                } else if (!right) {
                    right = screen;
                }
            }
            std::this_thread::sleep_for(40ms);
        }
        if (wrong || right)
            KeepScreenshot(wrong ? *wrong : *right, screenshot);
        EXPECT_GT(moments, 0) << "the file bar never showed the download under way" << Diagnostics();
        EXPECT_FALSE(wrong.has_value()) << "after " << moments << " moments: " << wrongBecause;
        if (mainWindow) {
            EXPECT_NEAR(origin.x + dialog->width / 2, mainWindow->x + pictures->main.Width() / 2, 1);
            EXPECT_NEAR(origin.y + dialog->height / 2, mainWindow->y + pictures->main.Height() / 2, 1);
        }
    }

    // The small demo client and the launcher, published and installed, and
    // the launcher started with the page in data mode: where its main
    // window shows the page.
    std::optional<Point> StartShowingThePage() {
        LayOutClient(kSmallFileBytes);
        LayOutLauncher();
        WritePage(PageMode::Data);
        Install();
        Publish();
        if (HasFatalFailure())
            return std::nullopt;
        StartLauncher();
        const std::optional<Point> main = ExpectMainWindowShown("");
        if (main)
            ExpectPageShown(*main, "main-window");
        return HasFatalFailure() ? std::nullopt : main;
    }

    // Drags the main window at `origin` by its frame, 40 pixels left and 30
    // up in three steps, as a hand does; where it is then, once there.
    std::optional<Point> DragMainWindow(Point origin) {
        const Point grip{origin.x + 30, origin.y + 300};
        const Point moved{origin.x - 40, origin.y - 30};
        EXPECT_TRUE(
            Xdotool({"mousemove", std::to_string(grip.x), std::to_string(grip.y), "mousedown", "1", "sleep", "0.2",
                     "mousemove", std::to_string(grip.x - 20), std::to_string(grip.y - 15), "sleep", "0.2", "mousemove",
                     std::to_string(grip.x - 40), std::to_string(grip.y - 30), "sleep", "0.2", "mouseup", "1"}));
        const bool there = WaitUntil(
            [&] {
                const std::optional<ScreenWindow> window = MainWindow();
                return window && window->x == moved.x && window->y == moved.y;
            },
            kWindowPatience);
        EXPECT_TRUE(there) << "the main window did not move to " << moved.x << "," << moved.y << ":" << WindowList();
        return there ? std::optional<Point>(moved) : std::nullopt;
    }

    void ExpectLauncherEnded() {
        const std::optional<int> exitCode = launcherProcess->WaitFor(kExitPatience);
        ASSERT_TRUE(exitCode) << "the launcher did not end" << Diagnostics();
        EXPECT_EQ(*exitCode, 0) << Diagnostics();
    }
};

TEST_F(LauncherWindows, PageStartsTheGameWithLowerCaseStartGameAfterTheDownloadShown) {
    LayOutClient(kSlowFileBytes);
    LayOutLauncher();
    WritePage(PageMode::Plain);
    Install();
    Publish(ServeObjectsSlowly());
    SlowDown("world.pak", kSlowChunkPauseMs);
    StartLauncher();

    const std::optional<Point> main = ExpectMainWindowShown("");
    ASSERT_TRUE(main);
    ExpectPageShown(*main, "main-window");
    if (HasFatalFailure())
        return;

    // The page reported its version when it was painted: the client is on
    // its way. Play: the launcher shows the download until it is done.
    const std::string arguments = "-gui -realm Emberfall -player Tester";
    AllowGameStart(arguments);
    ExpectProgressShown("progress-dialog", main);
    ExpectLauncherEnded();

    ExpectClientInstalled();
    // The game's arguments, then the launcher's own path, quoted.
    const std::string record = WaitForGameRecord();
    const std::string launcherPath = installedLauncher.string();
    EXPECT_NE(record.find("command line: " + arguments + " \"" + launcherPath + "\"\n"), std::string::npos) << record;
    EXPECT_NE(record.find("argument 0: -gui\nargument 1: -realm\nargument 2: Emberfall\nargument 3: -player\n"
                          "argument 4: Tester\nargument 5: " +
                          launcherPath + "\n"),
              std::string::npos)
        << record;
    EXPECT_NE(record.find("current directory: " + clientFolder.string() + "\n"), std::string::npos) << record;
    // The page's cache and data went to the launcher's data folder, nothing
    // to the user's cache under the program's name.
    EXPECT_TRUE(fs::is_directory(data / "Quillmoor" / "Browser")) << Diagnostics();
    EXPECT_FALSE(fs::exists(work.Path() / "cache" / "Launcher.exe")) << Diagnostics();
    // The launcher asked the version service the page named.
    EXPECT_NE(ReadBytes(work.Path() / "server.log").find("/web/pcversion"), std::string::npos);
    EXPECT_FALSE(MainWindow()) << WindowList();
}

TEST_F(LauncherWindows, DataVariantsHandOverTheVersionAnswerAndTheGameData) {
    const std::optional<Point> main = StartShowingThePage();
    ASSERT_TRUE(main);

    // Dragging the window's frame moves the page window with it.
    const std::optional<Point> moved = DragMainWindow(*main);
    ASSERT_TRUE(moved);
    ExpectPageShown(*moved, "moved-main-window");

    // Longer than one piece of the game data, with quotes to escape.
    const std::string text = "say \"hi\" to " + std::string(1100, 'q') + " at the marsh";
    AllowGameStart(text);
    ExpectLauncherEnded();

    ExpectClientInstalled();
    // MODE2, the text in pieces of at most 999 characters, each quoted, and
    // the launcher's path.
    const std::string record = WaitForGameRecord();
    EXPECT_NE(record.find("argument 0: MODE2\nargument 1: " + text.substr(0, 999) +
                          "\nargument 2: " + text.substr(999) + "\nargument 3: " + installedLauncher.string() + "\n"),
              std::string::npos)
        << record;
    EXPECT_NE(record.find("current directory: " + clientFolder.string() + "\n"), std::string::npos) << record;
    // Only the page fetched the client's version answer; the launcher took
    // the page's copy.
    const std::string log = ReadBytes(work.Path() / "server.log");
    std::size_t versionRequests = 0;
    for (std::size_t at = log.find("/web/pcversion"); at != std::string::npos; at = log.find("/web/pcversion", at + 1))
        ++versionRequests;
    EXPECT_EQ(versionRequests, 1u) << log;
}

TEST_F(LauncherWindows, LauncherUpdateShowsItsProgressThenTheRestartedLauncherItsWindow) {
    const std::string vault = RandomBytes(kSlowFileBytes, 5);
    LayOutClient(kSmallFileBytes);
    LayOutLauncher({{"ember_vault.pak", vault}});
    WritePage(PageMode::Plain);
    // The installed launcher lacks a file the published one has.
    Install({"ember_vault.pak"});
    Publish(ServeObjectsSlowly());
    SlowDown("ember_vault.pak", kSlowChunkPauseMs);
    StartLauncher();

    ExpectProgressShown("progress-dialog");
    if (HasFatalFailure())
        return;
    // The launcher hands over to the one it downloaded, which copies itself
    // over the installation and starts the installed copy with "N:".
    ExpectLauncherEnded();
    const std::optional<pid_t> restarted = WaitForAdoptedLauncher(installedLauncher, kWindowPatience);
    ASSERT_TRUE(restarted) << "the installed launcher was not started again" << Diagnostics();
    const std::string arguments = ReadBytes("/proc/" + std::to_string(*restarted) + "/cmdline");
    EXPECT_EQ(arguments, std::string("\0N:\0", 4));
    std::error_code error;
    EXPECT_EQ(fs::read_symlink("/proc/" + std::to_string(*restarted) + "/cwd", error), install);
    EXPECT_EQ(ReadBytes(install / "ember_vault.pak"), vault);
    // The update was downloaded into the data folder first.
    EXPECT_EQ(ReadBytes(data / "Quillmoor/launcher/L1/ember_vault.pak"), vault);
    EXPECT_TRUE(fs::exists(data / "Quillmoor/launcher/L1/Launcher.exe"));

    // The restarted launcher is current: it shows its window and page at once.
    const std::optional<Point> main = ExpectMainWindowShown("");
    ASSERT_TRUE(main);
    ExpectPageShown(*main, "main-window");
    const std::optional<ScreenWindow> window = MainWindow();
    ASSERT_TRUE(window);
    EXPECT_EQ(window->pid, *restarted);

    // Its exit button ends it.
    ASSERT_TRUE(Xdotool({"mousemove", std::to_string(main->x + kExitButton.x + kExitButton.width / 2),
                         std::to_string(main->y + kExitButton.y + kExitButton.height / 2), "click", "1"}));
    EXPECT_EQ(testsupport::WaitForAdopted(*restarted, kExitPatience), std::optional<int>(0)) << Diagnostics();
    EXPECT_FALSE(MainWindow()) << WindowList();
}

// The launcher on a desktop with a window manager (openbox), which frames
// the windows, focuses and raises the one clicked, and minimises and
// restores windows when a task bar or a key asks.
class LauncherUnderWindowManager : public LauncherWindows {
protected:
    testsupport::XDisplay::Options DisplayOptions() const override {
        testsupport::XDisplay::Options options;
        options.windowManager = true;
        return options;
    }

    void SetUp() override {
        if (!testsupport::FindProgram("openbox"))
            GTEST_SKIP() << "openbox is not installed (scripts/setup installs it): the stacking of the launcher's "
                            "windows is seen only under a real window manager";
        LauncherWindows::SetUp();
        if (IsSkipped() || HasFatalFailure())
            return;
        ASSERT_TRUE(display->Managed()) << display->Problem();
    }

    // The page's window: the one the main window owns.
    std::optional<ScreenWindow> PageWindow(const ScreenWindow& main) const {
        for (const ScreenWindow& window : Windows())
            if (window.transientFor == main.id)
                return window;
        return std::nullopt;
    }

    // Clicks at a point and takes the mouse away, so that no button shows
    // its hover picture afterwards.
    ::testing::AssertionResult ClickAt(Point point) {
        return Xdotool({"mousemove", std::to_string(point.x), std::to_string(point.y), "click", "1", "mousemove",
                        std::to_string(display->Width() - 1), std::to_string(display->Height() - 1)});
    }

    // The page over the main window at `origin`, at every look for a while:
    // the screenshot kept is the first look without it, or else the last.
    void ExpectPageStaysShown(Point origin, const std::string& screenshot) {
        auto looksRight = [&](const Picture& screen) -> ::testing::AssertionResult {
            if (::testing::AssertionResult page = ShowsTestPage(screen, origin); !page)
                return page;
            return ShowsMainWindow(screen, origin, *pictures, display->Background());
        };
        Capture look = CaptureWhen([&](const Picture& screen) { return bool(looksRight(screen)); }, kWindowPatience);
        ASSERT_TRUE(look.screen) << "the screen cannot be read";
        ::testing::AssertionResult steady = looksRight(*look.screen);
        for (const auto until = std::chrono::steady_clock::now() + kSteadyLook;
             steady && std::chrono::steady_clock::now() < until;) {
            std::this_thread::sleep_for(100ms);
            look.screen = display->Capture();
            ASSERT_TRUE(look.screen) << "the screen cannot be read";
            steady = looksRight(*look.screen);
        }
        KeepScreenshot(*look.screen, screenshot);
        EXPECT_TRUE(steady) << Diagnostics();
        // The manager stacks the page's window above the main window.
        const std::vector<ScreenWindow> windows = Windows();
        const std::optional<ScreenWindow> main = MainWindow();
        ASSERT_TRUE(main) << WindowList();
        auto stackedAt = [&](unsigned long id) {
            return std::find_if(windows.begin(), windows.end(), [&](const ScreenWindow& w) { return w.id == id; }) -
                   windows.begin();
        };
        const std::optional<ScreenWindow> page = PageWindow(*main);
        ASSERT_TRUE(page) << "no window is owned by the main window:" << WindowList();
        EXPECT_GT(stackedAt(page->id), stackedAt(main->id)) << WindowList();
    }

    // Both windows out of sight, then back as a task bar brings them back.
    void ExpectMinimisedThenRestored(const ScreenWindow& main, const std::string& screenshot) {
        EXPECT_TRUE(WaitUntil([&] { return !MainWindow(); }, kWindowPatience))
            << "the launcher's windows stayed:" << WindowList();
        ASSERT_TRUE(Xdotool({"windowactivate", std::to_string(main.id)}));
        ExpectPageStaysShown({main.x, main.y}, screenshot);
    }
};

TEST_F(LauncherUnderWindowManager, ThePageStaysOverTheMainWindowWhenClickedMinimisedRestoredAndMoved) {
    const std::optional<Point> origin = StartShowingThePage();
    ASSERT_TRUE(origin);
    const std::optional<ScreenWindow> main = MainWindow();
    ASSERT_TRUE(main);

    // The page's window belongs to the main window: no title and no task
    // bar or pager entry of its own. The main window is the launcher's one
    // entry, under its caption.
    const std::optional<ScreenWindow> page = PageWindow(*main);
    ASSERT_TRUE(page) << "no window is owned by the main window:" << WindowList();
    auto has = [](const ScreenWindow& window, const std::string& state) {
        return std::find(window.states.begin(), window.states.end(), state) != window.states.end();
    };
    EXPECT_TRUE(has(*page, "_NET_WM_STATE_SKIP_TASKBAR"));
    EXPECT_TRUE(has(*page, "_NET_WM_STATE_SKIP_PAGER"));
    EXPECT_FALSE(has(*main, "_NET_WM_STATE_SKIP_TASKBAR"));
    for (const ScreenWindow& window : Windows()) {
        if (window.pid == page->pid && window.id != main->id) {
            EXPECT_EQ(window.title, "") << WindowList();
        }
    }

    // A click on the frame: the manager raises the main window, and the
    // page's window with it.
    ASSERT_TRUE(ClickAt({origin->x + 30, origin->y + 300}));
    EXPECT_TRUE(WaitUntil([&] { return display->ActiveWindow() == main->id; }, kScreenPatience))
        << "the click did not reach the window manager";
    ExpectPageStaysShown(*origin, "after-click");

    // Minimised by its own button, and by the manager (a key, a task bar).
    ASSERT_TRUE(ClickAt({origin->x + kMinimiseButton.x + kMinimiseButton.width / 2,
                         origin->y + kMinimiseButton.y + kMinimiseButton.height / 2}));
    ExpectMinimisedThenRestored(*main, "restored");
    ASSERT_TRUE(Xdotool({"windowminimize", std::to_string(main->id)}));
    ExpectMinimisedThenRestored(*main, "restored-by-manager");

    // Dragged by its frame, which the manager carries out: the page follows.
    const std::optional<Point> moved = DragMainWindow(*origin);
    ASSERT_TRUE(moved);
    ExpectPageStaysShown(*moved, "moved");

    // It still answers its buttons.
    ASSERT_TRUE(
        ClickAt({moved->x + kExitButton.x + kExitButton.width / 2, moved->y + kExitButton.y + kExitButton.height / 2}));
    ExpectLauncherEnded();
}

}  // namespace guitest
