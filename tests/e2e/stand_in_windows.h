// Plain windows on the test thread that stand in for the launcher's main
// window, page window and progress dialog, and record what the update
// threads do to them.
#pragma once

#include "platform/afxwin.h"
#include "state/launcher_windows.h"

#include <atomic>
#include <mutex>
#include <string>
#include <vector>

namespace testsupport {

class StandInWindow : public CWnd {
public:
    StandInWindow();
    // WM_CLOSE is recorded, not acted on, so the test can look afterwards.
    void OnClose() override { closed = true; }
    std::atomic<bool> closed{false};
};

class StandInMainWindow : public StandInWindow, public ILauncherWindow {
public:
    HWND GetWindowHandle() override { return m_hWnd; }
    std::wstring GetGameArgs() override;
    void SetGameArgs(const std::wstring& args);

private:
    std::mutex m_lock;
    std::wstring m_gameArgs;
};

class StandInPageWindow : public StandInWindow, public IWebPageWindow {
public:
    HWND GetWindowHandle() override { return m_hWnd; }
    // Records the address the page would show now.
    void ShowStartPage() override;
    std::vector<std::wstring> Urls();

private:
    std::mutex m_lock;
    std::vector<std::wstring> m_urls;
};

class StandInProgressWindow : public StandInWindow, public IProgressWindow {
public:
    HWND GetWindowHandle() override { return m_hWnd; }
    void MarkClosedByLauncher() override { closedByLauncher = true; }
    std::atomic<bool> closedByLauncher{false};
};

}  // namespace testsupport
