// The page view with a real browser on a real X server: pages served on
// 127.0.0.1 call the external object, show message boxes, fail to load and
// get right-clicked; the screen is read back. Each case runs in a process of
// its own under CTest, so the display stays with these cases.
#include "ui/web/browser_view.h"

#include "platform/kernel32.h"
#include "platform/linux/display/gtk/gtk_backend.h"
#include "platform/linux/display/headless_backend.h"
#include "platform/text.h"
#include "platform/window_automation.h"
#include "state/launcher_settings.h"
#include "tests/support/loopback_server.h"
#include "tests/support/temp_dir.h"
#include "tests/support/x_display.h"
#include "ui/web/launcher_resource.h"
#include "ui/web/page_messages.h"
#include "ui/web/page_view_test_support.h"

#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include <chrono>
#include <set>
#include <string>
#include <vector>

namespace {

// GTK, WebKit and D-Bus keep one-time allocations and threads of their own
// that the sanitizers report; the display is tested in the plain build.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool kSanitizedBuild = true;
#else
constexpr bool kSanitizedBuild = false;
#endif

constexpr DWORD kPatience = 20000;
// Where the view stands: the host window at (100, 100), the view at (20, 30)
// of it. The browser's own edge lies 2 pixels outside the view.
constexpr POINT kHostAt{100, 100};
constexpr RECT kViewPlace{20, 30, 420, 280};
constexpr POINT kPageOrigin{kHostAt.x + kViewPlace.left - 2, kHostAt.y + kViewPlace.top - 2};

using page_view_test::CommandWindow;

// A colour-keyed window with the placeholder the view replaces, as the
// launcher's page window has.
class HostWindow : public CWnd {
public:
    HostWindow() {
        CreateEx(WS_EX_LAYERED, nullptr, L"page host", WS_POPUP | WS_VISIBLE, kHostAt.x, kHostAt.y, 600, 400, nullptr,
                 nullptr);
        SetLayeredWindowAttributes(m_hWnd, RGB(0, 255, 0), 0, LWA_COLORKEY);
        CreateWindowExW(0, L"Static", L"", WS_CHILD | WS_VISIBLE, kViewPlace.left, kViewPlace.top,
                        kViewPlace.right - kViewPlace.left, kViewPlace.bottom - kViewPlace.top, m_hWnd,
                        reinterpret_cast<HMENU>(static_cast<UINT_PTR>(IDC_WEBVIEW)), nullptr, nullptr);
    }
};

// Finds GTK's own windows while a nested loop (a message box, a menu) runs.
template <typename Test>
GtkWidget* FindToplevel(Test test) {
    GList* windows = gtk_window_list_toplevels();
    GtkWidget* found = nullptr;
    for (GList* item = windows; item && !found; item = item->next) {
        GtkWidget* window = GTK_WIDGET(item->data);
        if (gtk_widget_get_visible(window) && test(window)) {
            found = window;
        }
    }
    g_list_free(windows);
    return found;
}

GtkWidget* OpenMenu() {
    GtkWidget* window = FindToplevel([](GtkWidget* window) {
        GtkWidget* child = gtk_bin_get_child(GTK_BIN(window));
        return child && GTK_IS_MENU(child);
    });
    return window ? gtk_bin_get_child(GTK_BIN(window)) : nullptr;
}

class BrowserOnDisplay : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        if (kSanitizedBuild) {
            return;
        }
        s_display = new testsupport::XDisplay();
        if (!s_display->Started()) {
            return;
        }
        setenv("DISPLAY", s_display->Name().c_str(), 1);
        s_installed = platform::InstallDisplayBackend();
    }

    static void TearDownTestSuite() {
        if (s_installed) {
            platform::SetWindowBackend(std::make_unique<platform::HeadlessBackend>());
            while (g_main_context_iteration(nullptr, FALSE)) {
            }
            gdk_display_close(gdk_display_get_default());
        }
        delete s_display;
        s_display = nullptr;
        s_installed = false;
        unsetenv("DISPLAY");
    }

    void SetUp() override {
        if (kSanitizedBuild) {
            GTEST_SKIP() << "the display is tested in the plain build (GTK's own allocations upset the sanitizers)";
        }
        if (!s_installed) {
            GTEST_SKIP() << "no X server could be started (" << (s_display ? s_display->Problem() : std::string())
                         << ") or GTK could not open it";
        }
        m_previousUrl = g_settings.webUrl;
        GetCurrentDirectoryW(MAX_PATH, m_previousDirectory);
        SetCurrentDirectoryW(platform::FromUtf8(m_folder.Str()).c_str());
    }

    void TearDown() override {
        if (IsSkipped()) {
            return;
        }
        g_settings.webUrl = m_previousUrl;
        SetCurrentDirectoryW(m_previousDirectory);
    }

    // Serves the page and makes it the start page.
    void ServePage(const std::string& html) {
        m_server.SetBody("/page.html", html);
        g_settings.webUrl = platform::FromUtf8(m_server.BaseUrl() + "/page.html");
    }

    static bool Pump(const std::function<bool()>& done) { return platform::RunMessagesUntil(done, kPatience); }

    // Lets the screen catch up for a while, whatever it shows.
    static void Settle(int milliseconds) {
        const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
        platform::RunMessagesUntil([until] { return std::chrono::steady_clock::now() >= until; },
                                   static_cast<DWORD>(milliseconds) + 1000);
    }

    static bool Click(int button, POINT at) {
        testsupport::ProcessStart start;
        start.argv = {"xdotool", "mousemove",           std::to_string(at.x), std::to_string(at.y),
                      "click",   std::to_string(button)};
        const std::optional<int> code = testsupport::RunProcess(start, std::chrono::seconds(10));
        return code && *code == 0;
    }

    std::string ReadLog() const { return testsupport::ReadBytes(m_folder.Path() / "launcher.log"); }

    static testsupport::XDisplay* s_display;
    static bool s_installed;
    testsupport::LoopbackServer m_server;
    testsupport::TempDir m_folder;
    std::wstring m_previousUrl;
    wchar_t m_previousDirectory[MAX_PATH] = L"";
};

testsupport::XDisplay* BrowserOnDisplay::s_display = nullptr;
bool BrowserOnDisplay::s_installed = false;

TEST_F(BrowserOnDisplay, PageCallsReachTheCommandWindowFromEveryFrameAndThroughTheBody) {
    ServePage(R"(<!DOCTYPE html><html><body>
<script>
  window.external.startgame("x");
  window.external.PCVersion("http://127.0.0.1/pc/");
  window.external.STARTGAMEDATA("-a \"b\"");
  // The body carries the object once the document is complete.
  const poll = setInterval(() => {
    if (document.body.external) {
      clearInterval(poll);
      document.body.external.PCVersionData("via body");
    }
  }, 20);
</script>
<iframe srcdoc="<script>window.external.StartGame('from frame')</script>"></iframe>
</body></html>)");
    CommandWindow commands;
    HostWindow host;
    CBrowserView view;
    ASSERT_TRUE(view.CreateInDialog(&host, &commands));
    ASSERT_TRUE(Pump([&] { return commands.commands.size() >= 5; }));

    const std::vector<std::pair<UINT, std::wstring>> inOrder{
        {WM_STARTGAME, L"x"}, {WM_PCVERSION, L"http://127.0.0.1/pc/"}, {WM_STARTGAMEDATA, L"-a \"b\""}};
    std::vector<std::pair<UINT, std::wstring>> fromMain;
    for (const auto& command : commands.commands) {
        if (command.second != L"from frame" && command.second != L"via body") {
            fromMain.push_back(command);
        }
    }
    EXPECT_EQ(fromMain, inOrder);
    const std::set<std::pair<UINT, std::wstring>> all(commands.commands.begin(), commands.commands.end());
    EXPECT_TRUE(all.count({WM_STARTGAME, L"from frame"}));
    EXPECT_TRUE(all.count({WM_PCVERSIONDATA, L"via body"}));
    // The completed document is the view's, and the view is shown.
    EXPECT_NE(view.m_pHtmlDoc, nullptr);
    EXPECT_TRUE(view.IsWindowVisible());
}

TEST_F(BrowserOnDisplay, PageMessageBoxesCarryOurCaption) {
    ServePage(R"(<!DOCTYPE html><html><body><script>
  window.addEventListener('load', () => {
    alert("Realm closed");
    const answer = confirm("Retry?");
    window.external.StartGame(answer ? "confirmed" : "declined");
  });
</script></body></html>)");
    struct Seen {
        std::vector<std::string> titles;
        std::vector<std::string> texts;
    } seen;
    // Answers each box as a player would: OK.
    const guint watcher = g_timeout_add(
        50,
        [](gpointer data) -> gboolean {
            auto& seen = *static_cast<Seen*>(data);
            GtkWidget* box = FindToplevel([](GtkWidget* window) { return GTK_IS_MESSAGE_DIALOG(window); });
            if (box) {
                seen.titles.push_back(gtk_window_get_title(GTK_WINDOW(box)));
                gchar* text = nullptr;
                g_object_get(box, "text", &text, nullptr);
                seen.texts.push_back(text ? text : "");
                g_free(text);
                gtk_dialog_response(GTK_DIALOG(box), IDOK);
            }
            return G_SOURCE_CONTINUE;
        },
        &seen);
    CommandWindow commands;
    HostWindow host;
    CBrowserView view;
    ASSERT_TRUE(view.CreateInDialog(&host, &commands));
    const bool answered = Pump([&] { return !commands.commands.empty(); });
    g_source_remove(watcher);
    ASSERT_TRUE(answered);
    EXPECT_EQ(seen.titles, (std::vector<std::string>{"ORB HTMLVIEW", "ORB HTMLVIEW"}));
    EXPECT_EQ(seen.texts, (std::vector<std::string>{"Realm closed", "Retry?"}));
    EXPECT_EQ(commands.commands.front().second, L"confirmed");
}

TEST_F(BrowserOnDisplay, TheLogHoldsTheLatestNavigationErrorOnly) {
    g_settings.webUrl = platform::FromUtf8(
        "http://127.0.0.1:" + std::to_string(testsupport::LoopbackServer::RefusedPort()) + "/page.html");
    CommandWindow commands;
    HostWindow host;
    CBrowserView view;
    ASSERT_TRUE(view.CreateInDialog(&host, &commands));
    // Nobody listens there: the server is not found.
    ASSERT_TRUE(Pump([&] { return ReadLog().find("Code is -2146697211 \r\n") != std::string::npos; })) << ReadLog();
    // The browser's error page comes in its place; then the next address.
    ASSERT_TRUE(Pump([&] { return view.m_pHtmlDoc != nullptr; }));

    // A server's error status counts as an error with the status as code.
    view.Navigate2(platform::FromUtf8(m_server.BaseUrl() + "/absent.html").c_str());
    ASSERT_TRUE(Pump([&] { return ReadLog().find("Code is 404 \r\n") != std::string::npos; })) << ReadLog();
    const std::string log = ReadLog();
    EXPECT_EQ(log.find('\n'), log.size() - 1) << log;
    EXPECT_EQ(log.rfind(" [", 0), 0u) << log;
}

TEST_F(BrowserOnDisplay, OnlySelectedTextGetsAContextMenu) {
    ServePage(R"(<!DOCTYPE html><html><body style="margin:0">
<img style="position:absolute;left:10px;top:10px;width:60px;height:40px"
     src="data:image/png;base64,iVBORw0KGgoAAAANSUhEUgAAAAEAAAABCAYAAAAfFcSJAAAADUlEQVR42mNk+M9QDwADhgGAWjR9awAAAABJRU5ErkJggg==">
<a href="#elsewhere" style="position:absolute;left:10px;top:80px;font-size:30px">a link</a>
<p id="chosen" style="position:absolute;left:10px;top:150px;margin:0;font-size:30px">chosen words</p>
<script>
  window.addEventListener('load', () => {
    getSelection().selectAllChildren(document.getElementById('chosen'));
    window.external.PCVersion("ready");
  });
</script></body></html>)");
    CommandWindow commands;
    HostWindow host;
    CBrowserView view;
    ASSERT_TRUE(view.CreateInDialog(&host, &commands));
    ASSERT_TRUE(Pump([&] { return !commands.commands.empty(); }));
    Settle(500);

    ASSERT_TRUE(Click(3, POINT{kPageOrigin.x + 40, kPageOrigin.y + 30}));  // the image
    ASSERT_TRUE(Click(3, POINT{kPageOrigin.x + 40, kPageOrigin.y + 97}));  // the link
    Settle(1500);
    EXPECT_EQ(OpenMenu(), nullptr) << "a menu opened over the image or the link";

    ASSERT_TRUE(Click(3, POINT{kPageOrigin.x + 60, kPageOrigin.y + 168}));  // the selection
    ASSERT_TRUE(Pump([] { return OpenMenu() != nullptr; })) << "no text menu over the selection";
    gtk_menu_shell_deactivate(GTK_MENU_SHELL(OpenMenu()));
}

// A page far larger than the view, in one colour.
constexpr char kLargePage[] = R"(<!DOCTYPE html><html><body style="margin:0;background:#3366cc">
<div style="width:3000px;height:3000px"></div>
<script>window.addEventListener('load', () => window.external.PCVersion("ready"));</script>
</body></html>)";

bool IsPageBlue(const testsupport::Rgba& pixel) {
    return testsupport::Near(pixel, testsupport::Rgba{0x33, 0x66, 0xCC, 255}, 6);
}

TEST_F(BrowserOnDisplay, ThePageFillsTheViewWithoutScrollBarsOrBorder) {
    ServePage(kLargePage);
    CommandWindow commands;
    HostWindow host;
    CBrowserView view;
    ASSERT_TRUE(view.CreateInDialog(&host, &commands));
    ASSERT_TRUE(Pump([&] { return !commands.commands.empty(); }));
    const int left = kHostAt.x + kViewPlace.left;
    const int top = kHostAt.y + kViewPlace.top;
    const int right = kHostAt.x + kViewPlace.right - 1;
    const int bottom = kHostAt.y + kViewPlace.bottom - 1;
    ASSERT_TRUE(Pump([&] { return IsPageBlue(s_display->PixelAt(left + 100, top + 100)); }));
    Settle(300);
    const auto shot = s_display->Capture();
    ASSERT_TRUE(shot);
    for (const POINT at : {POINT{left, top}, POINT{right, top}, POINT{left, bottom}, POINT{right, bottom},
                           POINT{right - 4, (top + bottom) / 2}, POINT{(left + right) / 2, bottom - 4}}) {
        EXPECT_TRUE(IsPageBlue(shot->At(at.x, at.y)))
            << at.x << "," << at.y << " " << testsupport::Describe(shot->At(at.x, at.y));
    }
    // Outside the view the key colour lets the screen show through.
    EXPECT_TRUE(testsupport::Near(shot->At(left - 5, top - 5), s_display->Background(), 6))
        << testsupport::Describe(shot->At(left - 5, top - 5));
}

TEST_F(BrowserOnDisplay, AHostThatAllowsScrollingGetsScrollBars) {
    // Scroll bars that stay on screen, not only while the pointer moves.
    setenv("GTK_OVERLAY_SCROLLING", "0", 1);
    ServePage(kLargePage);
    CommandWindow commands;
    HostWindow host;
    CBrowserView view;
    view.m_dwHostFlags = DOCHOSTUIFLAG_NO3DBORDER;
    ASSERT_TRUE(view.CreateInDialog(&host, &commands));
    ASSERT_TRUE(Pump([&] { return !commands.commands.empty(); }));
    const int top = kHostAt.y + kViewPlace.top;
    const int right = kHostAt.x + kViewPlace.right - 1;
    ASSERT_TRUE(Pump([&] { return IsPageBlue(s_display->PixelAt(right - 100, top + 100)); }));
    Settle(300);
    bool scrollBar = false;
    for (int x = right - 16; x <= right && !scrollBar; ++x) {
        scrollBar = !IsPageBlue(s_display->PixelAt(x, top + 100));
    }
    EXPECT_TRUE(scrollBar);
}

}  // namespace
