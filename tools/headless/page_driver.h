// Plays the web page's part for a launcher without a display. A hidden
// window on the launcher's window thread ticks, also inside the dialogs'
// modal loops: it reports the progress, and once the main window shows (the
// launcher check is over and no progress dialog is open) it sends the page's
// calls to the main dialog, as the page's external object does from a script
// on that thread. It ticks every 5 ms until then, so that the calls follow
// the window at once, and every 100 ms after. It ends the run when a
// progress dialog shows an error or the time limit passes.
#pragma once

#include "platform/afxwin.h"
#include "tools/headless/headless_options.h"
#include "tools/headless/progress_reporter.h"
#include "tools/headless/window_snapshots.h"

#include <chrono>
#include <string>

class PageDriver : public CWnd {
public:
    enum class Outcome { Running, GameStarted, UpdateFailed, LauncherReplaced, TimedOut, Ended };

    PageDriver(HeadlessOptions options, ProgressReporter& reporter);

    // Makes the hidden window and starts ticking; call on the thread that
    // then runs the main dialog.
    bool Start();
    // Once the main dialog has returned: how the run ended.
    Outcome Finish();
    // The error text the progress dialog showed, for UpdateFailed.
    const std::wstring& ErrorText() const { return m_errorText; }

protected:
    void OnTimer(UINT_PTR nIDEvent) override;

private:
    void Tick();
    bool MainWindowShown() const;
    void SendPageCall(HWND mainDialog, const PageCall& call);
    // Closes the progress dialog, and with closeMain the main dialog too; the
    // launcher stops its threads on its own close.
    void EndRun(Outcome outcome, bool closeMain);

    const HeadlessOptions m_options;
    ProgressReporter& m_reporter;
    WindowSnapshots m_snapshots;
    std::chrono::steady_clock::time_point m_started;
    bool m_callsSent = false;
    Outcome m_outcome = Outcome::Running;
    std::wstring m_errorText;
};
