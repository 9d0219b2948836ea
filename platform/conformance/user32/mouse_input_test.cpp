// Mouse input as a user gives it: which window gets a click, capture, and
// disabled windows.
#include "platform/conformance/mouse_test_helpers.h"

namespace {

using window_test::kOnButton;
using window_test::kOnParent;
using window_test::PumpUntil;
using window_test::Settle;

using MouseInput = window_test::MouseTest;

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

}  // namespace
