#include "tests/support/x_display.h"

#include "platform/png_file.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <thread>

namespace testsupport {

namespace {

// Xvfb normally answers within a second; a loaded machine gets more.
constexpr int kServerStartMs = 20000;
constexpr auto kManagerStart = std::chrono::seconds(10);

int Clamp(int value) {
    return std::clamp(value, 0, 255);
}

// Xvfb writes the display number and a newline on the pipe once it
// accepts connections; nothing (the pipe closes) when it cannot start.
std::optional<std::string> ReadDisplayNumber(int fd) {
    std::string number;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kServerStartMs);
    for (;;) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        pollfd wait{fd, POLLIN, 0};
        if (left.count() <= 0 || poll(&wait, 1, static_cast<int>(left.count())) != 1)
            return std::nullopt;
        char c = 0;
        if (read(fd, &c, 1) != 1)
            return std::nullopt;
        if (c == '\n')
            return number.empty() ? std::nullopt : std::optional<std::string>(":" + number);
        number += c;
    }
}

std::string TextProperty(Display* display, Window window, const char* name, const char* type) {
    Atom actualType = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    const Atom property = XInternAtom(display, name, False);
    const Atom wanted = type ? XInternAtom(display, type, False) : AnyPropertyType;
    std::string text;
    if (XGetWindowProperty(display, window, property, 0, 4096, False, wanted, &actualType, &format, &count, &after,
                           &data) == Success &&
        data) {
        if (format == 8)
            text.assign(reinterpret_cast<const char*>(data), count);
        XFree(data);
    }
    return text;
}

pid_t PidProperty(Display* display, Window window) {
    Atom actualType = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    pid_t pid = 0;
    if (XGetWindowProperty(display, window, XInternAtom(display, "_NET_WM_PID", False), 0, 1, False, XA_CARDINAL,
                           &actualType, &format, &count, &after, &data) == Success &&
        data) {
        if (format == 32 && count == 1)
            pid = static_cast<pid_t>(*reinterpret_cast<const unsigned long*>(data));
        XFree(data);
    }
    return pid;
}

unsigned long WindowProperty(Display* display, Window window, const char* name) {
    Atom actualType = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    unsigned long value = 0;
    if (XGetWindowProperty(display, window, XInternAtom(display, name, False), 0, 1, False, XA_WINDOW, &actualType,
                           &format, &count, &after, &data) == Success &&
        data) {
        if (format == 32 && count == 1)
            value = *reinterpret_cast<const unsigned long*>(data);
        XFree(data);
    }
    return value;
}

std::vector<std::string> StateNames(Display* display, Window window) {
    Atom actualType = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    std::vector<std::string> names;
    if (XGetWindowProperty(display, window, XInternAtom(display, "_NET_WM_STATE", False), 0, 64, False, XA_ATOM,
                           &actualType, &format, &count, &after, &data) == Success &&
        data) {
        for (unsigned long i = 0; format == 32 && i < count; ++i) {
            if (char* name = XGetAtomName(display, reinterpret_cast<const Atom*>(data)[i])) {
                names.emplace_back(name);
                XFree(name);
            }
        }
        XFree(data);
    }
    return names;
}

// A window manager marks the windows it manages with WM_STATE and puts each
// into a frame of its own; without one, a top-level window is the program's.
Window ProgramWindow(Display* display, Window window, int depth = 0) {
    const Atom state = XInternAtom(display, "WM_STATE", False);
    Atom actualType = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(display, window, state, 0, 0, False, AnyPropertyType, &actualType, &format, &count, &after,
                           &data) == Success) {
        if (data)
            XFree(data);
        if (actualType != None)
            return window;
    }
    Window root = 0, parent = 0;
    Window* children = nullptr;
    unsigned int childCount = 0;
    Window found = 0;
    if (depth < 3 && XQueryTree(display, window, &root, &parent, &children, &childCount)) {
        for (unsigned int i = childCount; i-- > 0 && !found;)
            found = ProgramWindow(display, children[i], depth + 1);
    }
    if (children)
        XFree(children);
    return depth == 0 && !found ? window : found;
}

// Requests that fail (a window gone between listing and asking) are
// expected here and must not end the test program.
int IgnoreXErrors(Display*, XErrorEvent*) {
    return 0;
}

}  // namespace

bool Near(const Rgba& left, const Rgba& right, int tolerance) {
    return std::abs(left.r - right.r) <= tolerance && std::abs(left.g - right.g) <= tolerance &&
           std::abs(left.b - right.b) <= tolerance && std::abs(left.a - right.a) <= tolerance;
}

Rgba Over(const Rgba& top, const Rgba& bottom) {
    auto blend = [&](int over, int under) { return Clamp((over * top.a + under * (255 - top.a) + 127) / 255); };
    return {blend(top.r, bottom.r), blend(top.g, bottom.g), blend(top.b, bottom.b), 255};
}

std::string Describe(const Rgba& colour) {
    char text[48];
    std::snprintf(text, sizeof text, "rgba(%d,%d,%d,%d)", colour.r, colour.g, colour.b, colour.a);
    return text;
}

Picture::Picture(platform::LayeredPicture pixels) : m_pixels(std::move(pixels)) {}

std::optional<Picture> Picture::Load(const std::filesystem::path& png) {
    std::optional<platform::LayeredPicture> pixels = platform::LoadPng(png);
    if (!pixels)
        return std::nullopt;
    return Picture(std::move(*pixels));
}

int Picture::Width() const {
    return m_pixels.size.cx;
}

int Picture::Height() const {
    return m_pixels.size.cy;
}

Rgba Picture::At(int x, int y) const {
    if (x < 0 || y < 0 || x >= Width() || y >= Height())
        return {0, 0, 0, 0};
    const std::uint32_t pixel = m_pixels.pixels[static_cast<std::size_t>(y) * Width() + x];
    const int a = static_cast<int>(pixel >> 24);
    // Pictures keep colours premultiplied by alpha.
    auto straight = [a](std::uint32_t channel) {
        return a == 0 ? 0 : Clamp((static_cast<int>(channel & 0xFF) * 255 + a / 2) / a);
    };
    return {straight(pixel >> 16), straight(pixel >> 8), straight(pixel), a};
}

bool Picture::Save(const std::filesystem::path& png) const {
    std::error_code error;
    if (png.has_parent_path())
        std::filesystem::create_directories(png.parent_path(), error);
    return platform::SavePng(m_pixels, png);
}

XDisplay::XDisplay(const Options& options) : m_options(options) {
    if (!StartServer())
        return;
    PaintBackground();
    if (m_options.compositor)
        m_composited = StartCompositor();
    if (m_options.windowManager)
        m_managed = StartWindowManager();
}

XDisplay::~XDisplay() {
    if (m_connection)
        XCloseDisplay(m_connection);
    m_connection = nullptr;
    // The managers before the server, so none reports another gone.
    m_windowManager.reset();
    m_compositor.reset();
    m_server.reset();
}

bool XDisplay::StartServer() {
    if (!FindProgram("Xvfb")) {
        m_problem = "Xvfb is not installed";
        return false;
    }
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) {
        m_problem = "no pipe for Xvfb's display number";
        return false;
    }
    // Only the writing end goes to the server.
    fcntl(fds[1], F_SETFD, 0);
    const std::string size = std::to_string(m_options.width) + "x" + std::to_string(m_options.height) + "x24";
    try {
        ProcessStart start;
        start.argv = {"Xvfb", "-displayfd", std::to_string(fds[1]), "-screen", "0", size, "-nolisten",
                      "tcp",  "-noreset"};
        start.keepFd = fds[1];
        m_server = std::make_unique<TestProcess>(start);
    } catch (const std::exception& failure) {
        m_problem = failure.what();
    }
    close(fds[1]);
    std::optional<std::string> name;
    if (m_server)
        name = ReadDisplayNumber(fds[0]);
    close(fds[0]);
    if (!name) {
        if (m_problem.empty())
            m_problem = "Xvfb did not report a display";
        m_server.reset();
        return false;
    }
    m_name = *name;
    m_connection = XOpenDisplay(m_name.c_str());
    if (!m_connection) {
        m_problem = "cannot connect to Xvfb on " + m_name;
        m_server.reset();
        return false;
    }
    return true;
}

void XDisplay::PaintBackground() {
    Display* display = m_connection;
    const Window root = DefaultRootWindow(display);
    const int screen = DefaultScreen(display);
    const unsigned long pixel = (static_cast<unsigned long>(m_options.background.r) << 16) |
                                (static_cast<unsigned long>(m_options.background.g) << 8) |
                                static_cast<unsigned long>(m_options.background.b);
    // Without a compositor the server paints the root window itself.
    XSetWindowBackground(display, root, pixel);
    XClearWindow(display, root);
    // A compositor paints the root pixmap desktops publish; this one lives
    // as long as the connection that made it.
    const Pixmap tile = XCreatePixmap(display, root, 1, 1, DefaultDepth(display, screen));
    const GC gc = XCreateGC(display, tile, 0, nullptr);
    XSetForeground(display, gc, pixel);
    XFillRectangle(display, tile, gc, 0, 0, 1, 1);
    XFreeGC(display, gc);
    const Atom rootPixmap = XInternAtom(display, "_XROOTPMAP_ID", False);
    XChangeProperty(display, root, rootPixmap, XA_PIXMAP, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(&tile), 1);
    XSync(display, False);
}

bool XDisplay::StartCompositor() {
    if (!FindProgram("xcompmgr")) {
        m_problem = "xcompmgr is not installed";
        return false;
    }
    ProcessStart start;
    start.argv = {"xcompmgr", "-n"};
    // A compositing manager announces itself by owning this selection;
    // windows mapped before that would be shown without their alpha.
    m_compositor = StartOwnerOf("_NET_WM_CM_S0", start);
    return m_compositor != nullptr;
}

bool XDisplay::StartWindowManager() {
    if (!FindProgram("openbox")) {
        m_problem = "openbox is not installed";
        return false;
    }
    try {
        m_managerHome = std::make_unique<TempDir>();
    } catch (const std::exception& failure) {
        m_problem = failure.what();
        return false;
    }
    ProcessStart start;
    // The system's settings (/etc/xdg/openbox): a click focuses and raises.
    start.argv = {"openbox", "--sm-disable"};
    start.environment = {{"HOME", m_managerHome->Path().string()},
                         {"XDG_CONFIG_HOME", (m_managerHome->Path() / "config").string()},
                         {"XDG_CACHE_HOME", (m_managerHome->Path() / "cache").string()},
                         {"XDG_DATA_HOME", (m_managerHome->Path() / "data").string()}};
    start.errorFile = m_managerHome->Path() / "openbox.err";
    // ICCCM: a window manager owns WM_S<screen>.
    m_windowManager = StartOwnerOf("WM_S0", start);
    if (m_windowManager && ManagesWindows())
        return true;
    m_problem = "openbox did not take over " + m_name + ": " + ReadBytes(start.errorFile);
    m_windowManager.reset();
    return false;
}

bool XDisplay::ManagesWindows() const {
    // openbox owns the selection before it handles windows, and a window
    // mapped in between is lost: a probe window tells when it is ready.
    const auto deadline = std::chrono::steady_clock::now() + kManagerStart;
    while (std::chrono::steady_clock::now() < deadline) {
        const Window probe = XCreateSimpleWindow(m_connection, DefaultRootWindow(m_connection), 0, 0, 1, 1, 0, 0, 0);
        XMapWindow(m_connection, probe);
        XSync(m_connection, False);
        bool managed = false;
        for (int wait = 0; wait < 25 && !managed; ++wait) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            XWindowAttributes attributes{};
            managed = XGetWindowAttributes(m_connection, probe, &attributes) && attributes.map_state == IsViewable;
        }
        XDestroyWindow(m_connection, probe);
        XSync(m_connection, False);
        if (managed)
            return true;
    }
    return false;
}

std::unique_ptr<TestProcess> XDisplay::StartOwnerOf(const char* selection, ProcessStart start) {
    start.environment["DISPLAY"] = m_name;
    std::unique_ptr<TestProcess> program;
    try {
        program = std::make_unique<TestProcess>(start);
    } catch (const std::exception& failure) {
        m_problem = failure.what();
        return nullptr;
    }
    const Atom owned = XInternAtom(m_connection, selection, False);
    const auto deadline = std::chrono::steady_clock::now() + kManagerStart;
    while (std::chrono::steady_clock::now() < deadline) {
        if (XGetSelectionOwner(m_connection, owned) != None)
            return program;
        if (!program->Running())
            return nullptr;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return nullptr;
}

std::optional<Picture> XDisplay::Capture() const {
    if (!m_connection)
        return std::nullopt;
    XImage* image = XGetImage(m_connection, DefaultRootWindow(m_connection), 0, 0, m_options.width, m_options.height,
                              AllPlanes, ZPixmap);
    if (!image)
        return std::nullopt;
    platform::LayeredPicture screen;
    screen.size = SIZE{m_options.width, m_options.height};
    screen.pixels.resize(static_cast<std::size_t>(m_options.width) * static_cast<std::size_t>(m_options.height));
    for (int y = 0; y < m_options.height; ++y)
        for (int x = 0; x < m_options.width; ++x)
            screen.pixels[static_cast<std::size_t>(y) * m_options.width + x] =
                0xFF000000u | static_cast<std::uint32_t>(XGetPixel(image, x, y) & 0xFFFFFFu);
    XDestroyImage(image);
    return Picture(std::move(screen));
}

bool XDisplay::Screenshot(const std::filesystem::path& png) const {
    const std::optional<Picture> screen = Capture();
    return screen && screen->Save(png);
}

Rgba XDisplay::PixelAt(int x, int y) const {
    if (!m_connection || x < 0 || y < 0 || x >= m_options.width || y >= m_options.height)
        return {0, 0, 0, -1};
    XImage* image = XGetImage(m_connection, DefaultRootWindow(m_connection), x, y, 1, 1, AllPlanes, ZPixmap);
    if (!image)
        return {0, 0, 0, -1};
    const unsigned long pixel = XGetPixel(image, 0, 0);
    XDestroyImage(image);
    return {static_cast<int>((pixel >> 16) & 0xFF), static_cast<int>((pixel >> 8) & 0xFF),
            static_cast<int>(pixel & 0xFF), 255};
}

std::vector<ScreenWindow> XDisplay::Windows() const {
    std::vector<ScreenWindow> windows;
    if (!m_connection)
        return windows;
    const auto previousHandler = XSetErrorHandler(IgnoreXErrors);
    Window root = 0, parent = 0;
    Window* children = nullptr;
    unsigned int count = 0;
    if (!XQueryTree(m_connection, DefaultRootWindow(m_connection), &root, &parent, &children, &count)) {
        XSetErrorHandler(previousHandler);
        return windows;
    }
    for (unsigned int i = 0; i < count; ++i) {
        XWindowAttributes attributes{};
        if (!XGetWindowAttributes(m_connection, children[i], &attributes) || attributes.map_state != IsViewable ||
            attributes.c_class != InputOutput)
            continue;
        const Window program = ProgramWindow(m_connection, children[i]);
        if (program != children[i] && !XGetWindowAttributes(m_connection, program, &attributes))
            continue;
        ScreenWindow window;
        window.id = program;
        Window child = 0;
        XTranslateCoordinates(m_connection, program, root, 0, 0, &window.x, &window.y, &child);
        window.width = attributes.width;
        window.height = attributes.height;
        window.title = TextProperty(m_connection, program, "_NET_WM_NAME", "UTF8_STRING");
        if (window.title.empty())
            window.title = TextProperty(m_connection, program, "WM_NAME", nullptr);
        window.pid = PidProperty(m_connection, program);
        Window transientFor = 0;
        if (XGetTransientForHint(m_connection, program, &transientFor))
            window.transientFor = transientFor;
        window.states = StateNames(m_connection, program);
        windows.push_back(std::move(window));
    }
    if (children)
        XFree(children);
    XSync(m_connection, False);
    XSetErrorHandler(previousHandler);
    return windows;
}

unsigned long XDisplay::ActiveWindow() const {
    return m_connection ? WindowProperty(m_connection, DefaultRootWindow(m_connection), "_NET_ACTIVE_WINDOW") : 0;
}

}  // namespace testsupport
