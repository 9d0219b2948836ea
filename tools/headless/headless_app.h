// The application object of the headless front end: the launcher's own
// application object, started as a plain or an "N:" start whatever this
// program's command line says, with the page driver beside its main dialog.
#pragma once

#include "launcher/launcher_app.h"
#include "tools/headless/headless_options.h"
#include "tools/headless/page_driver.h"
#include "tools/headless/progress_reporter.h"

class HeadlessApp : public CLauncherApp {
public:
    HeadlessApp(HeadlessOptions options, bool liveProgress);

    BOOL InitInstance() override;
    // Returns the exit code of the run (HeadlessExitCode).
    int ExitInstance() override;

protected:
    bool NeedsDisplay() const override { return false; }
    void ReportAnotherLauncher(bool raised) override;

private:
    void ApplyStartRole();
    void Report(PageDriver::Outcome outcome, const PageDriver& driver);
    // The diagnostic log's last problems, below the launcher's own message.
    void ReportCause() const;

    HeadlessOptions m_options;
    ProgressReporter m_reporter;
    int m_exitCode = kExitEnded;
};
