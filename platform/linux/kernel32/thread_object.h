// Internal to the stand-in: the kernel object of a CreateThread thread, and
// how a blocked thread is found and woken by a stop request.
#pragma once

#include "platform/base/stop_state.h"
#include "platform/linux/kernel32/kernel_object.h"

#include <atomic>
#include <condition_variable>
#include <mutex>

namespace platform {

// One blocked wait or sleep, living on the blocked thread's stack. Every
// member is guarded by KernelLock().
struct KernelWaiter {
    std::condition_variable wake;
    KernelObject* object = nullptr;  // the object whose queue holds it; null for Sleep
    bool queued = false;             // still in object->m_waiters
    bool satisfied = false;          // the object was handed to this waiter
    bool cancelled = false;          // the waiting thread's stop was requested
};

// KernelLock() held: takes the waiter out of its object's queue, marks it
// cancelled and wakes it.
void CancelWaitLocked(KernelWaiter& waiter);

// Its stop state is the object itself: a stop request marks it under
// KernelLock(), which every wait checks it under.
class ThreadObject : public KernelObject, public StopState {
public:
    explicit ThreadObject(DWORD id) : m_id(id) {}

    bool IsWaitable() const override { return true; }
    DWORD Id() const { return m_id; }

    // KernelLock() held. Asks the thread to stop with the given exit code and
    // wakes it if it is blocked. The first request's code stands; a thread
    // that has finished is left as it is.
    void RequestStopLocked(DWORD exitCode);

    // KernelLock() held: the exit code, STILL_ACTIVE while running.
    DWORD ExitCodeLocked() const { return m_finished ? m_exitCode : STILL_ACTIVE; }

    // Called by the thread itself when its start routine is over: records the
    // exit code (the stop code when a stop was requested) and releases the
    // threads waiting for it.
    void Finish(DWORD returnedCode);
    // True once Finish has run; the std::thread can then be joined at once.
    bool Finished() const { return m_finishedFlag.load(std::memory_order_acquire); }

    // KernelLock() held: the wait or sleep the thread is blocked in, if any.
    KernelWaiter* m_blocked = nullptr;

protected:
    bool TryAcquireLocked() override { return m_finished; }

private:
    const DWORD m_id;
    std::atomic<bool> m_finishedFlag{false};
    bool m_finished = false;          // guarded by KernelLock()
    DWORD m_exitCode = STILL_ACTIVE;  // guarded by KernelLock()
};

// The calling thread's object, or null for threads not made by CreateThread
// (the main thread, test threads): those are never stopped.
ThreadObject* CurrentThreadObject();

// KernelLock() held through `lock`: blocks the calling thread on `waiter`
// until it is satisfied or cancelled, or `milliseconds` have passed
// (INFINITE: no limit). A stop request for the calling thread cancels it.
void BlockLocked(std::unique_lock<std::mutex>& lock, KernelWaiter& waiter, DWORD milliseconds);

}  // namespace platform
