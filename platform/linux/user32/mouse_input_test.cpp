// Mouse input as a user gives it: which window gets it, button clicks,
// capture, hover and leave tracking, cursors and the system's window move.
#include "platform/conformance/window_test_helpers.h"

#include <algorithm>

namespace {

using window_test::PumpUntil;
using window_test::TestWindow;
using window_test::WindowTest;

constexpr UINT kMarker = WM_USER + 50;
constexpr int kButtonId = 1006;

// Runs everything queued before it: input injected earlier has then arrived
// (or was never sent).
void Settle(HWND hwnd) {
    bool seen = false;
    ASSERT_TRUE(PostMessageW(hwnd, kMarker, 0, 0));
    ASSERT_TRUE(PumpUntil([&] {
        MSG msg;
        while (!seen && PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            seen = msg.message == kMarker;
            DispatchMessageW(&msg);
        }
        return seen;
    }));
}

// A dialog-like window with one push button at (10, 10), 80 x 30.
class MouseInput : public WindowTest {
protected:
    void SetUp() override {
        m_parent = std::make_unique<TestWindow>(WS_POPUP | WS_VISIBLE, RECT{100, 100, 400, 300});
        m_button = CreateWindowExW(0, L"Button", L"ok", WS_CHILD | WS_VISIBLE, 10, 10, 80, 30, m_parent->hwnd(),
                                   reinterpret_cast<HMENU>(static_cast<UINT_PTR>(kButtonId)), nullptr, nullptr);
        ASSERT_NE(m_button, nullptr);
        // Records what reaches the button, then lets the button class act.
        s_buttonMessages.clear();
        s_buttonProc = reinterpret_cast<WNDPROC>(
            SetWindowLongPtrW(m_button, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&RecordingButtonProc)));
    }
    void TearDown() override {
        platform::InjectMouseUp(POINT{1900, 1000});
        platform::InjectMouseMove(POINT{1900, 1000});
        m_parent.reset();
        WindowTest::TearDown();
    }

    static LRESULT CALLBACK RecordingButtonProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
        s_buttonMessages.push_back({message, wParam, lParam, std::this_thread::get_id()});
        return CallWindowProcW(s_buttonProc, hwnd, message, wParam, lParam);
    }
    static std::size_t ButtonCount(UINT message) {
        return std::count_if(s_buttonMessages.begin(), s_buttonMessages.end(),
                             [message](const window_test::Received& r) { return r.message == message; });
    }
    std::size_t Clicks() const {
        std::size_t clicks = 0;
        for (const auto& command : m_parent->Messages(WM_COMMAND)) {
            clicks += LOWORD(command.wParam) == kButtonId && HIWORD(command.wParam) == BN_CLICKED &&
                      command.lParam == reinterpret_cast<LPARAM>(m_button);
        }
        return clicks;
    }

    std::unique_ptr<TestWindow> m_parent;
    HWND m_button = nullptr;
    static inline std::vector<window_test::Received> s_buttonMessages;
    static inline WNDPROC s_buttonProc = nullptr;
};

const POINT kOnButton{100 + 10 + 20, 100 + 10 + 15};
const POINT kOnParent{100 + 200, 100 + 150};
const POINT kNowhere{1800, 1000};

TEST_F(MouseInput, AClickOnAButtonTellsItsParent) {
    platform::InjectClick(kOnButton);
    ASSERT_TRUE(PumpUntil([&] { return Clicks() == 1; }));
    // The press went to the button in its own client coordinates.
    ASSERT_EQ(ButtonCount(WM_LBUTTONDOWN), 1u);
    const auto down = std::find_if(s_buttonMessages.begin(), s_buttonMessages.end(),
                                   [](const auto& r) { return r.message == WM_LBUTTONDOWN; });
    EXPECT_EQ(down->lParam, MAKELPARAM(20, 15));
    EXPECT_EQ(down->wParam, static_cast<WPARAM>(MK_LBUTTON));
    EXPECT_EQ(m_parent->Count(WM_LBUTTONDOWN), 0u);
    EXPECT_EQ(GetCapture(), nullptr);
}

TEST_F(MouseInput, ReleasingOutsideTheButtonGoesToItThroughTheCaptureWithoutAClick) {
    platform::InjectMouseDown(kOnButton);
    ASSERT_TRUE(PumpUntil([&] { return GetCapture() == m_button; }));
    platform::InjectMouseUp(kOnParent);
    ASSERT_TRUE(PumpUntil([&] { return ButtonCount(WM_LBUTTONUP) == 1; }));
    EXPECT_EQ(m_parent->Count(WM_LBUTTONUP), 0u);
    EXPECT_EQ(Clicks(), 0u);
    EXPECT_EQ(GetCapture(), nullptr);
    // The next press on the parent goes to the parent again.
    platform::InjectMouseDown(kOnParent);
    ASSERT_TRUE(PumpUntil([&] { return m_parent->Count(WM_LBUTTONDOWN) == 1; }));
    platform::InjectMouseUp(kOnParent);
}

TEST_F(MouseInput, HoverComesOnceTheMouseRestsAndLeaveWhenItGoes) {
    m_parent->OnMessage([&](UINT message, WPARAM, LPARAM) -> std::optional<LRESULT> {
        if (message == WM_MOUSEMOVE) {
            TRACKMOUSEEVENT track{sizeof(TRACKMOUSEEVENT), TME_HOVER | TME_LEAVE, m_parent->hwnd(), 1};
            EXPECT_TRUE(TrackMouseEvent(&track));
        }
        return std::nullopt;
    });
    platform::InjectMouseMove(kOnParent);
    ASSERT_TRUE(PumpUntil([&] { return m_parent->Count(WM_MOUSEHOVER) == 1; }));
    EXPECT_EQ(m_parent->Messages(WM_MOUSEHOVER)[0].lParam, MAKELPARAM(200, 150));
    EXPECT_EQ(m_parent->Count(WM_MOUSELEAVE), 0u);

    // Moving onto the child window leaves the parent.
    platform::InjectMouseMove(kOnButton);
    ASSERT_TRUE(PumpUntil([&] { return m_parent->Count(WM_MOUSELEAVE) == 1; }));
    platform::InjectMouseMove(kNowhere);
    Settle(m_parent->hwnd());
    EXPECT_EQ(m_parent->Count(WM_MOUSELEAVE), 1u);  // tracking ended with the first leave

    // Asked for while the mouse is elsewhere, the leave comes at once.
    m_parent->OnMessage(nullptr);
    TRACKMOUSEEVENT track{sizeof(TRACKMOUSEEVENT), TME_LEAVE, m_parent->hwnd(), 0};
    ASSERT_TRUE(TrackMouseEvent(&track));
    ASSERT_TRUE(PumpUntil([&] { return m_parent->Count(WM_MOUSELEAVE) == 2; }));
}

TEST_F(MouseInput, TheParentMayChooseTheCursorOverItsChildren) {
    const HCURSOR hand = LoadCursorW(nullptr, IDC_HAND);
    const HCURSOR arrow = LoadCursorW(nullptr, IDC_ARROW);
    ASSERT_NE(hand, nullptr);
    ASSERT_NE(hand, arrow);
    EXPECT_EQ(LoadCursorW(nullptr, MAKEINTRESOURCEW(12345)), nullptr);
    m_parent->OnMessage([&](UINT message, WPARAM wParam, LPARAM) -> std::optional<LRESULT> {
        if (message == WM_SETCURSOR && reinterpret_cast<HWND>(wParam) == m_button) {
            SetCursor(hand);
            return TRUE;
        }
        return std::nullopt;
    });
    platform::InjectMouseMove(kOnButton);
    ASSERT_TRUE(PumpUntil([&] { return ButtonCount(WM_MOUSEMOVE) == 1; }));
    EXPECT_EQ(GetCursor(), hand);
    platform::InjectMouseMove(kOnParent);
    ASSERT_TRUE(PumpUntil([&] { return m_parent->Count(WM_MOUSEMOVE) == 1; }));
    EXPECT_EQ(GetCursor(), arrow);
}

TEST_F(MouseInput, ADisabledButtonLetsTheClickThroughAndADisabledWindowTakesNone) {
    EnableWindow(m_button, FALSE);
    platform::InjectClick(kOnButton);
    ASSERT_TRUE(PumpUntil([&] { return m_parent->Count(WM_LBUTTONUP) == 1; }));
    EXPECT_EQ(ButtonCount(WM_LBUTTONDOWN), 0u);
    EXPECT_EQ(Clicks(), 0u);

    // The owner of a modal dialog, say.
    EnableWindow(m_parent->hwnd(), FALSE);
    platform::InjectClick(kOnParent);
    Settle(m_parent->hwnd());
    EXPECT_EQ(m_parent->Count(WM_LBUTTONDOWN), 1u);
}

TEST_F(MouseInput, LayeredWindowsAreTransparentWhereTheyShowNothing) {
    // A colour-keyed window over the parent with one child window.
    TestWindow overlay(WS_POPUP | WS_VISIBLE, {100, 100, 400, 300}, nullptr, WS_EX_LAYERED);
    TestWindow view(WS_CHILD | WS_VISIBLE, {150, 100, 250, 180}, overlay.hwnd());
    // Layered, but given nothing to show yet.
    EXPECT_EQ(WindowFromPoint(kOnParent), m_parent->hwnd());
    ASSERT_TRUE(SetLayeredWindowAttributes(overlay.hwnd(), 0x00FF00, 0, LWA_COLORKEY));
    EXPECT_EQ(WindowFromPoint(kOnButton), m_button);
    EXPECT_EQ(WindowFromPoint(POINT{100 + 160, 100 + 110}), view.hwnd());

    // A picture lets the mouse through its fully transparent pixels.
    TestWindow picture(WS_POPUP | WS_VISIBLE, {100, 100, 102, 101}, nullptr, WS_EX_LAYERED);
    window_test::MemoryPicture pixels(300, 200);
    for (int y = 0; y < 200; ++y) {
        for (int x = 0; x < 300; ++x) {
            // The left part of the top row is transparent.
            pixels.At(x, y) = (y == 0 && x < 100) ? 0 : 0xFF336699u;
        }
    }
    SIZE size{300, 200};
    POINT source{0, 0};
    BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
    ASSERT_TRUE(
        UpdateLayeredWindow(picture.hwnd(), nullptr, nullptr, &size, pixels.dc(), &source, 0, &blend, ULW_ALPHA));
    RECT rect{};
    GetWindowRect(picture.hwnd(), &rect);
    EXPECT_EQ(rect.right - rect.left, 300);  // sized to the picture
    EXPECT_EQ(WindowFromPoint(POINT{150, 100}), m_parent->hwnd());
    EXPECT_EQ(WindowFromPoint(POINT{250, 100}), picture.hwnd());
    EXPECT_EQ(WindowFromPoint(POINT{150, 101}), picture.hwnd());
}

TEST_F(MouseInput, TheSystemMoveDragsTheWindowUntilTheButtonGoesUp) {
    m_parent->OnMessage([&](UINT message, WPARAM, LPARAM) -> std::optional<LRESULT> {
        if (message == WM_LBUTTONDOWN) {
            SendMessageW(m_parent->hwnd(), WM_SYSCOMMAND, SC_MOVE | HTCAPTION, 0);
        }
        return std::nullopt;
    });
    platform::InjectMouseDown(kOnParent);
    ASSERT_TRUE(PumpUntil([&] { return m_parent->Count(WM_LBUTTONDOWN) == 1; }));
    platform::InjectMouseMove(POINT{kOnParent.x + 30, kOnParent.y - 40});
    ASSERT_TRUE(PumpUntil([&] { return m_parent->Count(WM_MOVE) == 1; }));
    RECT rect{};
    GetWindowRect(m_parent->hwnd(), &rect);
    EXPECT_EQ(rect.left, 130);
    EXPECT_EQ(rect.top, 60);
    EXPECT_EQ(m_parent->Count(WM_MOUSEMOVE), 0u);  // the move took the mouse

    platform::InjectMouseUp(POINT{kOnParent.x + 30, kOnParent.y - 40});
    platform::InjectMouseMove(POINT{kOnParent.x + 35, kOnParent.y - 40});
    Settle(m_parent->hwnd());
    GetWindowRect(m_parent->hwnd(), &rect);
    EXPECT_EQ(rect.left, 130);
    EXPECT_EQ(m_parent->Count(WM_LBUTTONUP), 0u);
    EXPECT_EQ(m_parent->Count(WM_MOUSEMOVE), 1u);
}

}  // namespace
