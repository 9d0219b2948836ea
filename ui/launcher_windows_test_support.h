// Shared by the launcher windows' tests: the windows' pictures in plain
// colours under a start folder of the test's own, the shared objects put
// back to a fresh start, and helper threads that act on the dialogs while
// the test thread runs their modal loops.
#pragma once

#include "platform/thread_stop.h"
#include "platform/window_automation.h"
#include "state/controller.h"
#include "state/launcher_settings.h"
#include "state/message_table.h"
#include "state/update_events.h"
#include "state/view_broser.h"
#include "tests/support/temp_dir.h"
#include "ui/kit/kit_test_support.h"
#include "ui/web/launcher_resource.h"
#include "update/update_context.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace ui_test {

constexpr std::uint32_t kMainBackground = 0xFF302010;
constexpr std::uint32_t kProgressBackground = 0xFF203040;
constexpr std::uint32_t kFrame = 0xFF0000FF;
constexpr std::uint32_t kFileFill = 0xFF00FF00;
constexpr std::uint32_t kTotalFill = 0xFFFFFF00;
constexpr std::uint32_t kSlider = 0xFFFF0000;
constexpr std::uint32_t kExitNormal = 0xFF900000;
constexpr std::uint32_t kMinimizeNormal = 0xFF009000;

inline void WriteWindowPictures(const std::filesystem::path& startFolder) {
    const auto dir = startFolder / "LauncherStyles" / "Image";
    kit_test::WritePng(dir / "ui_main_01.png", 870, 520, kMainBackground);
    kit_test::WritePng(dir / "ui_main_02.png", 440, 200, kProgressBackground);
    // The frame leaves its groove open for the fill.
    kit_test::WritePng(dir / "ui_kuang.png", 332, 18, kFrame, {{8, 6, 316, 5, 0x00000000}});
    kit_test::WritePng(dir / "ui_progress_01.png", 10, 5, kFileFill);
    kit_test::WritePng(dir / "ui_progress_02.png", 10, 5, kTotalFill);
    kit_test::WritePng(dir / "ui_vernier_01.png", 15, 15, kSlider);
    kit_test::WritePng(dir / "ui_exit_01.png", 25, 25, kExitNormal);
    kit_test::WritePng(dir / "ui_exit_02.png", 25, 25, 0xFF909090);
    kit_test::WritePng(dir / "ui_exit_03.png", 25, 25, 0xFFFF8080);
    kit_test::WritePng(dir / "ui_mini_01.png", 25, 25, kMinimizeNormal);
    kit_test::WritePng(dir / "ui_mini_02.png", 25, 25, 0xFF909090);
    kit_test::WritePng(dir / "ui_mini_03.png", 25, 25, 0xFF80FF80);
}

// A thread of the test's own that acts on the windows; CreateThread makes
// it one that the end of the test can stop.
class Helper {
public:
    explicit Helper(std::function<void()> body) : m_body(std::move(body)) {
        m_thread = CreateThread(nullptr, 0, &Helper::Run, this, 0, nullptr);
        EXPECT_NE(m_thread, nullptr);
    }
    ~Helper() { Join(); }
    Helper(const Helper&) = delete;
    Helper& operator=(const Helper&) = delete;

    void Join() {
        if (m_thread) {
            WaitForSingleObject(m_thread, INFINITE);
            CloseHandle(m_thread);
            m_thread = nullptr;
        }
    }

private:
    static DWORD WINAPI Run(LPVOID parameter) {
        static_cast<Helper*>(parameter)->m_body();
        return 0;
    }

    std::function<void()> m_body;
    HANDLE m_thread = nullptr;
};

inline std::optional<platform::WindowInfo> Describe(HWND hwnd) {
    return platform::DescribeWindow(hwnd);
}

inline bool IsShown(HWND hwnd) {
    const auto info = platform::DescribeWindow(hwnd);
    return info && info->visible;
}

inline std::wstring TextOf(HWND hwnd) {
    const auto info = platform::DescribeWindow(hwnd);
    return info ? info->text : std::wstring();
}

// A control's rectangle relative to its dialog's top-left corner.
inline RECT PlaceIn(HWND dialog, HWND control) {
    const RECT outer = kit_test::WindowRect(dialog);
    const RECT inner = kit_test::WindowRect(control);
    return RECT{inner.left - outer.left, inner.top - outer.top, inner.right - outer.left, inner.bottom - outer.top};
}

// Returns once the window's thread has finished what it was doing: a sent
// message waits for the handler that runs now (a refresh, say) to end.
inline void Settle(HWND hwnd) {
    SendMessageW(hwnd, WM_NULL, 0, 0);
}

// Waits (on a helper thread) until the newest dialog made from the template
// is shown; null when none shows in time.
inline HWND WaitForShownDialog(UINT templateId) {
    HWND found = nullptr;
    kit_test::WaitUntil([&] {
        found = platform::FindDialog(templateId);
        return found && IsShown(found);
    });
    return found && IsShown(found) ? found : nullptr;
}

class LauncherWindowsTest : public ::testing::Test {
protected:
    void SetUp() override {
        WriteWindowPictures(m_folder.Path());
        g_settings.startDirectory = m_folder.Path().wstring();
        g_settings.dataFolder = (m_folder.Path() / "data").wstring();
        g_settings.platform = L"pv";
        g_settings.webUrl = L"http://127.0.0.1/launcher/index.html";
        g_settings.startedPlain = 0;
        g_settings.startedAfterUpdate = 1;
        g_messages.Fill(L"chs");

        CViewBroser* view = GetViewBroser();
        view->SetWindows(nullptr, nullptr);
        view->SetProgressDialog(nullptr);
        view->SetProgressActive(0);
        view->SetErrorText(L"");
        view->SetStageText(L"");
        for (int i = 0; i < 2; ++i) {
            view->SetTotal(i, 1);
            view->SetDone(i, 0);
        }
        for (HANDLE event : {VersionKnownEvent, LauncherCheckedEvent, ClientCheckReadyEvent, ClientListReadyEvent,
                             ClientDownloadedEvent, ClientReadyEvent})
            ResetEvent(event);
        CController* controller = GetController();
        controller->closing = 0;
        controller->mainDialog = nullptr;
        controller->product = nullptr;
        web_url.clear();
        cdn_path.clear();
        CUpdateContext& context = *GetUpdateContext();
        std::lock_guard<std::mutex> hold(context.pageInputLock);
        context.clientVersionUrl.clear();
        context.pageAnswer.clear();
    }

    void TearDown() override {
        platform::EndRemainingThreads();
        platform::SetSleepHook({});
        platform::InjectMouseUp(POINT{1900, 1030});
        platform::InjectMouseMove(POINT{1900, 1030});
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageW(&msg);
    }

    // Retries of the update protocol happen at once.
    static void SkipRetryPauses() {
        platform::SetSleepHook([](DWORD) { return DWORD{0}; });
    }

    kit_test::GdiplusSession m_gdiplus;
    testsupport::TempDir m_folder;
    testsupport::CurrentDirectory m_currentDirectory{m_folder.Path()};
};

}  // namespace ui_test
