// Shared by the mouse input tests: a dialog-like window with one push button
// that records what reaches the button, and settling injected input.
#pragma once

#include "platform/conformance/window_test_helpers.h"

#include <algorithm>
#include <memory>
#include <vector>

namespace window_test {

inline constexpr UINT kSettleMarker = WM_USER + 50;
inline constexpr int kButtonId = 1006;

// Runs everything queued before it: input injected earlier has then arrived
// (or was never sent).
inline void Settle(HWND hwnd) {
    bool seen = false;
    ASSERT_TRUE(PostMessageW(hwnd, kSettleMarker, 0, 0));
    ASSERT_TRUE(PumpUntil([&] {
        MSG msg;
        while (!seen && PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            seen = msg.message == kSettleMarker;
            DispatchMessageW(&msg);
        }
        return seen;
    }));
}

// A dialog-like window with one push button at (10, 10), 80 x 30.
class MouseTest : public WindowTest {
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

inline constexpr POINT kOnButton{100 + 10 + 20, 100 + 10 + 15};
inline constexpr POINT kOnParent{100 + 200, 100 + 150};
inline constexpr POINT kNowhere{1800, 1000};

}  // namespace window_test
