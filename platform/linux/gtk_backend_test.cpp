// The GTK backend on a real X server: Xvfb on a display number it picks
// itself, with a compositor for real alpha when one is installed. The screen
// is read back with XGetImage.
#include "platform/linux/gtk_backend.h"

#include "platform/linux/headless_backend.h"
#include "platform/linux/window_test_helpers.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <functional>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace {

using window_test::MemoryPicture;
using window_test::TestWindow;

// A child process, ended (and reaped) with the object.
class ChildProcess {
public:
    // keepFd stays open in the child; -1 for none.
    ChildProcess(std::vector<std::string> argv, int keepFd, const std::string& display) {
        m_pid = fork();
        if (m_pid == 0) {
            if (!display.empty()) {
                setenv("DISPLAY", display.c_str(), 1);
            }
            for (int fd = 3; fd < 256; ++fd) {
                if (fd != keepFd) {
                    close(fd);
                }
            }
            std::vector<char*> args;
            for (std::string& arg : argv) {
                args.push_back(arg.data());
            }
            args.push_back(nullptr);
            execvp(args[0], args.data());
            _exit(127);
        }
    }
    ~ChildProcess() {
        if (m_pid > 0) {
            kill(m_pid, SIGTERM);
            waitpid(m_pid, nullptr, 0);
        }
    }
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    bool Started() const { return m_pid > 0; }

private:
    pid_t m_pid = -1;
};

// Xvfb reports the display it took on a pipe; nothing when it cannot start.
std::optional<std::string> ReadDisplayNumber(int fd) {
    std::string number;
    pollfd wait{fd, POLLIN, 0};
    while (poll(&wait, 1, 20000) == 1) {
        char c = 0;
        if (read(fd, &c, 1) != 1) {
            break;
        }
        if (c == '\n') {
            return number.empty() ? std::nullopt : std::optional<std::string>(":" + number);
        }
        number += c;
    }
    return std::nullopt;
}

struct Rgb {
    int r, g, b;
};

class GtkDisplay : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        int fds[2];
        if (pipe(fds) != 0) {
            return;
        }
        s_server = new ChildProcess({"Xvfb", "-displayfd", std::to_string(fds[1]), "-screen", "0", "640x480x24", "-br",
                                     "-nolisten", "tcp"},
                                    fds[1], "");
        close(fds[1]);
        const std::optional<std::string> display = ReadDisplayNumber(fds[0]);
        close(fds[0]);
        if (!display) {
            return;
        }
        s_compositor = new ChildProcess({"xcompmgr", "-n"}, -1, *display);
        setenv("DISPLAY", display->c_str(), 1);
        s_screen = XOpenDisplay(display->c_str());
        s_installed = s_screen && platform::InstallDisplayBackend();
    }

    static void TearDownTestSuite() {
        // The backend and GTK's connection go before the server does, or GDK
        // would end the process on the lost connection.
        if (s_installed) {
            platform::SetWindowBackend(std::make_unique<platform::HeadlessBackend>());
            gdk_display_close(gdk_display_get_default());
        }
        if (s_screen) {
            XCloseDisplay(s_screen);
        }
        delete s_compositor;
        delete s_server;
        unsetenv("DISPLAY");
        s_installed = false;
        s_screen = nullptr;
        s_compositor = nullptr;
        s_server = nullptr;
    }

    void SetUp() override {
        if (!s_installed) {
            GTEST_SKIP() << "no X server could be started (Xvfb -displayfd) or GTK could not open it";
        }
    }

    static Rgb PixelAt(int x, int y) {
        XImage* image = XGetImage(s_screen, DefaultRootWindow(s_screen), x, y, 1, 1, AllPlanes, ZPixmap);
        if (!image) {
            return {-1, -1, -1};
        }
        const unsigned long pixel = XGetPixel(image, 0, 0);
        XDestroyImage(image);
        return {static_cast<int>((pixel >> 16) & 0xFF), static_cast<int>((pixel >> 8) & 0xFF),
                static_cast<int>(pixel & 0xFF)};
    }

    // Lets GTK and the compositor work until the screen shows what is asked
    // for; false when it never does.
    static bool WaitForScreen(const std::function<bool()>& shown) {
        for (int round = 0; round < 200; ++round) {
            while (g_main_context_iteration(nullptr, FALSE)) {
            }
            gdk_display_sync(gdk_display_get_default());
            if (shown()) {
                return true;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        return false;
    }

    static bool Near(int value, int expected) { return std::abs(value - expected) <= 10; }

    static inline ChildProcess* s_server = nullptr;
    static inline ChildProcess* s_compositor = nullptr;
    static inline Display* s_screen = nullptr;
    static inline bool s_installed = false;
};

TEST_F(GtkDisplay, ALayeredWindowShowsItsPictureWithItsAlphaWhereItIs) {
    const Rgb background = PixelAt(600, 440);
    ASSERT_GE(background.r, 0);

    // A half-transparent red square in the middle of a transparent picture.
    constexpr int kWidth = 60;
    constexpr int kHeight = 40;
    MemoryPicture bitmap(kWidth, kHeight);
    for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kWidth; ++x) {
            const bool square = x >= 20 && x < 40 && y >= 10 && y < 30;
            bitmap.At(x, y) = square ? 0x80800000u : 0x00000000u;  // premultiplied
        }
    }
    TestWindow window(WS_POPUP, {0, 0, 10, 10}, nullptr, WS_EX_LAYERED);
    POINT destination{100, 80};
    SIZE size{kWidth, kHeight};
    POINT source{0, 0};
    BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
    ASSERT_TRUE(UpdateLayeredWindow(window.hwnd(), nullptr, &destination, &size, bitmap.dc(), &source, 0, &blend,
                                    ULW_ALPHA));
    ShowWindow(window.hwnd(), SW_SHOWNOACTIVATE);

    // Half of the red over half of what is behind (all of it without a
    // compositor, where the background is black).
    const Rgb expected{128 + background.r / 2, background.g / 2, background.b / 2};
    auto squareShown = [&] {
        const Rgb pixel = PixelAt(100 + 30, 80 + 20);
        return Near(pixel.r, expected.r) && Near(pixel.g, expected.g) && Near(pixel.b, expected.b);
    };
    EXPECT_TRUE(WaitForScreen(squareShown)) << "red " << PixelAt(130, 100).r << " green " << PixelAt(130, 100).g;
    // Its corners are exactly where the window is.
    const Rgb inside = PixelAt(100 + 20, 80 + 10);
    EXPECT_TRUE(Near(inside.r, expected.r) && Near(inside.g, expected.g));
    const Rgb beside = PixelAt(100 + 19, 80 + 10);
    const Rgb above = PixelAt(100 + 20, 80 + 9);
    EXPECT_TRUE(Near(beside.r, background.r) && Near(beside.g, background.g)) << "left of the square";
    EXPECT_TRUE(Near(above.r, background.r) && Near(above.g, background.g)) << "above the square";
    // The transparent part of the picture shows what is behind.
    const Rgb clear = PixelAt(100 + 2, 80 + 2);
    EXPECT_TRUE(Near(clear.r, background.r) && Near(clear.g, background.g) && Near(clear.b, background.b));

    ShowWindow(window.hwnd(), SW_HIDE);
    EXPECT_TRUE(WaitForScreen([&] {
        const Rgb pixel = PixelAt(130, 100);
        return Near(pixel.r, background.r) && Near(pixel.g, background.g) && Near(pixel.b, background.b);
    }));
}

TEST_F(GtkDisplay, TheWorkAreaIsTheScreens) {
    RECT work{};
    ASSERT_TRUE(SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0));
    EXPECT_EQ(work.left, 0);
    EXPECT_EQ(work.top, 0);
    EXPECT_EQ(work.right, 640);
    EXPECT_EQ(work.bottom, 480);
}

}  // namespace
