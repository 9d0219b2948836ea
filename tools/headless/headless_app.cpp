#include "tools/headless/headless_app.h"

#include "platform/command_line.h"
#include "platform/text.h"
#include "state/diag_log.h"
#include "state/launcher_settings.h"
#include "update/update_context.h"

#include <filesystem>
#include <iostream>

namespace {

// A folder as the system names it, in UTF-8.
std::string SystemFolder(const std::wstring& folder) {
    const std::u8string path = std::filesystem::path(platform::NativePath(folder)).u8string();
    return std::string(path.begin(), path.end());
}

// Where the launcher installs the client and starts the game.
std::string ClientFolder() {
    std::string folder = SystemFolder(g_settings.dataFolder + L"\\" + cdn_path);
    if (!folder.empty() && (folder.back() == '/' || folder.back() == '\\'))
        folder.pop_back();
    return folder;
}

}  // namespace

HeadlessApp::HeadlessApp(HeadlessOptions options, bool liveProgress)
    : m_options(std::move(options)), m_reporter(std::cout, liveProgress) {}

// The settings read this program's own command line at start; replace what
// it decided by what the launcher would decide for its start.
void HeadlessApp::ApplyStartRole() {
    g_settings.startedPlain = 1;
    g_settings.startedAfterUpdate = 0;
    if (m_options.afterUpdate) {
        // Exactly the line a replaced launcher is started with.
        g_settings.ApplyCommandLine(L" \"N:\"");
    } else {
        // A plain start names the folder's own launcher, which a self-update
        // replaces and the game is told about.
        const std::wstring launcher = (std::filesystem::current_path() / "Launcher.exe").wstring();
        g_settings.ApplyCommandLine(platform::JoinCommandLine({launcher}));
    }
}

BOOL HeadlessApp::InitInstance() {
    ApplyStartRole();
    if (m_options.verbose) {
        GetDiagLog()->SetEcho([](const std::string& line) { std::cerr << "diag: " << line << std::endl; });
    }
    // Made first, so that it ticks inside the main dialog's loops.
    PageDriver driver(m_options, m_reporter);
    if (!driver.Start()) {
        std::cerr << "quillmoor-headless: cannot make the page driver's window\n";
        return TRUE;
    }
    CLauncherApp::InitInstance();
    if (AnotherLauncherRunning()) {
        m_exitCode = kExitAnotherLauncher;
        return TRUE;
    }
    Report(driver.Finish(), driver);
    return TRUE;
}

void HeadlessApp::ReportAnotherLauncher(bool raised) {
    std::cerr << "quillmoor-headless: another launcher is running on this data folder ("
              << SystemFolder(g_settings.dataFolder) << "); nothing was done"
              << (raised ? "; its window was brought to the front" : "") << '\n';
}

int HeadlessApp::ExitInstance() {
    CLauncherApp::ExitInstance();
    return m_exitCode;
}

void HeadlessApp::Report(PageDriver::Outcome outcome, const PageDriver& driver) {
    // Errors go to stderr, which shares the terminal with the progress line.
    m_reporter.EndLiveLine();
    using Outcome = PageDriver::Outcome;
    switch (outcome) {
        case Outcome::GameStarted:
            m_reporter.Note("The game was started: qm.exe in " + ClientFolder());
            m_exitCode = kExitGameStarted;
            return;
        case Outcome::UpdateFailed:
            std::cerr << "quillmoor-headless: the update failed: " << platform::ToUtf8(driver.ErrorText()) << '\n';
            ReportCause();
            m_exitCode = kExitUpdateFailed;
            return;
        case Outcome::LauncherReplaced:
            m_reporter.Note("A new launcher was downloaded and started; it replaces the launcher in " +
                            platform::ToUtf8(g_settings.startDirectory) + " and starts it again.");
            m_exitCode = kExitLauncherReplaced;
            return;
        case Outcome::TimedOut:
            std::cerr << "quillmoor-headless: gave up: the time limit passed\n";
            ReportCause();
            m_exitCode = kExitTimedOut;
            return;
        case Outcome::Running:
        case Outcome::Ended:
            std::cerr << "quillmoor-headless: the launcher ended without starting the game\n";
            ReportCause();
            m_exitCode = kExitEnded;
            return;
    }
}

void HeadlessApp::ReportCause() const {
    const std::vector<std::string> problems = GetDiagLog()->RecentProblems();
    if (!problems.empty()) {
        std::cerr << "  the last problems the launcher noted, oldest first:\n";
        for (const std::string& problem : problems)
            std::cerr << "    " << problem << '\n';
    }
    const std::wstring file = GetDiagLog()->File();
    if (!file.empty())
        std::cerr << "  the whole story: " << platform::NativePath(file) << '\n';
}
