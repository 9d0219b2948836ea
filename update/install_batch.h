// Files of pendingFiles brought up to date side by side: a few workers each
// take the next file from the back while the batch goes on, and hand it
// back when it is done, so that one file downloads while others unpack.
#pragma once

#include "state/launcher_windows.h"
#include "update/admission_gate.h"
#include "update/update_context.h"

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

// What every decoder of a batch may hold at once: the 32-bit program keeps
// most of its address space for everything else.
constexpr std::uint64_t kDecoderMemoryBudget = std::uint64_t{256} << 20;

// What files installed side by side share: one transfer at a time (the one
// transfer buffer), and decoders within the memory budget, one per core.
struct InstallGates {
    explicit InstallGates(int decoders);

    CAdmissionGate transfer;
    CAdmissionGate decoders;
};

class CInstallBatch {
public:
    // workers: how many files may be in hand at once.
    CInstallBatch(CUpdateContext& context, ILauncherWindow* window, int workers, int decoders);
    CInstallBatch(const CInstallBatch&) = delete;
    CInstallBatch& operator=(const CInstallBatch&) = delete;

    CUpdateContext& Context() { return m_context; }
    ILauncherWindow* Window() const { return m_window; }
    InstallGates& Gates() { return m_gates; }
    int Workers() const { return m_workers; }

    // The last entry no worker has in hand, and its turn (the order it was
    // taken in); none once a file failed, the launcher is closing or
    // offline, or nothing is left. An entry whose path another worker has
    // in hand waits for it: both would write the same files.
    struct Taken {
        FileEntry entry;
        std::uint64_t turn = 0;
    };
    std::optional<Taken> Take();
    // Files move into place in the order they were taken, so that an update
    // that fails leaves the files after the failed one as they were, as if
    // one file went at a time. Waits until every file taken before is in
    // place: true; false when one of them failed (this one is then left
    // out, its entry kept).
    bool AwaitTurn(std::uint64_t turn);
    // current: the file is in place (after its turn), or it failed. A file
    // leaves pendingFiles when its turn comes, a failed one ending the batch.
    void Finish(const Taken& taken, bool current);
    // True when no file failed.
    bool Succeeded();

private:
    // Under the context lock: the next entry to take, if any is left.
    const FileEntry* NextEntry() const;
    // Under the context lock: the turn's entry leaves pendingFiles.
    void Settle(const std::wstring& path);
    // Under the context lock: whether the system is online, as it was the
    // first time the batch asked.
    bool Online();

    CUpdateContext& m_context;
    ILauncherWindow* m_window;
    const int m_workers;
    InstallGates m_gates;
    // A manual-reset event, set by the next file handed back and then
    // replaced: every worker that waits for a change wakes at once.
    struct Change {
        Change();
        ~Change();
        Change(const Change&) = delete;
        Change& operator=(const Change&) = delete;
        HANDLE hEvent;
    };
    std::shared_ptr<Change> m_change;
    std::vector<std::wstring> m_inHand;
    std::uint64_t m_turns = 0;
    // Turns before this one are settled, all in place.
    std::uint64_t m_settled = 0;
    // Failed files whose turn has not come yet, by turn.
    std::map<std::uint64_t, std::wstring> m_failedAhead;
    bool m_ended = false;
    std::optional<bool> m_online;
    // A file failed; once its turn came, nothing after it moves in.
    bool m_failed = false;
    bool m_failureSettled = false;
};
