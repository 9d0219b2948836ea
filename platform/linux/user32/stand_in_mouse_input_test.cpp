// Mouse input as the stand-in gives it where Windows under Wine differs:
// hover and leave tracking, cursors, layered windows' transparency and the
// system's window move. Each case says why.
#include "platform/conformance/mouse_test_helpers.h"

namespace {

using window_test::kNowhere;
using window_test::kOnButton;
using window_test::kOnParent;
using window_test::PumpUntil;
using window_test::Settle;
using window_test::TestWindow;

using StandInMouseInput = window_test::MouseTest;

// Linux only: under Wine no WM_MOUSEHOVER comes on its virtual desktop.
TEST_F(StandInMouseInput, HoverComesOnceTheMouseRestsAndLeaveWhenItGoes) {
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

// Linux only: over a window whose class has no cursor the stand-in shows the
// arrow; Windows keeps the cursor last set.
TEST_F(StandInMouseInput, TheParentMayChooseTheCursorOverItsChildren) {
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

// Linux only: Wine's WindowFromPoint finds a layered window where it shows
// nothing.
TEST_F(StandInMouseInput, LayeredWindowsAreTransparentWhereTheyShowNothing) {
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

// Linux only: on Windows the system move is a modal loop inside
// SendMessageW, which input injected from the same thread never reaches.
TEST_F(StandInMouseInput, TheSystemMoveDragsTheWindowUntilTheButtonGoesUp) {
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
