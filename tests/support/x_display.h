// An X server of a test's own: Xvfb on a display number it picks itself
// (-displayfd), with xcompmgr compositing so that per-pixel alpha reaches
// the screen as it would on a desktop. The screen can be read back pixel by
// pixel or saved as a PNG file.
#pragma once

#include "platform/layered_picture.h"
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

// A top-level window as the X server sees it.
struct ScreenWindow {
    unsigned long id = 0;
    int x = 0, y = 0, width = 0, height = 0;
    std::string title;  // _NET_WM_NAME, else WM_NAME; UTF-8
    pid_t pid = 0;      // _NET_WM_PID, 0 when not set
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
    };

    // Never throws: when no server can be started, Started() is false and
    // Problem() says why.
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

private:
    bool StartServer();
    void PaintBackground();
    bool StartCompositor();

    Options m_options;
    std::string m_problem;
    std::string m_name;
    bool m_composited = false;
    std::unique_ptr<TestProcess> m_server;
    std::unique_ptr<TestProcess> m_compositor;
    _XDisplay* m_connection = nullptr;
};

}  // namespace testsupport
