// The cooperative stop's core, the same on both systems: what a stop request
// marks on a CreateThread thread, what its stop points and visible steps read
// (thread_stop.h), and the frame its routine runs in. Each system's kernel32
// derives its thread's state from StopState and keeps only its seam: how a
// thread is started and waited for, and how a stop wakes it where it blocks.
#pragma once

#include "platform/kernel32.h"
#include "platform/thread_stop.h"

#include <atomic>
#include <mutex>

namespace platform {

class StopState {
public:
    StopState() = default;
    StopState(const StopState&) = delete;
    StopState& operator=(const StopState&) = delete;

    bool Requested() const { return m_stop.load(std::memory_order_acquire); }
    // The code the first request gave, once Requested().
    DWORD Code() const { return m_code.load(std::memory_order_relaxed); }

    // Records the code and marks the stop, unless a request came first: false
    // then. Whoever stops threads serialises the calls under a lock of its
    // own, under which it also wakes the thread.
    bool Mark(DWORD exitCode);
    // Returns once a visible step the thread has begun is over, so that
    // nothing it writes reaches memory its successor uses.
    void WaitForStep();

private:
    friend class VisibleStep;

    std::atomic<bool> m_stop{false};
    std::atomic<DWORD> m_code{0};
    // Held by the thread during a visible step.
    std::mutex m_stepLock;
};

// The calling thread's state; null for threads not started by CreateThread
// (the main thread, test threads), which are never stopped.
StopState* CurrentStopState();

// Runs a CreateThread routine on the calling thread with `state` as its stop
// state, catching the stop's unwinding: the routine's result, or the stop's
// code when a stop was requested.
DWORD RunStoppable(StopState& state, LPTHREAD_START_ROUTINE routine, LPVOID parameter);

// What a Sleep of `milliseconds` really sleeps: the test hook's answer
// (SetSleepHook), or the milliseconds themselves.
DWORD HookedSleep(DWORD milliseconds);

// A stop point before a step that can be skipped: a stopped thread unwinds,
// or, inside a destructor run by unwinding, the step fails with `error`.
inline bool SkipStoppedStep(DWORD error) {
    StopPoint();
    if (!StopRequested())
        return false;
    SetLastError(error);
    return true;
}

}  // namespace platform
