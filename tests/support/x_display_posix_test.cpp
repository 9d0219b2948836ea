#include "tests/support/x_display.h"

#include "tests/support/temp_dir.h"

// Before Xlib, whose macros (None, Bool) would rename gtest's own names.
#include <gtest/gtest.h>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <memory>
#include <thread>

namespace testsupport {
namespace {

TEST(ColourArithmetic, OverBlendsByAlphaAndNearComparesEveryChannel) {
    const Rgba under{200, 100, 0, 255};
    EXPECT_TRUE(Near(Over({0, 0, 0, 0}, under), under, 0));
    EXPECT_TRUE(Near(Over({10, 20, 30, 255}, under), {10, 20, 30, 255}, 0));
    // Half of each, rounded.
    EXPECT_TRUE(Near(Over({0, 200, 255, 128}, under), {100, 150, 128, 255}, 1));
    EXPECT_TRUE(Near({10, 10, 10, 255}, {13, 7, 10, 255}, 3));
    EXPECT_FALSE(Near({10, 10, 10, 255}, {10, 10, 14, 255}, 3));
    EXPECT_FALSE(Near({10, 10, 10, 255}, {10, 10, 10, 250}, 3));
    EXPECT_EQ(Describe({1, 2, 3, 4}), "rgba(1,2,3,4)");
}

TEST(Picture, AMissingOrBrokenFileIsNoPicture) {
    const TempDir work;
    EXPECT_FALSE(Picture::Load(work.Path() / "missing.png"));
    EXPECT_FALSE(Picture::Load(work.Write("broken.png", "\x89PNG not really")));
}

// The X server is a program of its own; the display's tests run in the
// plain build like the other screen tests.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool kSanitizedBuild = true;
#else
constexpr bool kSanitizedBuild = false;
#endif

class XDisplayTest : public ::testing::Test {
protected:
    void SetUp() override { Start(false); }

    void Start(bool windowManager) {
        if (kSanitizedBuild)
            GTEST_SKIP() << "the X server is tested in the plain build";
        XDisplay::Options options;
        options.width = 320;
        options.height = 200;
        options.background = {0x30, 0x50, 0x70, 255};
        options.windowManager = windowManager;
        display = std::make_unique<XDisplay>(options);
        if (!display->Started())
            GTEST_SKIP() << "no X server could be started: " << display->Problem();
        connection = XOpenDisplay(display->Name().c_str());
        ASSERT_TRUE(connection);
    }
    void TearDown() override {
        if (connection)
            XCloseDisplay(connection);
        connection = nullptr;
        display.reset();
    }

    // A plain window of another program, mapped and drawn.
    Window ShowWindow(int x, int y, int width, int height, unsigned long colour, const char* title) {
        XSetWindowAttributes attributes{};
        attributes.override_redirect = True;
        attributes.background_pixel = colour;
        const Window window =
            XCreateWindow(connection, DefaultRootWindow(connection), x, y, width, height, 0, CopyFromParent,
                          InputOutput, CopyFromParent, CWOverrideRedirect | CWBackPixel, &attributes);
        XStoreName(connection, window, title);
        XMapWindow(connection, window);
        XSync(connection, False);
        return window;
    }

    bool WaitFor(const std::function<bool()>& shown) {
        for (int i = 0; i < 200; ++i) {
            if (shown())
                return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(25));
        }
        return false;
    }

    std::unique_ptr<XDisplay> display;
    Display* connection = nullptr;
};

TEST_F(XDisplayTest, TheScreenShowsTheBackgroundAndWindowsWhereTheyAre) {
    EXPECT_EQ(display->Name().rfind(":", 0), 0u);
    EXPECT_TRUE(display->Composited());
    EXPECT_TRUE(Near(display->PixelAt(5, 5), display->Background(), 0));
    EXPECT_EQ(display->PixelAt(-1, 0).a, -1);
    EXPECT_EQ(display->PixelAt(320, 0).a, -1);

    ShowWindow(40, 30, 50, 20, 0xC08010, "first window");
    const Rgba orange{0xC0, 0x80, 0x10, 255};
    ASSERT_TRUE(WaitFor([&] { return Near(display->PixelAt(40, 30), orange, 0); }));
    EXPECT_TRUE(Near(display->PixelAt(89, 49), orange, 0));
    EXPECT_TRUE(Near(display->PixelAt(90, 49), display->Background(), 0));
    EXPECT_TRUE(Near(display->PixelAt(39, 30), display->Background(), 0));

    const std::vector<ScreenWindow> windows = display->Windows();
    const auto found = std::find_if(windows.begin(), windows.end(),
                                    [](const ScreenWindow& window) { return window.title == "first window"; });
    ASSERT_NE(found, windows.end());
    EXPECT_EQ(found->x, 40);
    EXPECT_EQ(found->y, 30);
    EXPECT_EQ(found->width, 50);
    EXPECT_EQ(found->height, 20);
    EXPECT_EQ(found->pid, 0);
}

class ManagedXDisplayTest : public XDisplayTest {
protected:
    void SetUp() override {
        if (!FindProgram("openbox"))
            GTEST_SKIP() << "openbox is not installed (scripts/setup installs it)";
        Start(true);
    }
};

TEST_F(ManagedXDisplayTest, WindowsAreTheProgramsOwnInsideTheManagersFrames) {
    ASSERT_TRUE(display->Managed()) << display->Problem();
    EXPECT_TRUE(display->Composited());
    // A program's window as the manager gets it, and a dialog of it that
    // asks for no task bar entry.
    const Window main = XCreateSimpleWindow(connection, DefaultRootWindow(connection), 40, 30, 120, 80, 0, 0, 0xC08010);
    XStoreName(connection, main, "main");
    XSizeHints where{};
    where.flags = USPosition;
    where.x = 40;
    where.y = 30;
    XSetWMNormalHints(connection, main, &where);
    const Window dialog =
        XCreateSimpleWindow(connection, DefaultRootWindow(connection), 60, 50, 40, 20, 0, 0, 0x10E040);
    XSetTransientForHint(connection, dialog, main);
    const Atom skip = XInternAtom(connection, "_NET_WM_STATE_SKIP_TASKBAR", False);
    XChangeProperty(connection, dialog, XInternAtom(connection, "_NET_WM_STATE", False), XA_ATOM, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(&skip), 1);
    XMapWindow(connection, main);
    XMapWindow(connection, dialog);
    XSync(connection, False);

    auto find = [&](Window id) -> std::optional<ScreenWindow> {
        for (const ScreenWindow& window : display->Windows())
            if (window.id == id)
                return window;
        return std::nullopt;
    };
    ASSERT_TRUE(WaitFor([&] { return find(main) && find(dialog); }));
    const ScreenWindow shownMain = *find(main);
    EXPECT_EQ(shownMain.title, "main");
    // The program's window, below the title bar of the frame placed at the
    // position it asked for.
    EXPECT_GE(shownMain.x, 40);
    EXPECT_GT(shownMain.y, 30);
    EXPECT_EQ(shownMain.width, 120);
    EXPECT_EQ(shownMain.height, 80);
    EXPECT_EQ(shownMain.transientFor, 0u);
    const ScreenWindow shownDialog = *find(dialog);
    EXPECT_EQ(shownDialog.transientFor, main);
    EXPECT_NE(std::find(shownDialog.states.begin(), shownDialog.states.end(), "_NET_WM_STATE_SKIP_TASKBAR"),
              shownDialog.states.end());
    // Bottom first: the manager keeps the dialog above its main window.
    const std::vector<ScreenWindow> windows = display->Windows();
    auto at = [&](Window id) {
        return std::find_if(windows.begin(), windows.end(), [&](const ScreenWindow& w) { return w.id == id; });
    };
    EXPECT_LT(at(main), at(dialog));
    // The manager answers a click with focus.
    XRaiseWindow(connection, main);
    XSetInputFocus(connection, main, RevertToParent, CurrentTime);
    XSync(connection, False);
    EXPECT_TRUE(WaitFor([&] { return display->ActiveWindow() == main; })) << display->ActiveWindow();
}

TEST_F(XDisplayTest, AScreenshotIsAPngOfTheWholeScreen) {
    ShowWindow(300, 180, 20, 20, 0x10E040, "corner window");
    ASSERT_TRUE(WaitFor([&] { return Near(display->PixelAt(319, 199), {0x10, 0xE0, 0x40, 255}, 0); }));
    const TempDir work;
    const std::filesystem::path file = work.Path() / "shots/screen.png";
    ASSERT_TRUE(display->Screenshot(file));
    const std::optional<Picture> screen = Picture::Load(file);
    ASSERT_TRUE(screen);
    EXPECT_EQ(screen->Width(), 320);
    EXPECT_EQ(screen->Height(), 200);
    EXPECT_TRUE(Near(screen->At(0, 0), display->Background(), 0));
    EXPECT_TRUE(Near(screen->At(319, 199), {0x10, 0xE0, 0x40, 255}, 0));
    EXPECT_TRUE(Near(screen->At(299, 199), display->Background(), 0));
    // Outside the picture: nothing.
    EXPECT_EQ(screen->At(320, 0).a, 0);
}

}  // namespace
}  // namespace testsupport
