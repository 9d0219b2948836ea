#include "tools/headless/page_driver.h"

#include "platform/text.h"
#include "platform/window_automation.h"
#include "state/message_table.h"
#include "state/view_broser.h"
#include "ui/web/launcher_resource.h"
#include "update/update_context.h"

namespace {

constexpr UINT_PTR kTickTimer = 1;
constexpr UINT kTickMilliseconds = 100;
// Until the page's calls go: the main window shows at a moment no message
// tells this window, and every tick of waiting for it is a tick added to
// every run, a verify-only one taking a fraction of a second in all.
constexpr UINT kWatchMilliseconds = 5;

}  // namespace

PageDriver::PageDriver(HeadlessOptions options, ProgressReporter& reporter)
    : m_options(std::move(options)), m_reporter(reporter), m_snapshots(m_options.snapshotFolder) {}

bool PageDriver::Start() {
    m_started = std::chrono::steady_clock::now();
    return CreateEx(0, nullptr, L"quillmoor-headless", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr) &&
           SetTimer(kTickTimer, kWatchMilliseconds) != 0;
}

void PageDriver::OnTimer(UINT_PTR nIDEvent) {
    if (nIDEvent == kTickTimer)
        Tick();
    else
        CWnd::OnTimer(nIDEvent);
}

// Runs again inside a tick: the start call's handler runs the progress
// dialog's modal loop before it returns.
void PageDriver::Tick() {
    const ViewProgress progress = GetViewBroser()->GetProgress();
    m_reporter.Update(progress);
    m_snapshots.Take(platform::FindDialog(IDD_LAUNCHER_TRANSLUCENT), "main");
    m_snapshots.Take(platform::FindDialog(IDD_PROGRESS), "progress");
    if (m_outcome != Outcome::Running)
        return;

    // The error shows in the progress dialog; it stays there until closed.
    if (!progress.errorText.empty() && platform::FindDialog(IDD_PROGRESS)) {
        m_errorText = progress.errorText;
        EndRun(Outcome::UpdateFailed, false);
        return;
    }
    if (m_options.timeout.count() > 0 && std::chrono::steady_clock::now() - m_started >= m_options.timeout) {
        EndRun(Outcome::TimedOut, true);
        return;
    }
    if (!m_callsSent && MainWindowShown()) {
        m_callsSent = true;
        const HWND mainDialog = platform::FindDialog(IDD_LAUNCHER_TRANSLUCENT);
        // The progress is all there is left to watch.
        SetTimer(kTickTimer, kTickMilliseconds);
        if (m_options.version)
            SendPageCall(mainDialog, *m_options.version);
        SendPageCall(mainDialog, m_options.start);
    }
}

bool PageDriver::MainWindowShown() const {
    const auto main = platform::DescribeWindow(platform::FindDialog(IDD_LAUNCHER_TRANSLUCENT));
    return main && main->visible && !platform::FindDialog(IDD_PROGRESS);
}

void PageDriver::SendPageCall(HWND mainDialog, const PageCall& call) {
    m_reporter.Note("page: window.external." + call.method + "(\"" + platform::ToUtf8(call.text) + "\")");
    // The text lives in m_options for the whole call, as the page's string
    // lives for the script call.
    ::SendMessageW(mainDialog, call.message, 0, reinterpret_cast<LPARAM>(call.text.c_str()));
}

void PageDriver::EndRun(Outcome outcome, bool closeMain) {
    m_outcome = outcome;
    if (const HWND progressDialog = platform::FindDialog(IDD_PROGRESS))
        ::PostMessageW(progressDialog, WM_CLOSE, 0, 0);
    if (closeMain) {
        if (const HWND mainDialog = platform::FindDialog(IDD_LAUNCHER_TRANSLUCENT))
            ::PostMessageW(mainDialog, WM_CLOSE, 0, 0);
    }
}

PageDriver::Outcome PageDriver::Finish() {
    KillTimer(kTickTimer);
    const ViewProgress progress = GetViewBroser()->GetProgress();
    m_reporter.Update(progress);
    if (m_outcome != Outcome::Running)
        return m_outcome;
    if (!progress.errorText.empty()) {
        m_errorText = progress.errorText;
        return m_outcome = Outcome::UpdateFailed;
    }
    // The launcher closes its window after the page's start call only once
    // the game start thread has started the game and named its stage.
    if (m_callsSent && progress.stageText == g_messages.entries[message::kStartingClient])
        return m_outcome = Outcome::GameStarted;
    if (!m_callsSent && GetUpdateContext()->launcherUpdatePending)
        return m_outcome = Outcome::LauncherReplaced;
    return m_outcome = Outcome::Ended;
}
