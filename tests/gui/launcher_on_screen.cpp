#include "tests/gui/launcher_on_screen.h"

#include <signal.h>
#include <sys/prctl.h>
#include <unistd.h>

#include <fstream>
#include <random>
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

const fs::path kDemoFolder = QM_DEMO_FOLDER;
constexpr auto kPoll = std::chrono::milliseconds(40);

std::string Replace(std::string text, const std::string& from, const std::string& to)
{
    for (std::size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
    return text;
}

std::string Channels(const Rgba& colour)
{
    return std::to_string(colour.r) + ", " + std::to_string(colour.g) + ", " + std::to_string(colour.b);
}

std::string Tail(const std::string& text, std::size_t count)
{
    return text.size() <= count ? text : "..." + text.substr(text.size() - count);
}

std::string ReadWhole(const fs::path& file)
{
    std::ifstream in(file, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

struct ProcessEntry {
    pid_t pid = 0;
    pid_t parent = 0;
    pid_t group = 0;
};

// The processes this one is the parent of, from /proc.
std::vector<ProcessEntry> Children()
{
    std::vector<ProcessEntry> children;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator("/proc", error)) {
        const std::string name = entry.path().filename().string();
        if (name.empty() || name.find_first_not_of("0123456789") != std::string::npos)
            continue;
        // "pid (name) state parent group ...": the name may hold anything,
        // so the fields are read after its last parenthesis.
        const std::string stat = ReadWhole(entry.path() / "stat");
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

void LauncherOnScreen::SetUp()
{
    if (kSanitizedBuild)
        GTEST_SKIP() << "the launcher's windows are tested in the plain build (GTK and WebKit upset the sanitizers)";
    display = std::make_unique<testsupport::XDisplay>();
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
    const fs::path portFile = work.Path() / "port";
    testsupport::ProcessStart start;
    start.argv = {QM_CDN_PROGRAM, "serve", "--root", cdn.string(), "--port", "0", "--port-file", portFile.string(),
                  "--web", web.string()};
    start.folder = work.Path();
    start.outputFile = work.Path() / "server.log";
    start.errorFile = work.Path() / "server.err";
    server = std::make_unique<testsupport::TestProcess>(start);
    // Written once the server listens.
    for (int i = 0; i < 500 && ReadFile(portFile).find('\n') == std::string::npos && server->Running(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    const std::string portText = ReadFile(portFile);
    ASSERT_NE(portText.find('\n'), std::string::npos) << "quillmoor-cdn serve did not start: "
                                                      << ReadFile(work.Path() / "server.err");
    port = std::stoi(portText);
    ASSERT_GT(port, 0);
}

void LauncherOnScreen::TearDown()
{
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

void LauncherOnScreen::LayOutClient(std::size_t bigFileBytes)
{
    fs::copy(kDemoFolder / "client", client, fs::copy_options::recursive);
    WriteFile(client / "data/world.pak", RandomBytes(bigFileBytes, 11));
    fs::copy_file(QM_DEMO_GAME_PROGRAM, client / "qm.exe");
}

void LauncherOnScreen::LayOutLauncher(const std::vector<std::pair<fs::path, std::string>>& extraFiles)
{
    fs::create_directories(launcher);
    fs::copy_file(QM_LAUNCHER_PROGRAM, launcher / "Launcher.exe");
    fs::copy(QM_LAUNCHER_STYLES, launcher / "LauncherStyles", fs::copy_options::recursive);
    fs::copy_file(kDemoFolder / "launcher/Platform.ini", launcher / "Platform.ini");
    WriteFile(launcher / "demo.ini",
              Replace(ReadFile(kDemoFolder / "launcher/demo.ini.in"), "@PORT@", std::to_string(port)));
    for (const auto& [name, bytes] : extraFiles)
        WriteFile(launcher / name, bytes);
}

void LauncherOnScreen::WritePage(PageMode mode)
{
    std::string page = ReadFile(QM_GUI_TEST_PAGE);
    ASSERT_FALSE(page.empty()) << "cannot read " << QM_GUI_TEST_PAGE;
    page = Replace(page, "@MODE@", mode == PageMode::Data ? "data" : "plain");
    page = Replace(page, "@PAGE_COLOUR@", Channels(kPageColour));
    page = Replace(page, "@FIRST_MARKER_COLOUR@", Channels(kFirstMarkerColour));
    page = Replace(page, "@LAST_MARKER_COLOUR@", Channels(kLastMarkerColour));
    page = Replace(page, "@MARKER_SIZE@", std::to_string(kMarkerSize));
    WriteFile(web / "index.html", page);
}

void LauncherOnScreen::Install(const std::vector<fs::path>& leaveOut)
{
    fs::copy(launcher, install, fs::copy_options::recursive);
    for (const fs::path& name : leaveOut)
        fs::remove(install / name);
}

void LauncherOnScreen::Publish(const std::string& cdnUrl)
{
    testsupport::ProcessStart start;
    start.argv = {QM_CDN_PROGRAM, "publish", "--launcher", launcher.string(), "--client", client.string(),
                  "--platform", "demo", "--out", cdn.string()};
    if (!cdnUrl.empty())
        start.argv.insert(start.argv.end(), {"--base-url", cdnUrl});
    start.folder = work.Path();
    start.outputFile = work.Path() / "publish.out";
    start.errorFile = work.Path() / "publish.err";
    const std::optional<int> exitCode = testsupport::RunProcess(start, std::chrono::seconds(60));
    ASSERT_TRUE(exitCode) << "quillmoor-cdn publish did not end";
    ASSERT_EQ(*exitCode, 0) << ReadFile(work.Path() / "publish.err");
}

std::string LauncherOnScreen::ServeObjectsSlowly()
{
    objects = std::make_unique<testsupport::LoopbackServer>();
    objects->ServeFolder("/cdn/", cdn.string());
    return objects->BaseUrl() + "/cdn/";
}

void LauncherOnScreen::SlowDown(const std::string& fileName, int delayPerChunkMs)
{
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

void LauncherOnScreen::StartLauncher()
{
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

void LauncherOnScreen::AllowGameStart(const std::string& arguments)
{
    // Whole or not at all: the page may ask for it at any moment.
    WriteFile(web / "go.txt.part", arguments);
    fs::rename(web / "go.txt.part", web / "go.txt");
}

std::optional<ScreenWindow> LauncherOnScreen::MainWindow() const
{
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

std::optional<ScreenWindow> LauncherOnScreen::ProgressDialog() const
{
    for (const ScreenWindow& window : Windows())
        if (window.width == pictures->progress.Width() && window.height == pictures->progress.Height())
            return window;
    return std::nullopt;
}

std::optional<ScreenWindow> LauncherOnScreen::WaitForWindow(
    const std::function<std::optional<ScreenWindow>()>& find, std::chrono::milliseconds limit) const
{
    const auto deadline = std::chrono::steady_clock::now() + limit;
    for (;;) {
        if (std::optional<ScreenWindow> window = find())
            return window;
        if (std::chrono::steady_clock::now() >= deadline)
            return std::nullopt;
        std::this_thread::sleep_for(kPoll);
    }
}

LauncherOnScreen::Capture LauncherOnScreen::CaptureWhen(const std::function<bool(const Picture&)>& ready,
                                                        std::chrono::milliseconds limit) const
{
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

void LauncherOnScreen::KeepScreenshot(const Picture& screen, const std::string& name)
{
    const std::string file = std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()) + "-" +
                             name + ".png";
    const fs::path path = fs::path(QM_SCREENSHOT_DIR) / file;
    EXPECT_TRUE(screen.Save(path)) << "cannot write " << path;
    screenshots.push_back(path.string());
}

std::optional<pid_t> LauncherOnScreen::WaitForAdoptedLauncher(const fs::path& program,
                                                              std::chrono::milliseconds limit) const
{
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

std::string LauncherOnScreen::WaitForGameRecord() const
{
    // The launcher does not wait for the game it starts: the record may
    // still be on its way. The bound only ends a test whose game never
    // writes one.
    std::string record;
    for (int i = 0; i < 1500; ++i) {
        record = ReadFile(clientFolder / "qm-started.txt");
        if (record.find("\ncurrent directory: ") != std::string::npos && record.back() == '\n')
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return record;
}

void LauncherOnScreen::ExpectClientInstalled() const
{
    std::size_t count = 0;
    for (const auto& entry : fs::recursive_directory_iterator(client)) {
        if (!entry.is_regular_file())
            continue;
        ++count;
        const fs::path relative = fs::relative(entry.path(), client);
        ASSERT_TRUE(fs::exists(clientFolder / relative)) << relative << " is not in " << clientFolder;
        EXPECT_EQ(ReadFile(clientFolder / relative), ReadFile(entry.path())) << relative;
    }
    EXPECT_GT(count, 2u);
}

std::string LauncherOnScreen::Diagnostics() const
{
    // The page asks for go.txt ten times a second; those lines say nothing.
    std::istringstream log(ReadFile(work.Path() / "server.log"));
    std::string requests;
    for (std::string line; std::getline(log, line);)
        if (line.find("/web/go.txt 404") == std::string::npos)
            requests += line + "\n";
    return "\nlauncher output: " + Tail(ReadFile(work.Path() / "launcher.out"), 1000) +
           "\nlauncher errors: " + Tail(ReadFile(work.Path() / "launcher.err"), 3000) +
           "\nserver log: " + Tail(requests, 2000) + "windows:" + WindowList();
}

std::string LauncherOnScreen::WindowList() const
{
    std::ostringstream list;
    for (const ScreenWindow& window : Windows())
        list << " [" << window.width << "x" << window.height << " at " << window.x << "," << window.y << " \""
             << window.title << "\" pid " << window.pid << "]";
    return list.str();
}

std::string LauncherOnScreen::ReadFile(const fs::path& file)
{
    return ReadWhole(file);
}

void LauncherOnScreen::WriteFile(const fs::path& file, const std::string& bytes)
{
    fs::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary) << bytes;
}

std::string LauncherOnScreen::RandomBytes(std::size_t count, unsigned seed)
{
    std::mt19937 generator(seed);
    std::string bytes(count, '\0');
    for (char& byte : bytes)
        byte = static_cast<char>(generator());
    return bytes;
}

}  // namespace guitest
