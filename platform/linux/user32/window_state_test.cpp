// Visibility, enabled state, placement, z-order, timers, destruction and
// the window's data.
#include "platform/conformance/window_test_helpers.h"

#include <algorithm>
#include <atomic>
#include <string>

namespace {

using window_test::PumpUntil;
using window_test::StartThread;
using window_test::TestWindow;
using window_test::WindowTest;

using WindowState = WindowTest;

constexpr UINT kMarker = WM_USER + 40;

// The order of some windows in the top-level z-order, topmost first.
std::vector<HWND> StackingOf(std::initializer_list<HWND> windows) {
    std::vector<HWND> order;
    for (HWND hwnd : platform::TopLevelZOrder()) {
        if (std::find(windows.begin(), windows.end(), hwnd) != windows.end()) {
            order.push_back(hwnd);
        }
    }
    return order;
}

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

TEST_F(WindowState, TopmostWindowsStayAboveAndOwnedWindowsFollowTheirOwner) {
    const RECT area{0, 0, 100, 100};
    TestWindow a(WS_POPUP | WS_VISIBLE, area);
    TestWindow b(WS_POPUP | WS_VISIBLE, area);
    EXPECT_EQ(WindowFromPoint(POINT{50, 50}), b.hwnd());  // the newer one is on top

    ASSERT_TRUE(SetWindowPos(a.hwnd(), HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE));
    EXPECT_TRUE(GetWindowLongW(a.hwnd(), GWL_EXSTYLE) & WS_EX_TOPMOST);
    ShowWindow(b.hwnd(), SW_SHOW);  // activation does not lift it over a topmost window
    EXPECT_EQ(WindowFromPoint(POINT{50, 50}), a.hwnd());

    TestWindow c(WS_POPUP | WS_VISIBLE, area, nullptr, WS_EX_TOPMOST);
    EXPECT_EQ((StackingOf({a.hwnd(), b.hwnd(), c.hwnd()})), (std::vector<HWND>{c.hwnd(), a.hwnd(), b.hwnd()}));
    // The bottom is below every window, and not topmost any more.
    ASSERT_TRUE(SetWindowPos(c.hwnd(), HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE));
    EXPECT_FALSE(GetWindowLongW(c.hwnd(), GWL_EXSTYLE) & WS_EX_TOPMOST);
    EXPECT_EQ((StackingOf({a.hwnd(), b.hwnd(), c.hwnd()})), (std::vector<HWND>{a.hwnd(), b.hwnd(), c.hwnd()}));

    // Owned windows come along above their owner.
    TestWindow owner(WS_POPUP | WS_VISIBLE, area);
    TestWindow owned(WS_POPUP | WS_VISIBLE, area, owner.hwnd());
    ShowWindow(b.hwnd(), SW_SHOW);
    ShowWindow(owner.hwnd(), SW_SHOW);
    EXPECT_EQ((StackingOf({b.hwnd(), owner.hwnd(), owned.hwnd()})),
              (std::vector<HWND>{owned.hwnd(), owner.hwnd(), b.hwnd()}));
}

TEST_F(WindowState, FindWindowSeesTopLevelWindowsByClassAndTextAndForegroundLiftsOne) {
    const RECT area{0, 0, 100, 100};
    TestWindow a(WS_POPUP | WS_VISIBLE, area);
    TestWindow b(WS_POPUP | WS_VISIBLE, area);
    TestWindow child(WS_CHILD | WS_VISIBLE, area, b.hwnd());
    ASSERT_TRUE(SetWindowTextW(a.hwnd(), L"first"));
    ASSERT_TRUE(SetWindowTextW(child.hwnd(), L"first"));
    // The class without regard to case; a child of the same text is no match.
    EXPECT_EQ(FindWindowW(L"qmtestwindow", L"first"), a.hwnd());
    EXPECT_EQ(FindWindowW(nullptr, L"first"), a.hwnd());
    EXPECT_EQ(FindWindowW(L"#32770", L"first"), nullptr);
    EXPECT_EQ(FindWindowW(L"QmTestWindow", L"First"), nullptr);
    // Topmost first when several match.
    EXPECT_EQ(FindWindowW(L"QmTestWindow", nullptr), b.hwnd());

    ASSERT_TRUE(SetForegroundWindow(a.hwnd()));
    EXPECT_EQ((StackingOf({a.hwnd(), b.hwnd()})), (std::vector<HWND>{a.hwnd(), b.hwnd()}));
    EXPECT_EQ(FindWindowW(L"QmTestWindow", nullptr), a.hwnd());
    DestroyWindow(a.hwnd());
    EXPECT_EQ(FindWindowW(nullptr, L"first"), nullptr);
}

TEST_F(WindowState, MinimisingTakesOwnedWindowsAlongAndRestoringBringsThemBack) {
    TestWindow owner(WS_POPUP | WS_VISIBLE, {0, 0, 200, 100});
    TestWindow owned(WS_POPUP | WS_VISIBLE, {10, 10, 50, 50}, owner.hwnd());
    TestWindow hiddenOwned(WS_POPUP, {10, 10, 50, 50}, owner.hwnd());

    EXPECT_TRUE(ShowWindow(owner.hwnd(), SW_MINIMIZE));
    EXPECT_TRUE(IsIconic(owner.hwnd()));
    EXPECT_TRUE(IsWindowVisible(owner.hwnd()));
    EXPECT_FALSE(IsWindowVisible(owned.hwnd()));
    ASSERT_EQ(owned.Count(WM_SHOWWINDOW), 1u);
    EXPECT_EQ(owned.Messages(WM_SHOWWINDOW)[0].lParam, SW_PARENTCLOSING);
    ASSERT_EQ(owner.Count(WM_SIZE), 1u);
    EXPECT_EQ(owner.Messages(WM_SIZE)[0].wParam, static_cast<WPARAM>(SIZE_MINIMIZED));
    // A minimised window takes no clicks.
    EXPECT_EQ(WindowFromPoint(POINT{100, 80}), nullptr);

    ShowWindow(owner.hwnd(), SW_RESTORE);
    EXPECT_FALSE(IsIconic(owner.hwnd()));
    EXPECT_TRUE(IsWindowVisible(owned.hwnd()));
    EXPECT_FALSE(IsWindowVisible(hiddenOwned.hwnd()));  // it was hidden before
    ASSERT_EQ(owner.Count(WM_SIZE), 2u);
    EXPECT_EQ(owner.Messages(WM_SIZE)[1].lParam, MAKELPARAM(200, 100));
}

TEST_F(WindowState, TimersTickWithTheirIdsOnTheWindowThreadAndStopWhenKilled) {
    TestWindow window;
    auto ticks = [&](UINT_PTR id) {
        std::size_t count = 0;
        for (const auto& received : window.Messages(WM_TIMER)) {
            EXPECT_EQ(received.thread, std::this_thread::get_id());
            count += received.wParam == id;
        }
        return count;
    };
    ASSERT_EQ(SetTimer(window.hwnd(), 1010, 10, nullptr), 1010u);
    ASSERT_EQ(SetTimer(window.hwnd(), 1020, 10, nullptr), 1020u);
    ASSERT_TRUE(PumpUntil([&] { return ticks(1010) >= 3 && ticks(1020) >= 3; }));
    EXPECT_EQ(ticks(1010) + ticks(1020), window.Count(WM_TIMER));

    ASSERT_TRUE(KillTimer(window.hwnd(), 1010));
    EXPECT_FALSE(KillTimer(window.hwnd(), 1010));
    const std::size_t killedAt = ticks(1010);
    const std::size_t otherAt = ticks(1020);
    // Timer 1020 has the same period: had 1010 lived on it would have ticked.
    ASSERT_TRUE(PumpUntil([&] { return ticks(1020) >= otherAt + 5; }));
    EXPECT_EQ(ticks(1010), killedAt);

    // Timers belong to the window's thread.
    std::atomic<UINT_PTR> fromWorker{1};
    HANDLE thread = StartThread([&] {
        fromWorker = SetTimer(window.hwnd(), 7, 10, nullptr);
        return DWORD{0};
    });
    ASSERT_EQ(WaitForSingleObject(thread, window_test::kPatience), WAIT_OBJECT_0);
    EXPECT_EQ(fromWorker.load(), 0u);
    CloseHandle(thread);
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

TEST_F(WindowState, TextStylesAndLayeredAttributesKeepTheirRules) {
    TestWindow window;
    ASSERT_TRUE(SetWindowTextW(window.hwnd(), L"hello world"));
    wchar_t buffer[6];
    EXPECT_EQ(GetWindowTextW(window.hwnd(), buffer, 6), 5);
    EXPECT_EQ(std::wstring(buffer), L"hello");
    EXPECT_EQ(GetWindowTextLengthW(window.hwnd()), 11);

    // Visibility and topmost are state, not plain style bits.
    SetWindowLongW(window.hwnd(), GWL_STYLE, static_cast<LONG>(WS_POPUP | WS_VISIBLE));
    EXPECT_FALSE(IsWindowVisible(window.hwnd()));
    SetWindowLongW(window.hwnd(), GWL_EXSTYLE, WS_EX_TOPMOST);
    EXPECT_FALSE(GetWindowLongW(window.hwnd(), GWL_EXSTYLE) & WS_EX_TOPMOST);
    EXPECT_EQ(GetWindowLongW(window.hwnd(), 99), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_INDEX));

    EXPECT_FALSE(SetLayeredWindowAttributes(window.hwnd(), 0x00FF00, 0, LWA_COLORKEY));
    SetWindowLongW(window.hwnd(), GWL_EXSTYLE, WS_EX_LAYERED);
    ASSERT_TRUE(SetLayeredWindowAttributes(window.hwnd(), 0x00FF00, 0, LWA_COLORKEY));
    EXPECT_EQ(platform::DescribeWindow(window.hwnd())->layeredFlags, static_cast<DWORD>(LWA_COLORKEY));
    EXPECT_EQ(platform::DescribeWindow(window.hwnd())->colorKey, 0x00FF00u);
    SetWindowLongW(window.hwnd(), GWL_EXSTYLE, 0);
    EXPECT_EQ(platform::DescribeWindow(window.hwnd())->layeredFlags, 0u);
}

TEST_F(WindowState, ALayeredWindowShowsThePartOfTheBitmapItIsGiven) {
    TestWindow window(WS_POPUP | WS_VISIBLE, {10, 10, 20, 20}, nullptr, WS_EX_LAYERED);
    window_test::MemoryPicture bitmap(4, 2);
    const std::uint32_t row0[] = {0x80402010u, 0x00000000u, 0xFF00FF00u, 0xFF123456u};
    const std::uint32_t row1[] = {0x11111111u, 0x22222222u, 0x33333333u, 0x44444444u};
    for (int x = 0; x < 4; ++x) {
        bitmap.At(x, 0) = row0[x];
        bitmap.At(x, 1) = row1[x];
    }
    POINT destination{50, 60};
    SIZE size{2, 2};
    POINT source{1, 0};
    BLENDFUNCTION blend{AC_SRC_OVER, 0, 200, AC_SRC_ALPHA};
    ASSERT_TRUE(
        UpdateLayeredWindow(window.hwnd(), nullptr, &destination, &size, bitmap.dc(), &source, 0, &blend, ULW_ALPHA));
    auto info = platform::DescribeWindow(window.hwnd());
    ASSERT_TRUE(info && info->picture);
    EXPECT_EQ(info->picture->pixels, (std::vector<std::uint32_t>{0x00000000u, 0xFF00FF00u, 0x22222222u, 0x33333333u}));
    EXPECT_EQ(info->picture->constantAlpha, 200);
    EXPECT_EQ(info->windowRect.left, 50);
    EXPECT_EQ(info->windowRect.bottom, 62);
    EXPECT_EQ(window.Count(WM_MOVE), 1u);
    EXPECT_EQ(window.Count(WM_SIZE), 1u);

    // Without per-pixel alpha the picture is opaque except for the key colour.
    ASSERT_TRUE(UpdateLayeredWindow(window.hwnd(), nullptr, nullptr, &size, bitmap.dc(), &source, RGB(0, 255, 0),
                                    nullptr, ULW_COLORKEY));
    info = platform::DescribeWindow(window.hwnd());
    EXPECT_EQ(info->picture->pixels, (std::vector<std::uint32_t>{0xFF000000u, 0x00000000u, 0xFF222222u, 0xFF333333u}));

    // The part asked for must lie inside the bitmap.
    POINT outside{3, 0};
    EXPECT_FALSE(
        UpdateLayeredWindow(window.hwnd(), nullptr, nullptr, &size, bitmap.dc(), &outside, 0, &blend, ULW_ALPHA));
    // A window shows attributes or a picture, not both.
    ASSERT_TRUE(SetLayeredWindowAttributes(window.hwnd(), 0, 128, LWA_ALPHA));
    EXPECT_FALSE(
        UpdateLayeredWindow(window.hwnd(), nullptr, nullptr, &size, bitmap.dc(), &source, 0, &blend, ULW_ALPHA));
}

TEST_F(WindowState, SystemValuesAndMessageBoxesWithoutADisplay) {
    RECT work{};
    ASSERT_TRUE(SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0));
    EXPECT_EQ(work.right - work.left, 1920);
    EXPECT_EQ(work.bottom - work.top, 1040);

    OSVERSIONINFOW version{};
    EXPECT_FALSE(GetVersionExW(&version));  // the size must be filled in
    version.dwOSVersionInfoSize = sizeof(version);
    ASSERT_TRUE(GetVersionExW(&version));
    EXPECT_GE(version.dwMajorVersion, 6u);

    RECT units{10, 8, 20, 16};
    TestWindow window;
    ASSERT_TRUE(MapDialogRect(window.hwnd(), &units));
    EXPECT_EQ(units.left, 15);
    EXPECT_EQ(units.top, 13);
    EXPECT_EQ(units.right, 30);
    EXPECT_EQ(units.bottom, 26);

    platform::TakeMessageBoxes();
    EXPECT_EQ(MessageBoxW(window.hwnd(), L"text", L"caption", MB_OK), IDOK);
    EXPECT_EQ(MessageBoxW(nullptr, L"sure?", nullptr, MB_YESNO), IDYES);
    const auto boxes = platform::TakeMessageBoxes();
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[0].owner, window.hwnd());
    EXPECT_EQ(boxes[0].text, L"text");
    EXPECT_EQ(boxes[1].caption, L"Error");
}

}  // namespace
