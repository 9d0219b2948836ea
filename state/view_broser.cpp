#include "state/view_broser.h"

#include "state/launcher_settings.h"
#include "state/single_instance.h"

float unpackScale = 1.0f;

using platform::CriticalSectionLock;

void CViewBroser::SetWindows(ILauncherWindow* pMainWindow, IWebPageWindow* pWebPageWindow) {
    CriticalSectionLock hold(m_lock.Native());
    m_mainWindow = pMainWindow;
    m_webPageWindow = pWebPageWindow;
}

void CViewBroser::StartClientUpdate() {
    platform::CriticalSectionLock hold(Lock());
    if (m_clientUpdateStarter)
        m_clientUpdateStarter();
}

void CViewBroser::SetClientUpdateStarter(void (*starter)()) {
    platform::CriticalSectionLock hold(Lock());
    m_clientUpdateStarter = starter;
}

void CViewBroser::SetStageText(const std::wstring& text) {
    CriticalSectionLock hold(m_lock.Native());
    m_texts[kStageText] = text;
}

void CViewBroser::SetDetailText(const std::wstring& text) {
    CriticalSectionLock hold(m_lock.Native());
    m_texts[kDetailText] = text;
}

void CViewBroser::SetTotal(int index, std::int64_t value) {
    CriticalSectionLock hold(m_lock.Native());
    m_totals[index] = value;
}

void CViewBroser::SetDone(int index, std::int64_t value) {
    CriticalSectionLock hold(m_lock.Native());
    m_done[index] = value;
}

void CViewBroser::AddDone(std::int64_t count) {
    CriticalSectionLock hold(m_lock.Native());
    m_done[1] += count;
}

void CViewBroser::AddScaledDone(std::uint32_t count) {
    CriticalSectionLock hold(m_lock.Native());
    // Double keeps the product exact enough that a whole round never rounds
    // up past the bytes it stands for.
    m_done[1] += static_cast<std::int64_t>(static_cast<double>(count) * static_cast<double>(unpackScale));
}

void CViewBroser::ReloadWebPage() {
    CriticalSectionLock hold(m_lock.Native());
    if (m_webPageWindow)
        m_webPageWindow->ShowStartPage();
}

void CViewBroser::SetErrorText(const std::wstring& text) {
    CriticalSectionLock hold(m_lock.Native());
    m_errorText = text;
}

std::wstring CViewBroser::GetErrorText() {
    CriticalSectionLock hold(m_lock.Native());
    return m_errorText;
}

void CViewBroser::SetFileRange(std::int64_t fileStart, std::int64_t fileEnd) {
    CriticalSectionLock hold(m_lock.Native());
    m_fileStart = fileStart;
    m_fileEnd = fileEnd;
}

std::int64_t CViewBroser::GetFileStart() {
    CriticalSectionLock hold(m_lock.Native());
    return m_fileStart;
}

std::int64_t CViewBroser::GetFileEnd() {
    CriticalSectionLock hold(m_lock.Native());
    return m_fileEnd;
}

std::int64_t CViewBroser::GetDone(int index) {
    CriticalSectionLock hold(m_lock.Native());
    return m_done[index];
}

std::int64_t CViewBroser::GetTotal(int index) {
    CriticalSectionLock hold(m_lock.Native());
    return m_totals[index];
}

ViewProgress CViewBroser::GetProgress() {
    CriticalSectionLock hold(m_lock.Native());
    return ViewProgress{
        m_texts[kStageText], m_texts[kDetailText], m_errorText, {m_totals[0], m_totals[1]}, {m_done[0], m_done[1]}};
}

void CViewBroser::SetProgressDialog(IProgressWindow* pDialog) {
    CriticalSectionLock hold(m_lock.Native());
    m_progressDialog = pDialog;
}

IProgressWindow* CViewBroser::GetProgressDialog() {
    CriticalSectionLock hold(m_lock.Native());
    return m_progressDialog;
}

void CViewBroser::SetProgressActive(int active) {
    CriticalSectionLock hold(m_lock.Native());
    m_progressActive = active;
}

int CViewBroser::GetProgressActive() {
    CriticalSectionLock hold(m_lock.Native());
    return m_progressActive;
}

ILauncherWindow* CViewBroser::GetMainWindow() {
    CriticalSectionLock hold(m_lock.Native());
    return m_mainWindow;
}

IWebPageWindow* CViewBroser::GetWebPageWindow() {
    CriticalSectionLock hold(m_lock.Native());
    return m_webPageWindow;
}

CViewBroser* GetViewBroser() {
    return TSingleInstance<CViewBroser>::Get();
}
