// Visibility from another thread, enabled state, placement and
// destruction.
#include "platform/conformance/window_test_helpers.h"

#include <atomic>

namespace {

using window_test::PumpUntil;
using window_test::StartThread;
using window_test::TestWindow;
using window_test::WindowTest;

using WindowState = WindowTest;

constexpr UINT kMarker = WM_USER + 40;

TEST_F(WindowState, ShowWindowFromAWorkerIsMadeOnTheWindowThreadInOrderWithItsPosts) {
    TestWindow window;
    std::atomic<bool> visibleAtMarker{false};
    window.OnMessage([&](UINT message, WPARAM, LPARAM) -> std::optional<LRESULT> {
        if (message == kMarker) {
            visibleAtMarker = IsWindowVisible(window.hwnd()) != FALSE;
        }
        return std::nullopt;
    });
    std::atomic<BOOL> previous{-1};
    ASSERT_NE(StartThread([&] {
                  previous = ShowWindow(window.hwnd(), SW_SHOW);
                  PostMessageW(window.hwnd(), kMarker, 0, 0);
                  return DWORD{0};
              }),
              nullptr);
    ASSERT_TRUE(PumpUntil([&] { return window.Count(kMarker) == 1; }));
    EXPECT_EQ(previous.load(), FALSE);
    EXPECT_TRUE(visibleAtMarker);
    const auto shown = window.Messages(WM_SHOWWINDOW);
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].wParam, static_cast<WPARAM>(TRUE));
    EXPECT_EQ(shown[0].thread, std::this_thread::get_id());

    HANDLE thread = StartThread([&] {
        previous = ShowWindow(window.hwnd(), SW_HIDE);
        return DWORD{0};
    });
    ASSERT_NE(thread, nullptr);
    ASSERT_TRUE(PumpUntil([&] { return !IsWindowVisible(window.hwnd()); }));
    ASSERT_EQ(WaitForSingleObject(thread, window_test::kPatience), WAIT_OBJECT_0);
    CloseHandle(thread);
    EXPECT_EQ(previous.load(), TRUE);
}

TEST_F(WindowState, EnableWindowSendsWmEnableOnlyWhenTheStateChanges) {
    TestWindow window;
    EXPECT_FALSE(EnableWindow(window.hwnd(), TRUE));  // it was not disabled
    EXPECT_EQ(window.Count(WM_ENABLE), 0u);

    EXPECT_FALSE(EnableWindow(window.hwnd(), FALSE));
    EXPECT_FALSE(IsWindowEnabled(window.hwnd()));
    EXPECT_TRUE(GetWindowLongW(window.hwnd(), GWL_STYLE) & WS_DISABLED);
    EXPECT_TRUE(EnableWindow(window.hwnd(), FALSE));  // it was disabled already
    ASSERT_EQ(window.Count(WM_ENABLE), 1u);
    EXPECT_EQ(window.Messages(WM_ENABLE)[0].wParam, static_cast<WPARAM>(FALSE));

    // From another thread the message still comes on the window's thread.
    std::atomic<BOOL> wasDisabled{FALSE};
    HANDLE thread = StartThread([&] {
        wasDisabled = EnableWindow(window.hwnd(), TRUE);
        return DWORD{0};
    });
    ASSERT_NE(thread, nullptr);
    ASSERT_TRUE(PumpUntil([&] { return window.Count(WM_ENABLE) == 2; }));
    ASSERT_EQ(WaitForSingleObject(thread, window_test::kPatience), WAIT_OBJECT_0);
    CloseHandle(thread);
    EXPECT_TRUE(wasDisabled.load());
    EXPECT_TRUE(IsWindowEnabled(window.hwnd()));
    const auto enabled = window.Messages(WM_ENABLE);
    ASSERT_EQ(enabled.size(), 2u);
    EXPECT_EQ(enabled[1].wParam, static_cast<WPARAM>(TRUE));
    EXPECT_EQ(enabled[1].thread, std::this_thread::get_id());
}

TEST_F(WindowState, PlacementUsesTheClientAreaOfTheFrameAndOfTheParent) {
    // A caption adds a 3-pixel dialog frame and a 19-pixel title bar.
    TestWindow top(WS_POPUP | WS_CAPTION, {100, 100, 300, 250});
    RECT rect{};
    ASSERT_TRUE(GetClientRect(top.hwnd(), &rect));
    EXPECT_EQ(rect.right, 194);
    EXPECT_EQ(rect.bottom, 125);
    TestWindow child(WS_CHILD | WS_VISIBLE, {10, 20, 60, 50}, top.hwnd());
    ASSERT_TRUE(GetWindowRect(child.hwnd(), &rect));
    EXPECT_EQ(rect.left, 113);
    EXPECT_EQ(rect.top, 142);
    EXPECT_EQ(rect.right, 163);
    POINT point{113, 142};
    ASSERT_TRUE(ScreenToClient(child.hwnd(), &point));
    EXPECT_EQ(point.x, 0);
    EXPECT_EQ(point.y, 0);

    // WM_MOVE gives the client area's screen position for a top-level window.
    ASSERT_TRUE(SetWindowPos(top.hwnd(), nullptr, -50, 300, 0, 0, SWP_NOSIZE | SWP_NOZORDER));
    ASSERT_EQ(top.Count(WM_MOVE), 1u);
    EXPECT_EQ(GET_X_LPARAM(top.Messages(WM_MOVE)[0].lParam), -47);
    EXPECT_EQ(GET_Y_LPARAM(top.Messages(WM_MOVE)[0].lParam), 322);
    EXPECT_EQ(top.Count(WM_SIZE), 0u);
    // The child moves with its parent without being told.
    ASSERT_TRUE(GetWindowRect(child.hwnd(), &rect));
    EXPECT_EQ(rect.left, -37);
    EXPECT_EQ(child.Count(WM_MOVE), 0u);

    // A child's WM_MOVE is in its parent's client coordinates.
    ASSERT_TRUE(MoveWindow(child.hwnd(), 5, 6, 40, 30, TRUE));
    ASSERT_EQ(child.Count(WM_MOVE), 1u);
    EXPECT_EQ(child.Messages(WM_MOVE)[0].lParam, MAKELPARAM(5, 6));
    ASSERT_EQ(child.Count(WM_SIZE), 1u);
    EXPECT_EQ(child.Messages(WM_SIZE)[0].lParam, MAKELPARAM(40, 30));
    // Placing it where it is tells nothing.
    ASSERT_TRUE(MoveWindow(child.hwnd(), 5, 6, 40, 30, TRUE));
    EXPECT_EQ(child.Count(WM_MOVE), 1u);

    RECT framed{0, 0, 100, 100};
    ASSERT_TRUE(AdjustWindowRect(&framed, WS_CAPTION, FALSE));
    EXPECT_EQ(framed.left, -3);
    EXPECT_EQ(framed.top, -22);
    EXPECT_EQ(framed.right, 103);
    EXPECT_EQ(framed.bottom, 103);
}

TEST_F(WindowState, DestroyingAWindowEndsItsOwnedWindowsThenItselfThenItsChildren) {
    std::vector<std::pair<HWND, UINT>> log;
    auto logger = [&log](TestWindow& window) {
        window.OnMessage([&log, hwnd = window.hwnd()](UINT message, WPARAM, LPARAM) -> std::optional<LRESULT> {
            if (message == WM_DESTROY || message == WM_NCDESTROY) {
                EXPECT_TRUE(IsWindow(hwnd));
                log.emplace_back(hwnd, message);
            }
            return std::nullopt;
        });
    };
    TestWindow owner(WS_POPUP | WS_VISIBLE);
    TestWindow child(WS_CHILD | WS_VISIBLE, {0, 0, 10, 10}, owner.hwnd());
    TestWindow owned(WS_POPUP | WS_VISIBLE, {0, 0, 10, 10}, owner.hwnd());
    logger(owner);
    logger(child);
    logger(owned);
    ASSERT_TRUE(SetTimer(owner.hwnd(), 1, 10, nullptr));

    // Only the window's own thread may destroy it.
    std::atomic<BOOL> fromWorker{TRUE};
    HANDLE thread = StartThread([&] {
        fromWorker = DestroyWindow(owner.hwnd());
        return DWORD{0};
    });
    ASSERT_EQ(WaitForSingleObject(thread, window_test::kPatience), WAIT_OBJECT_0);
    CloseHandle(thread);
    EXPECT_FALSE(fromWorker.load());
    EXPECT_TRUE(IsWindow(owner.hwnd()));

    ASSERT_TRUE(PostMessageW(owner.hwnd(), kMarker, 0, 0));
    ASSERT_TRUE(DestroyWindow(owner.hwnd()));
    const std::vector<std::pair<HWND, UINT>> expected{{owned.hwnd(), WM_DESTROY},   {owned.hwnd(), WM_NCDESTROY},
                                                      {owner.hwnd(), WM_DESTROY},   {child.hwnd(), WM_DESTROY},
                                                      {child.hwnd(), WM_NCDESTROY}, {owner.hwnd(), WM_NCDESTROY}};
    EXPECT_EQ(log, expected);
    EXPECT_FALSE(IsWindow(owner.hwnd()));
    EXPECT_FALSE(IsWindow(child.hwnd()));
    EXPECT_FALSE(IsWindow(owned.hwnd()));
    // Neither the posted message nor the timer reaches the gone window.
    MSG msg;
    EXPECT_FALSE(PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE));
}

}  // namespace
