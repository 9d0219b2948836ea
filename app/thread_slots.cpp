#include "app/thread_slots.h"

#include "state/controller.h"

namespace {

std::atomic<HANDLE> g_slots[static_cast<int>(ThreadSlot::Count)];
std::atomic<HANDLE> g_sideBySide[kMaxSideBySideWorkers];

std::atomic<HANDLE>& Slot(ThreadSlot slot) {
    return g_slots[static_cast<int>(slot)];
}

}  // namespace

HANDLE StartSlotThread(ThreadSlot slot, LPTHREAD_START_ROUTINE procedure) {
    void* parameter = GetController()->mainDialog.load();
    HANDLE thread = CreateThread(nullptr, 0, procedure, parameter, 0, nullptr);
    if (slot == ThreadSlot::Count) {
        if (thread)
            CloseHandle(thread);
        return nullptr;
    }
    if (HANDLE previous = Slot(slot).exchange(thread))
        CloseHandle(previous);
    return thread;
}

bool StartSideBySideWorker(LPTHREAD_START_ROUTINE procedure, LPVOID parameter, HANDLE& thread) {
    thread = nullptr;
    for (std::atomic<HANDLE>& handle : g_sideBySide) {
        // Reserved before the thread starts, so that a stop finds it.
        HANDLE expected = nullptr;
        if (!handle.compare_exchange_strong(expected, INVALID_HANDLE_VALUE))
            continue;
        HANDLE started = CreateThread(nullptr, 0, procedure, parameter, 0, nullptr);
        expected = INVALID_HANDLE_VALUE;
        if (!started) {
            handle.compare_exchange_strong(expected, nullptr);
            return false;
        }
        if (handle.compare_exchange_strong(expected, started)) {
            thread = started;
        } else {
            // The workers were stopped meanwhile: so is this one.
            TerminateThread(started, 0);
            CloseHandle(started);
        }
        return true;
    }
    return false;
}

namespace {

void StopThread(std::atomic<HANDLE>& slot) {
    HANDLE thread = slot.exchange(nullptr);
    if (thread && thread != INVALID_HANDLE_VALUE) {
        TerminateThread(thread, 0);
        CloseHandle(thread);
    }
}

}  // namespace

void StopSlotThread(ThreadSlot slot) {
    StopThread(Slot(slot));
    if (slot == ThreadSlot::DownloadWorker)
        for (std::atomic<HANDLE>& handle : g_sideBySide)
            StopThread(handle);
}

bool ReleaseSlotThread(ThreadSlot slot, HANDLE thread) {
    HANDLE expected = thread;
    if (Slot(slot).compare_exchange_strong(expected, nullptr))
        return true;
    if (slot != ThreadSlot::DownloadWorker)
        return false;
    for (std::atomic<HANDLE>& handle : g_sideBySide) {
        expected = thread;
        if (handle.compare_exchange_strong(expected, nullptr))
            return true;
    }
    return false;
}
