#include "update/install_batch.h"

#include "platform/wininet.h"
#include "state/controller.h"

#include <algorithm>
#include <limits>
#include <utility>

namespace {

// How often a waiting worker looks again without a change: closing and
// going offline are not signalled.
constexpr DWORD kRecheckMs = 10;

}  // namespace

InstallGates::InstallGates(int decoders)
    : transfer(1, std::numeric_limits<std::uint64_t>::max()), decoders(decoders, kDecoderMemoryBudget) {}

CInstallBatch::CInstallBatch(CUpdateContext& context, ILauncherWindow* window, int workers, int decoders)
    : m_context(context),
      m_window(window),
      m_workers(workers),
      m_gates(decoders),
      m_change(std::make_shared<Change>()) {}

CInstallBatch::Change::Change() : hEvent(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}

CInstallBatch::Change::~Change() {
    CloseHandle(hEvent);
}

const FileEntry* CInstallBatch::NextEntry() const {
    // Entries are taken from the back, so those in hand are the last of
    // their path.
    std::vector<std::wstring> inHand = m_inHand;
    for (auto entry = m_context.pendingFiles.rbegin(); entry != m_context.pendingFiles.rend(); ++entry) {
        const auto held = std::find(inHand.begin(), inHand.end(), entry->path);
        if (held == inHand.end())
            return &*entry;
        inHand.erase(held);
    }
    return nullptr;
}

std::optional<CInstallBatch::Taken> CInstallBatch::Take() {
    std::shared_ptr<Change> change;
    for (;;) {
        {
            ContextLockHolder hold(m_context);
            // As the one-at-a-time loop: a launcher that is closing starts
            // nothing offline, and after the first file the batch ends when
            // it closes or is offline.
            const bool closing = GetController()->closing != 0;
            if (!m_ended && (m_failed || (m_turns != 0 ? closing || !Online() : closing && !Online())))
                m_ended = true;
            const FileEntry* next = m_ended ? nullptr : NextEntry();
            if (!next)
                return std::nullopt;
            if (std::find(m_inHand.begin(), m_inHand.end(), next->path) == m_inHand.end()) {
                m_inHand.push_back(next->path);
                return Taken{*next, m_turns++};
            }
            change = m_change;
        }
        WaitForSingleObject(change->hEvent, kRecheckMs);
    }
}

bool CInstallBatch::AwaitTurn(std::uint64_t turn) {
    std::shared_ptr<Change> change;
    for (;;) {
        {
            ContextLockHolder hold(m_context);
            if (m_settled == turn)
                return true;
            if (m_failureSettled)
                return false;
            change = m_change;
        }
        WaitForSingleObject(change->hEvent, kRecheckMs);
    }
}

void CInstallBatch::Settle(const std::wstring& path) {
    std::vector<FileEntry>& pending = m_context.pendingFiles;
    const auto last =
        std::find_if(pending.rbegin(), pending.rend(), [&](const FileEntry& other) { return other.path == path; });
    if (last != pending.rend())
        pending.erase(std::next(last).base());
}

void CInstallBatch::Finish(const Taken& taken, bool current) {
    std::shared_ptr<Change> change;
    {
        ContextLockHolder hold(m_context);
        m_inHand.erase(std::find(m_inHand.begin(), m_inHand.end(), taken.entry.path));
        if (!current) {
            m_failed = true;
            m_failedAhead.emplace(taken.turn, taken.entry.path);
        } else if (!m_failureSettled && m_settled == taken.turn) {
            Settle(taken.entry.path);
            ++m_settled;
        }
        // Files in place wait for their turn, failed ones do not: the
        // next turn may be a failure already known.
        const auto failed = m_failedAhead.find(m_settled);
        if (!m_failureSettled && failed != m_failedAhead.end()) {
            Settle(failed->second);
            m_failureSettled = true;
        }
        change = std::exchange(m_change, std::make_shared<Change>());
    }
    SetEvent(change->hEvent);
}

bool CInstallBatch::Online() {
    // Asked once per batch: the question lists the system's interfaces, which
    // costs a small file's install as much as its transfer. A connection lost
    // later fails the transfers under way, which ends the batch.
    if (!m_online)
        m_online = InternetGetConnectedState(nullptr, 0) != FALSE;
    return *m_online;
}

bool CInstallBatch::Succeeded() {
    ContextLockHolder hold(m_context);
    return !m_failed;
}
