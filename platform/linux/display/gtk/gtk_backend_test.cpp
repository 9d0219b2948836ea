// The GTK backend on a real X server: Xvfb on a display number it picks
// itself, with a compositor for real alpha when one is installed. The screen
// is read back with XGetImage.
#include "platform/linux/display/gtk/gtk_backend.h"

#include "platform/conformance/window_test_helpers.h"
#include "platform/linux/display/headless_backend.h"
#include "tests/support/x_display.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace {

using window_test::MemoryPicture;
using window_test::TestWindow;

// Runs a program to its end; true when it succeeded.
bool RunProgram(std::vector<std::string> argv) {
    testsupport::ProcessStart start;
    start.argv = std::move(argv);
    const std::optional<int> exitCode = testsupport::RunProcess(start, std::chrono::seconds(30));
    return exitCode && *exitCode == 0;
}

struct Rgb {
    int r, g, b;
};

// GTK, GDK and D-Bus keep one-time allocations and threads of their own that
// the sanitizers report as leaks and races outside our code; the display is
// tested in the plain build.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool kSanitizedBuild = true;
#else
constexpr bool kSanitizedBuild = false;
#endif

class GtkDisplay : public ::testing::Test {
protected:
    static void SetUpTestSuite() { StartDisplay(false); }

    static void StartDisplay(bool windowManager) {
        if (kSanitizedBuild) {
            return;
        }
        testsupport::XDisplay::Options options;
        options.width = 640;
        options.height = 480;
        options.background = {0, 0, 0, 255};
        options.windowManager = windowManager;
        s_display = new testsupport::XDisplay(options);
        if (!s_display->Started()) {
            return;
        }
        setenv("DISPLAY", s_display->Name().c_str(), 1);
        s_screen = XOpenDisplay(s_display->Name().c_str());
        s_installed = s_screen && platform::InstallDisplayBackend();
    }

    static void TearDownTestSuite() {
        // The backend and GTK's connection go before the server does, or GDK
        // would end the process on the lost connection.
        if (s_installed) {
            platform::SetWindowBackend(std::make_unique<platform::HeadlessBackend>());
            while (g_main_context_iteration(nullptr, FALSE)) {
            }
            gdk_display_close(gdk_display_get_default());
        }
        if (s_screen) {
            XCloseDisplay(s_screen);
        }
        delete s_display;
        unsetenv("DISPLAY");
        s_installed = false;
        s_screen = nullptr;
        s_display = nullptr;
    }

    void SetUp() override {
        if (kSanitizedBuild) {
            GTEST_SKIP() << "the display is tested in the plain build (GTK's own allocations upset the sanitizers)";
        }
        if (!s_installed) {
            GTEST_SKIP() << "no X server could be started (Xvfb -displayfd: "
                         << (s_display ? s_display->Problem() : std::string()) << ") or GTK could not open it";
        }
    }

    static Rgb PixelAt(int x, int y) {
        const testsupport::Rgba pixel = s_display->PixelAt(x, y);
        if (pixel.a < 0) {
            return {-1, -1, -1};
        }
        return {pixel.r, pixel.g, pixel.b};
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

    // A 60 x 40 layered window at (100, 80), shown: a half-transparent red
    // square at (20, 10)-(40, 30) of its picture, transparent elsewhere.
    static std::unique_ptr<TestWindow> ShowSquareWindow() {
        MemoryPicture bitmap(kWidth, kHeight);
        for (int y = 0; y < kHeight; ++y) {
            for (int x = 0; x < kWidth; ++x) {
                const bool square = x >= 20 && x < 40 && y >= 10 && y < 30;
                bitmap.At(x, y) = square ? 0x80800000u : 0x00000000u;  // premultiplied
            }
        }
        auto window = std::make_unique<TestWindow>(WS_POPUP, RECT{0, 0, 10, 10}, nullptr, WS_EX_LAYERED);
        POINT destination{kLeft, kTop};
        SIZE size{kWidth, kHeight};
        POINT source{0, 0};
        BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
        EXPECT_TRUE(UpdateLayeredWindow(window->hwnd(), nullptr, &destination, &size, bitmap.dc(), &source, 0, &blend,
                                        ULW_ALPHA));
        ShowWindow(window->hwnd(), SW_SHOWNOACTIVATE);
        return window;
    }

    // The mouse as a user moves it, through the X server.
    static bool Mouse(std::vector<std::string> actions) {
        actions.insert(actions.begin(), "xdotool");
        return RunProgram(std::move(actions));
    }

    static constexpr int kLeft = 100;
    static constexpr int kTop = 80;
    static constexpr int kWidth = 60;
    static constexpr int kHeight = 40;

    static bool Near(int value, int expected) { return std::abs(value - expected) <= 10; }

    static inline testsupport::XDisplay* s_display = nullptr;
    static inline Display* s_screen = nullptr;
    static inline bool s_installed = false;
};

TEST_F(GtkDisplay, ALayeredWindowShowsItsPictureWithItsAlphaWhereItIs) {
    const Rgb background = PixelAt(600, 440);
    ASSERT_GE(background.r, 0);

    const auto window = ShowSquareWindow();

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

    ShowWindow(window->hwnd(), SW_HIDE);
    EXPECT_TRUE(WaitForScreen([&] {
        const Rgb pixel = PixelAt(130, 100);
        return Near(pixel.r, background.r) && Near(pixel.g, background.g) && Near(pixel.b, background.b);
    }));
}

TEST_F(GtkDisplay, ClicksReachTheWindowOnlyWhereItsPictureIsNotTransparent) {
    // Another program's window behind it gets the clicks that pass through.
    const Window behind =
        XCreateSimpleWindow(s_screen, DefaultRootWindow(s_screen), kLeft, kTop, kWidth, kHeight, 0, 0, 0);
    const std::unique_ptr<void, std::function<void(void*)>> destroyBehind(
        s_screen, [behind](void*) { XDestroyWindow(s_screen, behind); });
    XSelectInput(s_screen, behind, ButtonPressMask);
    XMapWindow(s_screen, behind);
    XSync(s_screen, False);
    const auto window = ShowSquareWindow();
    ASSERT_TRUE(WaitForScreen([] { return PixelAt(kLeft + 30, kTop + 20).r > PixelAt(kLeft + 2, kTop + 2).r; }));

    // A click on the transparent corner goes to what is behind; the one on
    // the square comes after it, so once that has arrived the first would have.
    ASSERT_TRUE(Mouse({"mousemove", std::to_string(kLeft + 3), std::to_string(kTop + 3), "click", "1"}));
    ASSERT_TRUE(Mouse({"mousemove", std::to_string(kLeft + 25), std::to_string(kTop + 15), "click", "1"}));
    ASSERT_TRUE(platform::RunMessagesUntil([&] { return window->Count(WM_LBUTTONUP) > 0; }, window_test::kPatience));
    const auto downs = window->Messages(WM_LBUTTONDOWN);
    ASSERT_EQ(downs.size(), 1u);
    EXPECT_EQ(GET_X_LPARAM(downs[0].lParam), 25);
    EXPECT_EQ(GET_Y_LPARAM(downs[0].lParam), 15);
    EXPECT_GT(window->Count(WM_MOUSEMOVE), 0u);
    XSync(s_screen, False);
    XEvent press{};
    ASSERT_TRUE(XCheckTypedWindowEvent(s_screen, behind, ButtonPress, &press))
        << "the corner click did not pass through";
    EXPECT_EQ(press.xbutton.x, 3);
    EXPECT_EQ(press.xbutton.y, 3);
    EXPECT_FALSE(XCheckTypedWindowEvent(s_screen, behind, ButtonPress, &press)) << "the square's click passed through";
}

TEST_F(GtkDisplay, TheSystemMoveDragsTheWindowWithTheMouse) {
    const auto window = ShowSquareWindow();
    window->OnMessage([&](UINT message, WPARAM, LPARAM) -> std::optional<LRESULT> {
        if (message == WM_LBUTTONDOWN) {
            SendMessageW(window->hwnd(), WM_SYSCOMMAND, SC_MOVE | HTCAPTION, 0);
        }
        return std::nullopt;
    });
    ASSERT_TRUE(WaitForScreen([] { return PixelAt(kLeft + 30, kTop + 20).r > PixelAt(kLeft + 2, kTop + 2).r; }));

    ASSERT_TRUE(Mouse({"mousemove", std::to_string(kLeft + 30), std::to_string(kTop + 20), "mousedown", "1"}));
    ASSERT_TRUE(platform::RunMessagesUntil([&] { return window->Count(WM_LBUTTONDOWN) > 0; }, window_test::kPatience));
    ASSERT_TRUE(Mouse({"mousemove", std::to_string(kLeft + 60), std::to_string(kTop + 40), "mousemove",
                       std::to_string(kLeft + 80), std::to_string(kTop + 50), "mouseup", "1"}));
    RECT rect{};
    EXPECT_TRUE(platform::RunMessagesUntil(
        [&] { return GetWindowRect(window->hwnd(), &rect) && rect.left == kLeft + 50 && rect.top == kTop + 30; },
        window_test::kPatience))
        << "window at " << rect.left << "," << rect.top;
    // The picture went along.
    EXPECT_TRUE(WaitForScreen([] { return PixelAt(kLeft + 80, kTop + 50).r > PixelAt(kLeft + 52, kTop + 32).r; }));
}

// The same under a window manager, which minimises and restores windows
// when a task bar or a key asks.
class GtkManagedDisplay : public GtkDisplay {
protected:
    static void SetUpTestSuite() { StartDisplay(true); }

    void SetUp() override {
        if (!testsupport::FindProgram("openbox")) {
            GTEST_SKIP() << "openbox is not installed (scripts/setup installs it)";
        }
        GtkDisplay::SetUp();
        if (!IsSkipped()) {
            ASSERT_TRUE(s_display->Managed()) << s_display->Problem();
        }
    }

    // The program's window the manager shows at a place; 0 when none is.
    static unsigned long ShownAt(int x, int y) {
        for (const testsupport::ScreenWindow& window : s_display->Windows()) {
            if (window.x == x && window.y == y) {
                return window.id;
            }
        }
        return 0;
    }
};

TEST_F(GtkManagedDisplay, TheManagersMinimiseAndRestoreTakeTheOwnedWindowsAlong) {
    const auto owner = ShowSquareWindow();
    TestWindow owned(WS_POPUP, RECT{300, 200, 340, 230}, owner->hwnd(), WS_EX_LAYERED);
    ASSERT_TRUE(SetLayeredWindowAttributes(owned.hwnd(), 0, 255, LWA_ALPHA));
    ShowWindow(owned.hwnd(), SW_SHOWNOACTIVATE);
    unsigned long ownerWindow = 0;
    ASSERT_TRUE(WaitForScreen([&] {
        ownerWindow = ShownAt(kLeft, kTop);
        return ownerWindow != 0 && ShownAt(300, 200) != 0;
    }));

    // Minimised as a task bar asks (ICCCM's WM_CHANGE_STATE): the window
    // learns of it, and its owned window goes with it.
    XIconifyWindow(s_screen, ownerWindow, DefaultScreen(s_screen));
    XFlush(s_screen);
    EXPECT_TRUE(platform::RunMessagesUntil([&] { return IsIconic(owner->hwnd()) && !IsWindowVisible(owned.hwnd()); },
                                           window_test::kPatience));
    EXPECT_TRUE(owner->Count(WM_SIZE) > 0 && owner->Messages(WM_SIZE).back().wParam == SIZE_MINIMIZED);
    EXPECT_TRUE(WaitForScreen([] { return ShownAt(300, 200) == 0; }));

    // Restored as a task bar asks: both come back.
    ASSERT_TRUE(RunProgram({"xdotool", "windowactivate", std::to_string(ownerWindow)}));
    EXPECT_TRUE(platform::RunMessagesUntil([&] { return !IsIconic(owner->hwnd()) && IsWindowVisible(owned.hwnd()); },
                                           window_test::kPatience));
    EXPECT_TRUE(WaitForScreen([] { return ShownAt(300, 200) != 0; }));
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
