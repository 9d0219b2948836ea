// Z-order, minimising, timers, the window's text and style, layered
// pictures and system values, as the stand-in keeps them: each case says why
// it does not hold for Windows under Wine as well.
#include "platform/conformance/window_test_helpers.h"

#include <algorithm>
#include <atomic>
#include <string>

namespace {

using window_test::PumpUntil;
using window_test::StartThread;
using window_test::TestWindow;
using window_test::WindowTest;

using StandInWindowState = WindowTest;

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

// Linux only: Wine keeps WS_EX_TOPMOST on a window SetWindowPos puts at
// HWND_BOTTOM, which Windows takes away.
TEST_F(StandInWindowState, TopmostWindowsStayAboveAndOwnedWindowsFollowTheirOwner) {
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

// Linux only: Windows compares the text without regard to case as well, and
// Wine's SetForegroundWindow does not lift a window of its virtual desktop.
TEST_F(StandInWindowState, FindWindowSeesTopLevelWindowsByClassAndTextAndForegroundLiftsOne) {
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

// Linux only: Wine leaves the owned windows shown when ShowWindow
// minimises their owner.
TEST_F(StandInWindowState, MinimisingTakesOwnedWindowsAlongAndRestoringBringsThemBack) {
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

// Linux only: Wine's SetTimer accepts a window of another thread.
TEST_F(StandInWindowState, TimersTickWithTheirIdsOnTheWindowThreadAndStopWhenKilled) {
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

// Linux only: on Windows WS_VISIBLE set by SetWindowLongW makes the window
// visible; the stand-in keeps visibility as state.
TEST_F(StandInWindowState, TextStylesAndLayeredAttributesKeepTheirRules) {
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

// Linux only: the picture Windows' DescribeWindow keeps of a colour-keyed
// window is not made opaque, and the real UpdateLayeredWindow sends no
// WM_MOVE or WM_SIZE to a window that is not shown.
TEST_F(StandInWindowState, ALayeredWindowShowsThePartOfTheBitmapItIsGiven) {
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

// Linux only: the values of the headless display.
TEST_F(StandInWindowState, SystemValuesAndMessageBoxesWithoutADisplay) {
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
