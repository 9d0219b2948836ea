// Events: manual- and auto-reset, waited on through the kernel object queue.
#include "platform/linux/kernel32/kernel_object.h"
#include "platform/linux/kernel32/thread_object.h"
#include "platform/thread_stop.h"

namespace platform {

namespace {

class EventObject : public KernelObject {
public:
    EventObject(bool manualReset, bool initialState) : m_manualReset(manualReset), m_signalled(initialState) {}

    bool IsWaitable() const override { return true; }

    // Both are visible steps. The stop flag is checked under the same lock
    // that TerminateThread sets it under, so a thread whose stop request has
    // returned can no longer change the event. False when the calling thread
    // was stopped and nothing changed.
    bool Set() {
        std::lock_guard<std::mutex> lock(KernelLock());
        if (StopRequested()) {
            return false;
        }
        m_signalled = true;
        // An auto-reset event goes to the oldest waiter and is not signalled
        // afterwards; with nobody waiting it stays signalled for the next wait.
        WakeWaitersLocked();
        return true;
    }

    bool Reset() {
        std::lock_guard<std::mutex> lock(KernelLock());
        if (StopRequested()) {
            return false;
        }
        m_signalled = false;
        return true;
    }

protected:
    bool TryAcquireLocked() override {
        if (!m_signalled) {
            return false;
        }
        if (!m_manualReset) {
            m_signalled = false;
        }
        return true;
    }

private:
    const bool m_manualReset;
    bool m_signalled;  // guarded by KernelLock()
};

// A stopped thread unwinds; inside a destructor (no throw possible) the step
// is skipped.
BOOL StoppedStep() {
    StopPoint();
    SetLastError(ERROR_CANCELLED);
    return FALSE;
}

}  // namespace

}  // namespace platform

HANDLE CreateEventW(LPSECURITY_ATTRIBUTES, BOOL bManualReset, BOOL bInitialState, LPCWSTR) {
    return platform::InsertHandle(
        std::make_shared<platform::EventObject>(bManualReset != FALSE, bInitialState != FALSE));
}

BOOL SetEvent(HANDLE hEvent) {
    platform::StopPoint();
    auto event = platform::LookupHandle<platform::EventObject>(hEvent);
    if (!event) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    return event->Set() ? TRUE : platform::StoppedStep();
}

BOOL ResetEvent(HANDLE hEvent) {
    platform::StopPoint();
    auto event = platform::LookupHandle<platform::EventObject>(hEvent);
    if (!event) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    return event->Reset() ? TRUE : platform::StoppedStep();
}
