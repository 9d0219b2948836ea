#include "state/view_broser.h"

#include "state/launcher_settings.h"
#include "state/single_instance.h"

#include <algorithm>

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

namespace {

// What a file may still add: a packed copy larger than its content must
// not carry the whole past the file's end.
std::int64_t Credit(FileShare& share, std::int64_t count) {
    const std::int64_t added =
        std::clamp<std::int64_t>(count, 0, std::max<std::int64_t>(share.size - share.credited, 0));
    share.credited += added;
    return added;
}

}  // namespace

void CViewBroser::AddDone(std::int64_t count) {
    CriticalSectionLock hold(m_lock.Native());
    m_done[1] += m_receiving ? Credit(*m_receiving, count) : count;
}

void CViewBroser::AddScaledDone(FileShare& share, std::uint32_t count) {
    CriticalSectionLock hold(m_lock.Native());
    // Double keeps the product exact enough that a whole round never rounds
    // up past the bytes it stands for.
    m_done[1] +=
        Credit(share, static_cast<std::int64_t>(static_cast<double>(count) * static_cast<double>(share.unpackScale)));
}

void CViewBroser::BeginFile(FileShare& share, std::int64_t size) {
    CriticalSectionLock hold(m_lock.Native());
    m_fileStart = m_fileEnd;
    m_fileEnd += size;
    share = FileShare{size};
}

void CViewBroser::SetReceivingFile(FileShare& share) {
    CriticalSectionLock hold(m_lock.Native());
    m_receiving = &share;
}

void CViewBroser::EndReceivingFile(const FileShare& share) {
    CriticalSectionLock hold(m_lock.Native());
    // A stopped worker ends its transfer while unwinding, perhaps after the
    // next one began: only its own is ended.
    if (m_receiving == &share)
        m_receiving = nullptr;
}

bool CViewBroser::BeginFileUnpack(FileShare& share) {
    CriticalSectionLock hold(m_lock.Native());
    // An empty file produces nothing to scale.
    share.unpackScale =
        share.size > 0 ? static_cast<float>(share.size - share.credited) / static_cast<float>(share.size) : 0.0f;
    return share.credited < share.size;
}

void CViewBroser::CompleteFile(FileShare& share) {
    CriticalSectionLock hold(m_lock.Native());
    m_done[1] += share.size - share.credited;
    share.credited = share.size;
}

void CViewBroser::RollBackFile(FileShare& share) {
    CriticalSectionLock hold(m_lock.Native());
    m_done[0] = 0;
    m_done[1] -= share.credited;
    share.credited = 0;
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
