// The page driver against stand-in dialogs made from the launcher's template
// ids, which behave as the launcher's dialogs do towards it: a progress
// dialog during the launcher check, the page's calls handled on the window
// thread, a progress dialog with an error, a main dialog closed after the
// game start.
#include "tools/headless/page_driver.h"

#include "platform/dialog_template.h"
#include "platform/window_automation.h"
#include "state/message_table.h"
#include "state/view_broser.h"
#include "ui/web/launcher_resource.h"
#include "ui/web/page_messages.h"
#include "update/update_context.h"

#include <gtest/gtest.h>

#include <functional>
#include <sstream>

namespace {

constexpr UINT_PTR kStepTimer = 7;
constexpr UINT_PTR kGuardTimer = 8;
// Only ends a test whose driver never acts; no result depends on it.
constexpr UINT kGuardMilliseconds = 20000;

using Steps = std::vector<std::function<void()>>;

Steps operator+(Steps first, const Steps& second) {
    first.insert(first.end(), second.begin(), second.end());
    return first;
}

Steps Idle(std::size_t ticks) {
    return Steps(ticks, [] {});
}

// Runs its steps one per timer tick and stays open afterwards until closed.
// WM_CLOSE ends it as the launcher's progress dialog ends: 1 when an error
// text is pending, else 0.
class StandInProgressDialog : public CDialog {
public:
    StandInProgressDialog(CWnd* parent, Steps steps) : CDialog(IDD_PROGRESS, parent), m_steps(std::move(steps)) {}

    BOOL OnInitDialog() override {
        CDialog::OnInitDialog();
        SetTimer(kStepTimer, 10);
        return TRUE;
    }
    void OnTimer(UINT_PTR nIDEvent) override {
        if (nIDEvent == kStepTimer && m_next < m_steps.size())
            m_steps[m_next++]();
    }
    void OnClose() override { EndDialog(GetViewBroser()->GetErrorText().empty() ? 0 : 1); }

private:
    Steps m_steps;
    std::size_t m_next = 0;
};

struct ReceivedCall {
    UINT message = 0;
    std::wstring text;
    bool mainVisible = false;
    bool progressOpen = false;
};

enum class GameStart { Succeeds, FailsWithError, ClosesWithoutGame, NeverEnds };

class StandInMainDialog : public CDialog {
public:
    StandInMainDialog() : CDialog(IDD_LAUNCHER_TRANSLUCENT) {}

    // As after a plain start: a progress dialog runs the launcher check first.
    Steps launcherCheck;
    GameStart gameStart = GameStart::Succeeds;
    std::wstring errorText = L"更新失败，请重启微端";

    std::vector<ReceivedCall> calls;
    INT_PTR progressResult = -1;
    bool guardFired = false;

    BOOL OnInitDialog() override {
        CDialog::OnInitDialog();
        SetTimer(kGuardTimer, kGuardMilliseconds);
        if (!launcherCheck.empty()) {
            StandInProgressDialog progress(this, launcherCheck);
            // As the launcher: an error pending when the progress dialog ends
            // closes the main window too.
            if (progress.DoModal() > 0)
                PostMessage(WM_CLOSE);
        }
        return TRUE;
    }
    void OnTimer(UINT_PTR nIDEvent) override {
        if (nIDEvent == kGuardTimer) {
            guardFired = true;
            if (const HWND progress = platform::FindDialog(IDD_PROGRESS))
                ::PostMessageW(progress, WM_CLOSE, 0, 0);
            EndDialog(IDABORT);
        }
    }
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
        if (message < WM_STARTGAME || message > WM_STARTGAMEDATA)
            return CDialog::WindowProc(message, wParam, lParam);
        calls.push_back({message, reinterpret_cast<const wchar_t*>(lParam), IsWindowVisible() != FALSE,
                         platform::FindDialog(IDD_PROGRESS) != nullptr});
        if (message == WM_STARTGAME || message == WM_STARTGAMEDATA)
            RunGameStart();
        return 0;
    }

private:
    void RunGameStart() {
        switch (gameStart) {
            case GameStart::Succeeds:
                GetViewBroser()->SetStageText(g_messages.entries[2]);
                PostMessage(WM_CLOSE);
                return;
            case GameStart::FailsWithError: {
                ShowWindow(SW_HIDE);
                StandInProgressDialog progress(this, {[this] { GetViewBroser()->SetErrorText(errorText); }});
                progressResult = progress.DoModal();
                PostMessage(WM_CLOSE);
                return;
            }
            case GameStart::ClosesWithoutGame:
                PostMessage(WM_CLOSE);
                return;
            case GameStart::NeverEnds:
                return;
        }
    }
};

class PageDriverTest : public ::testing::Test {
protected:
    void SetUp() override {
        savedMessages = g_messages;
        g_messages.Fill(L"chs");
        for (UINT id : {IDD_LAUNCHER_TRANSLUCENT, IDD_PROGRESS}) {
            DialogTemplate dialog;
            dialog.id = id;
            dialog.style = WS_POPUP;
            dialog.cx = 200;
            dialog.cy = 100;
            platform::AddDialogTemplate(dialog);
        }
        ResetView();
    }
    void TearDown() override {
        ResetView();
        GetUpdateContext()->launcherUpdatePending = 0;
        g_messages = savedMessages;
    }

    static void ResetView() {
        GetViewBroser()->SetStageText(L"");
        GetViewBroser()->SetErrorText(L"");
    }

    PageDriver::Outcome Run(StandInMainDialog& main, const HeadlessOptions& options) {
        ProgressReporter reporter(output, false);
        PageDriver driver(options, reporter);
        EXPECT_TRUE(driver.Start());
        main.DoModal();
        const PageDriver::Outcome outcome = driver.Finish();
        errorText = driver.ErrorText();
        EXPECT_FALSE(main.guardFired) << "the driver never ended the run";
        return outcome;
    }

    static HeadlessOptions Options(std::optional<PageCall> version, PageCall start) {
        HeadlessOptions options;
        options.version = std::move(version);
        options.start = std::move(start);
        return options;
    }

    MessageTable savedMessages;
    std::ostringstream output;
    std::wstring errorText;
};

const PageCall kVersionCall{WM_PCVERSION, "PCVersion", L"http://127.0.0.1:1/web/index.html"};
const PageCall kStartCall{WM_STARTGAME, "StartGame", L"-demo -realm Emberfall"};

}  // namespace

TEST_F(PageDriverTest, CallsWaitForTheLauncherCheckAndGoInThePagesOrder) {
    StandInMainDialog main;
    // What the launcher's finish thread does: show the main window, then
    // close the progress dialog, which stays open for longer than a tick of
    // the driver.
    main.launcherCheck = Steps{[] { GetViewBroser()->SetStageText(L"正在更新登陆器，请稍候..."); },
                               [&main] { main.ShowWindow(SW_SHOW); }} +
                         Idle(15) + Steps{[] { ::PostMessageW(platform::FindDialog(IDD_PROGRESS), WM_CLOSE, 0, 0); }};
    EXPECT_EQ(Run(main, Options(kVersionCall, kStartCall)), PageDriver::Outcome::GameStarted);

    ASSERT_EQ(main.calls.size(), 2u);
    EXPECT_EQ(main.calls[0].message, 0x0402u);
    EXPECT_EQ(main.calls[0].text, kVersionCall.text);
    EXPECT_EQ(main.calls[1].message, 0x0401u);
    EXPECT_EQ(main.calls[1].text, kStartCall.text);
    for (const ReceivedCall& call : main.calls) {
        EXPECT_TRUE(call.mainVisible);
        EXPECT_FALSE(call.progressOpen);
    }
    const std::string log = output.str();
    EXPECT_NE(log.find("正在更新登陆器，请稍候...  file"), std::string::npos) << log;
    EXPECT_LT(log.find("page: window.external.PCVersion(\"http://127.0.0.1:1/web/index.html\")"),
              log.find("page: window.external.StartGame(\"-demo -realm Emberfall\")"))
        << log;
}

TEST_F(PageDriverTest, WithoutAVersionCallOnlyTheStartIsSent) {
    StandInMainDialog main;
    const PageCall start{WM_STARTGAMEDATA, "StartGameData", L"{\"token\":1}"};
    EXPECT_EQ(Run(main, Options(std::nullopt, start)), PageDriver::Outcome::GameStarted);
    ASSERT_EQ(main.calls.size(), 1u);
    EXPECT_EQ(main.calls[0].message, 0x0404u);
    EXPECT_EQ(main.calls[0].text, L"{\"token\":1}");
}

TEST_F(PageDriverTest, AnErrorInTheProgressDialogEndsTheRunWithItsText) {
    StandInMainDialog main;
    main.gameStart = GameStart::FailsWithError;
    EXPECT_EQ(Run(main, Options(kVersionCall, kStartCall)), PageDriver::Outcome::UpdateFailed);
    EXPECT_EQ(errorText, main.errorText);
    // Closed by the driver while the error was pending.
    EXPECT_EQ(main.progressResult, 1);
}

TEST_F(PageDriverTest, AnErrorDuringTheLauncherCheckEndsTheRunBeforeAnyCall) {
    StandInMainDialog main;
    main.launcherCheck = {[] { GetViewBroser()->SetErrorText(L"无法读取登陆器版本信息，请重启微端"); }};
    EXPECT_EQ(Run(main, Options(kVersionCall, kStartCall)), PageDriver::Outcome::UpdateFailed);
    EXPECT_EQ(errorText, L"无法读取登陆器版本信息，请重启微端");
    EXPECT_TRUE(main.calls.empty());
}

TEST_F(PageDriverTest, TheTimeLimitClosesTheMainDialog) {
    StandInMainDialog main;
    main.gameStart = GameStart::NeverEnds;
    HeadlessOptions options = Options(kVersionCall, kStartCall);
    options.timeout = std::chrono::milliseconds(200);
    EXPECT_EQ(Run(main, options), PageDriver::Outcome::TimedOut);
    EXPECT_EQ(main.calls.size(), 2u);
}

TEST_F(PageDriverTest, TheTimeLimitAlsoClosesAProgressDialogThatNeverEnds) {
    StandInMainDialog main;
    main.launcherCheck = {[] { GetViewBroser()->SetStageText(L"正在检查登陆器版本，请稍候..."); }};
    HeadlessOptions options = Options(kVersionCall, kStartCall);
    options.timeout = std::chrono::milliseconds(200);
    EXPECT_EQ(Run(main, options), PageDriver::Outcome::TimedOut);
    EXPECT_TRUE(main.calls.empty());
}

TEST_F(PageDriverTest, AMainDialogClosedDuringTheCheckMeansANewLauncherOrNothing) {
    for (const int pending : {1, 0}) {
        StandInMainDialog main;
        main.launcherCheck = {[pending] { GetUpdateContext()->launcherUpdatePending = pending; },
                              [&main] { main.PostMessage(WM_CLOSE); },
                              [] { ::PostMessageW(platform::FindDialog(IDD_PROGRESS), WM_CLOSE, 0, 0); }};
        EXPECT_EQ(Run(main, Options(kVersionCall, kStartCall)),
                  pending ? PageDriver::Outcome::LauncherReplaced : PageDriver::Outcome::Ended);
        EXPECT_TRUE(main.calls.empty());
    }
}

TEST_F(PageDriverTest, AMainDialogClosedAfterTheStartCallWithoutTheGameStageIsNoGameStart) {
    StandInMainDialog main;
    main.gameStart = GameStart::ClosesWithoutGame;
    EXPECT_EQ(Run(main, Options(kVersionCall, kStartCall)), PageDriver::Outcome::Ended);
    EXPECT_EQ(main.calls.size(), 2u);
}
