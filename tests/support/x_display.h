// An X server of a test's own: Xvfb on a display number it picks itself
// (-displayfd), with xcompmgr compositing so that per-pixel alpha reaches
// the screen as it would on a desktop, and, when asked, openbox managing
// the windows as a desktop's window manager does. The screen can be read
// back pixel by pixel or saved as a PNG file.
#pragma once

#include "platform/layered_picture.h"
#include "tests/support/temp_dir.h"
#include "tests/support/test_process.h"

#include <sys/types.h>

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

struct _XDisplay;

namespace testsupport {

// A colour as it shows, not premultiplied; alpha is 255 on the screen.
struct Rgba {
    int r = 0, g = 0, b = 0, a = 255;
};

// Whether two colours are within `tolerance` of each other in every
// channel, alpha included.
bool Near(const Rgba& left, const Rgba& right, int tolerance);
// `top` drawn over an opaque `bottom`, as a compositor blends them.
Rgba Over(const Rgba& top, const Rgba& bottom);
std::string Describe(const Rgba& colour);

// A picture in memory, read from a PNG file or taken from the screen.
class Picture {
public:
    // Nothing when the file is missing or not a PNG file.
    static std::optional<Picture> Load(const std::filesystem::path& png);

    int Width() const;
    int Height() const;
    // Transparent black outside the picture.
    Rgba At(int x, int y) const;
    // Writes the picture as a PNG file, creating its folder; false on failure.
    bool Save(const std::filesystem::path& png) const;

private:
    friend class XDisplay;
    explicit Picture(platform::LayeredPicture pixels);

    platform::LayeredPicture m_pixels;
};

// A program's top-level window as the X server sees it; under a window
// manager, the program's own window inside the manager's frame.
struct ScreenWindow {
    unsigned long id = 0;
    int x = 0, y = 0, width = 0, height = 0;
    std::string title;                // _NET_WM_NAME, else WM_NAME; UTF-8
    pid_t pid = 0;                    // _NET_WM_PID, 0 when not set
    unsigned long transientFor = 0;   // WM_TRANSIENT_FOR, 0 when not set
    std::vector<std::string> states;  // the names in _NET_WM_STATE
};

class XDisplay {
public:
    struct Options {
        int width = 1024;
        int height = 768;
        // Shown wherever no window is; a colour no launcher picture uses
        // makes transparency visible.
        Rgba background{0x20, 0x60, 0x70, 255};
        bool compositor = true;
        // openbox frames the windows, focuses and raises what is clicked,
        // and minimises and restores on request.
        bool windowManager = false;
    };

    // Never throws: when no server can be started, Started() is false and
    // Problem() says why; so it does when a manager asked for is missing.
    explicit XDisplay(const Options& options);
    XDisplay() : XDisplay(Options{}) {}
    // Closes its own connection before the server goes.
    ~XDisplay();
    XDisplay(const XDisplay&) = delete;
    XDisplay& operator=(const XDisplay&) = delete;

    bool Started() const { return m_connection != nullptr; }
    const std::string& Problem() const { return m_problem; }
    // ":N", for DISPLAY.
    const std::string& Name() const { return m_name; }
    // True once the compositor owns the screen, so alpha is blended.
    bool Composited() const { return m_composited; }
    // True once the window manager owns the screen.
    bool Managed() const { return m_managed; }
    int Width() const { return m_options.width; }
    int Height() const { return m_options.height; }
    const Rgba& Background() const { return m_options.background; }

    // The whole screen as it is now; nothing when it cannot be read.
    std::optional<Picture> Capture() const;
    // Capture() saved as a PNG file.
    bool Screenshot(const std::filesystem::path& png) const;
    // One pixel of the screen as it is now; alpha -1 when it cannot be read.
    Rgba PixelAt(int x, int y) const;
    // The mapped top-level windows, bottom first.
    std::vector<ScreenWindow> Windows() const;
    // The window the window manager has made the active one; 0 for none.
    unsigned long ActiveWindow() const;

private:
    bool StartServer();
    void PaintBackground();
    bool StartCompositor();
    bool StartWindowManager();
    // True once a window mapped now is shown by the manager.
    bool ManagesWindows() const;
    // Starts a program on this display and waits until it owns `selection`,
    // as managers announce themselves.
    std::unique_ptr<TestProcess> StartOwnerOf(const char* selection, ProcessStart start);

    Options m_options;
    std::string m_problem;
    std::string m_name;
    bool m_composited = false;
    bool m_managed = false;
    std::unique_ptr<TestProcess> m_server;
    std::unique_ptr<TestProcess> m_compositor;
    // openbox's settings, log and sessions stay out of the user's folders.
    std::unique_ptr<TempDir> m_managerHome;
    std::unique_ptr<TestProcess> m_windowManager;
    _XDisplay* m_connection = nullptr;
};

}  // namespace testsupport
