#include "tests/gui/launcher_on_screen.h"

#include <signal.h>
#include <sys/prctl.h>
#include <unistd.h>

#include <sstream>
#include <thread>

namespace guitest {

namespace {

// GTK, GLib and WebKit keep one-time allocations and threads of their own
// that the sanitizers report outside our code; the windows are tested in
// the plain build.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool kSanitizedBuild = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
constexpr bool kSanitizedBuild = true;
#else
constexpr bool kSanitizedBuild = false;
#endif
#else
constexpr bool kSanitizedBuild = false;
#endif

const testsupport::DemoParts kDemo{QM_DEMO_FOLDER, QM_LAUNCHER_PROGRAM, QM_LAUNCHER_STYLES, QM_DEMO_GAME_PROGRAM};
constexpr auto kPoll = std::chrono::milliseconds(40);
// Bounds that only end a test whose programs hang.
constexpr auto kServerStartLimit = std::chrono::seconds(10);
constexpr auto kPublishLimit = std::chrono::seconds(60);
constexpr auto kGameRecordLimit = std::chrono::seconds(30);
constexpr auto kXdotoolLimit = std::chrono::seconds(10);

std::string Channels(const Rgba& colour) {
    return std::to_string(colour.r) + ", " + std::to_string(colour.g) + ", " + std::to_string(colour.b);
}

std::string Tail(const std::string& text, std::size_t count) {
    return text.size() <= count ? text : "..." + text.substr(text.size() - count);
}

struct ProcessEntry {
    pid_t pid = 0;
    pid_t parent = 0;
    pid_t group = 0;
};

// The processes this one is the parent of, from /proc.
std::vector<ProcessEntry> Children() {
    std::vector<ProcessEntry> children;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator("/proc", error)) {
        const std::string name = entry.path().filename().string();
        if (name.empty() || name.find_first_not_of("0123456789") != std::string::npos)
            continue;
        // "pid (name) state parent group ...": the name may hold anything,
        // so the fields are read after its last parenthesis.
        const std::string stat = ReadBytes(entry.path() / "stat");
        const std::size_t close = stat.rfind(')');
        if (close == std::string::npos)
            continue;
        std::istringstream fields(stat.substr(close + 1));
        char state = 0;
        ProcessEntry process;
        process.pid = static_cast<pid_t>(std::stol(name));
        if (fields >> state >> process.parent >> process.group && process.parent == getpid())
            children.push_back(process);
    }
    return children;
}

}  // namespace

void LauncherOnScreen::SetUp() {
    if (kSanitizedBuild)
        GTEST_SKIP() << "the launcher's windows are tested in the plain build (GTK and WebKit upset the sanitizers)";
    display = std::make_unique<testsupport::XDisplay>(DisplayOptions());
    if (!display->Started())
        GTEST_SKIP() << "no X server could be started (Xvfb -displayfd): " << display->Problem();
    ASSERT_TRUE(display->Composited()) << "xcompmgr did not take over " << display->Name()
                                       << ": without it the windows show no alpha";
    pictures = LauncherPictures::Load(QM_LAUNCHER_STYLES);
    ASSERT_TRUE(pictures) << "cannot read the launcher's pictures in " << QM_LAUNCHER_STYLES;

    // Launchers started by the launcher outlive their parent; as a
    // subreaper this process adopts them, so they can be waited for and
    // none is left behind.
    prctl(PR_SET_CHILD_SUBREAPER, 1);

    // This run's screenshots replace the last run's.
    const std::string prefix = std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()) + "-";
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(QM_SCREENSHOT_DIR, error))
        if (entry.path().filename().string().rfind(prefix, 0) == 0)
            fs::remove(entry.path(), error);

    fs::create_directories(cdn);
    fs::create_directories(web);
    fs::create_directories(data);
    server = std::make_unique<testsupport::ServedCdn>(
        testsupport::ServedCdn::Folders{QM_CDN_PROGRAM, work.Path(), cdn, web}, kServerStartLimit);
    port = server->Port();
    ASSERT_GT(port, 0) << "quillmoor-cdn serve did not start: " << server->Problem();
}

void LauncherOnScreen::TearDown() {
    if (launcherProcess) {
        // Everything the launcher started is in its process group: the
        // launchers it handed over to, the game, the page's processes.
        const pid_t group = launcherProcess->Pid();
        launcherProcess->Stop();
        kill(-group, SIGTERM);
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (std::chrono::steady_clock::now() < deadline) {
            for (const ProcessEntry& child : Children())
                if (child.group == group)
                    testsupport::WaitForAdopted(child.pid, std::chrono::seconds(5));
            if (kill(-group, 0) != 0)
                break;
            std::this_thread::sleep_for(kPoll);
        }
        kill(-group, SIGKILL);
        for (const ProcessEntry& child : Children())
            if (child.group == group)
                testsupport::WaitForAdopted(child.pid, std::chrono::seconds(5));
        launcherProcess.reset();
    }
    server.reset();
    objects.reset();
    display.reset();
    if (!screenshots.empty()) {
        std::string list;
        for (const std::string& shot : screenshots)
            list += (list.empty() ? "" : " ") + shot;
        RecordProperty("screenshots", list);
    }
}

void LauncherOnScreen::LayOutClient(std::size_t bigFileBytes) {
    testsupport::LayOutDemoClient(kDemo, client, bigFileBytes);
}

void LauncherOnScreen::LayOutLauncher(const std::vector<std::pair<fs::path, std::string>>& extraFiles) {
    testsupport::LayOutDemoLauncher(kDemo, launcher);
    WriteBytes(launcher / "demo.ini", testsupport::DemoSettings(kDemo, port));
    for (const auto& [name, bytes] : extraFiles)
        WriteBytes(launcher / name, bytes);
}

void LauncherOnScreen::WritePage(PageMode mode) {
    std::string page = ReadBytes(QM_GUI_TEST_PAGE);
    ASSERT_FALSE(page.empty()) << "cannot read " << QM_GUI_TEST_PAGE;
    page = ReplaceAll(page, "@MODE@", mode == PageMode::Data ? "data" : "plain");
    page = ReplaceAll(page, "@PAGE_COLOUR@", Channels(kPageColour));
    page = ReplaceAll(page, "@FIRST_MARKER_COLOUR@", Channels(kFirstMarkerColour));
    page = ReplaceAll(page, "@LAST_MARKER_COLOUR@", Channels(kLastMarkerColour));
    page = ReplaceAll(page, "@MARKER_SIZE@", std::to_string(kMarkerSize));
    WriteBytes(web / "index.html", page);
}

void LauncherOnScreen::Install(const std::vector<fs::path>& leaveOut) {
    fs::copy(launcher, install, fs::copy_options::recursive);
    for (const fs::path& name : leaveOut)
        fs::remove(install / name);
}

void LauncherOnScreen::Publish(const std::string& cdnUrl) {
    std::vector<std::string> options;
    if (!cdnUrl.empty())
        options = {"--base-url", cdnUrl};
    const testsupport::ServedCdn::Published published =
        server->Publish(launcher, client, "demo", options, kPublishLimit);
    ASSERT_TRUE(published.exitCode) << "quillmoor-cdn publish did not end";
    ASSERT_EQ(*published.exitCode, 0) << published.errors;
}

std::string LauncherOnScreen::ServeObjectsSlowly() {
    objects = std::make_unique<testsupport::LoopbackServer>();
    objects->ServeFolder("/cdn/", cdn.string());
    return objects->BaseUrl() + "/cdn/";
}

void LauncherOnScreen::SlowDown(const std::string& fileName, int delayPerChunkMs) {
    ASSERT_TRUE(objects) << "ServeObjectsSlowly() first";
    std::vector<fs::path> found;
    for (const auto& entry : fs::recursive_directory_iterator(cdn / "tree"))
        if (entry.is_regular_file() && entry.path().filename().string().rfind(fileName + ".", 0) == 0)
            found.push_back(fs::relative(entry.path(), cdn));
    ASSERT_EQ(found.size(), 1u) << "the published object of " << fileName;
    testsupport::Fault slow;
    slow.slowBodyDelayMs = delayPerChunkMs;
    objects->SetFault("/cdn/" + found.front().generic_string(), slow);
}

void LauncherOnScreen::StartLauncher() {
    testsupport::ProcessStart start;
    start.argv = {installedLauncher.string()};
    start.folder = install;
    start.environment = {
        {"DISPLAY", display->Name()},
        {"WAYLAND_DISPLAY", ""},
        {"GDK_BACKEND", "x11"},
        // The launcher's data folder, and everything GTK and WebKit keep,
        // stay in the test's folder.
        {"XDG_DATA_HOME", data.string()},
        {"XDG_CACHE_HOME", (work.Path() / "cache").string()},
        {"XDG_CONFIG_HOME", (work.Path() / "config").string()},
        // No accessibility bus and no session bus: nothing is started
        // outside the launcher's own process group.
        {"NO_AT_BRIDGE", "1"},
        {"DBUS_SESSION_BUS_ADDRESS", "unix:path=" + (work.Path() / "no-session-bus").string()},
    };
    start.outputFile = work.Path() / "launcher.out";
    start.errorFile = work.Path() / "launcher.err";
    start.ownProcessGroup = true;
    launcherProcess = std::make_unique<testsupport::TestProcess>(start);
}

void LauncherOnScreen::AllowGameStart(const std::string& arguments) {
    // Whole or not at all: the page may ask for it at any moment.
    WriteBytes(web / "go.txt.part", arguments);
    fs::rename(web / "go.txt.part", web / "go.txt");
}

std::optional<ScreenWindow> LauncherOnScreen::MainWindow() const {
    const std::vector<ScreenWindow> windows = Windows();
    for (const ScreenWindow& window : windows)
        if (window.title == kMainWindowTitle)
            return window;
    // Without its title, the lowest window of the main picture's size: the
    // page's window lies over it with the same size.
    for (const ScreenWindow& window : windows)
        if (window.width == pictures->main.Width() && window.height == pictures->main.Height())
            return window;
    return std::nullopt;
}

std::optional<ScreenWindow> LauncherOnScreen::ProgressDialog() const {
    for (const ScreenWindow& window : Windows())
        if (window.width == pictures->progress.Width() && window.height == pictures->progress.Height())
            return window;
    return std::nullopt;
}

std::optional<ScreenWindow> LauncherOnScreen::WaitForWindow(const std::function<std::optional<ScreenWindow>()>& find,
                                                            std::chrono::milliseconds limit) const {
    std::optional<ScreenWindow> window;
    WaitUntil(
        [&] {
            window = find();
            return window.has_value();
        },
        limit);
    return window;
}

bool LauncherOnScreen::WaitUntil(const std::function<bool()>& done, std::chrono::milliseconds limit) const {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    for (;;) {
        if (done())
            return true;
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(kPoll);
    }
}

::testing::AssertionResult LauncherOnScreen::Xdotool(const std::vector<std::string>& commands) const {
    testsupport::ProcessStart run;
    run.argv = {"xdotool"};
    run.argv.insert(run.argv.end(), commands.begin(), commands.end());
    run.environment = {{"DISPLAY", display->Name()}};
    const std::optional<int> exitCode = testsupport::RunProcess(run, kXdotoolLimit);
    if (exitCode == std::optional<int>(0))
        return ::testing::AssertionSuccess();
    std::string line;
    for (const std::string& word : run.argv)
        line += (line.empty() ? "" : " ") + word;
    return ::testing::AssertionFailure() << line << (exitCode ? " failed" : " did not end");
}

LauncherOnScreen::Capture LauncherOnScreen::CaptureWhen(const std::function<bool(const Picture&)>& ready,
                                                        std::chrono::milliseconds limit) const {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    Capture capture;
    for (;;) {
        capture.screen = display->Capture();
        if (capture.screen && ready(*capture.screen)) {
            capture.ready = true;
            return capture;
        }
        if (std::chrono::steady_clock::now() >= deadline)
            return capture;
        std::this_thread::sleep_for(kPoll);
    }
}

void LauncherOnScreen::KeepScreenshot(const Picture& screen, const std::string& name) {
    const std::string file =
        std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()) + "-" + name + ".png";
    const fs::path path = fs::path(QM_SCREENSHOT_DIR) / file;
    EXPECT_TRUE(screen.Save(path)) << "cannot write " << path;
    screenshots.push_back(path.string());
}

std::optional<pid_t> LauncherOnScreen::WaitForAdoptedLauncher(const fs::path& program,
                                                              std::chrono::milliseconds limit) const {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    for (;;) {
        for (const ProcessEntry& child : Children()) {
            std::error_code error;
            const fs::path exe = fs::read_symlink("/proc/" + std::to_string(child.pid) + "/exe", error);
            if (!error && exe == program)
                return child.pid;
        }
        if (std::chrono::steady_clock::now() >= deadline)
            return std::nullopt;
        std::this_thread::sleep_for(kPoll);
    }
}

std::string LauncherOnScreen::WaitForGameRecord() const {
    return testsupport::WaitForGameRecord(clientFolder / "qm-started.txt", kGameRecordLimit);
}

void LauncherOnScreen::ExpectClientInstalled() const {
    std::size_t count = 0;
    for (const auto& entry : fs::recursive_directory_iterator(client)) {
        if (!entry.is_regular_file())
            continue;
        ++count;
        const fs::path relative = fs::relative(entry.path(), client);
        ASSERT_TRUE(fs::exists(clientFolder / relative)) << relative << " is not in " << clientFolder;
        EXPECT_EQ(ReadBytes(clientFolder / relative), ReadBytes(entry.path())) << relative;
    }
    EXPECT_GT(count, 2u);
}

std::string LauncherOnScreen::Diagnostics() const {
    // The page asks for go.txt ten times a second; those lines say nothing.
    std::istringstream log(ReadBytes(work.Path() / "server.log"));
    std::string requests;
    for (std::string line; std::getline(log, line);)
        if (line.find("/web/go.txt 404") == std::string::npos)
            requests += line + "\n";
    return "\nlauncher output: " + Tail(ReadBytes(work.Path() / "launcher.out"), 1000) +
           "\nlauncher errors: " + Tail(ReadBytes(work.Path() / "launcher.err"), 3000) +
           "\nserver log: " + Tail(requests, 2000) + "windows:" + WindowList();
}

std::string LauncherOnScreen::WindowList() const {
    std::ostringstream list;
    for (const ScreenWindow& window : Windows())
        list << " [" << window.width << "x" << window.height << " at " << window.x << "," << window.y << " \""
             << window.title << "\" pid " << window.pid << "]";
    return list.str();
}

}  // namespace guitest
