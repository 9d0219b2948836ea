#include "tests/e2e/stand_in_windows.h"

#include "state/launcher_settings.h"

namespace testsupport {

StandInWindow::StandInWindow() {
    CreateEx(0, nullptr, L"stand-in", WS_POPUP, 0, 0, 100, 100, nullptr, nullptr);
}

std::wstring StandInMainWindow::GetGameArgs() {
    std::lock_guard<std::mutex> hold(m_lock);
    return m_gameArgs;
}

void StandInMainWindow::SetGameArgs(const std::wstring& args) {
    std::lock_guard<std::mutex> hold(m_lock);
    m_gameArgs = args;
}

void StandInPageWindow::ShowStartPage() {
    std::lock_guard<std::mutex> hold(m_lock);
    m_urls.push_back(g_settings.webUrl);
}

std::vector<std::wstring> StandInPageWindow::Urls() {
    std::lock_guard<std::mutex> hold(m_lock);
    return m_urls;
}

}  // namespace testsupport
