#include "app/thread_slots.h"

#include "state/controller.h"

namespace {

std::atomic<HANDLE> g_slots[static_cast<int>(ThreadSlot::Count)];

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

void StopSlotThread(ThreadSlot slot) {
    if (HANDLE thread = Slot(slot).exchange(nullptr)) {
        TerminateThread(thread, 0);
        CloseHandle(thread);
    }
}

bool ReleaseSlotThread(ThreadSlot slot, HANDLE thread) {
    HANDLE expected = thread;
    return Slot(slot).compare_exchange_strong(expected, nullptr);
}
