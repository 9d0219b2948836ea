// The stop points, visible steps and sleep hook of both systems, over the
// calling thread's StopState.
#include "platform/base/stop_state.h"

#include <exception>

namespace platform {

namespace {

thread_local StopState* t_state = nullptr;

std::mutex g_sleepHookMutex;
SleepHook g_sleepHook;  // guarded by g_sleepHookMutex

}  // namespace

bool StopState::Mark(DWORD exitCode) {
    if (m_stop.load(std::memory_order_relaxed))
        return false;
    m_code.store(exitCode, std::memory_order_relaxed);
    m_stop.store(true, std::memory_order_release);
    return true;
}

void StopState::WaitForStep() {
    std::lock_guard<std::mutex> step(m_stepLock);
}

StopState* CurrentStopState() {
    return t_state;
}

DWORD RunStoppable(StopState& state, LPTHREAD_START_ROUTINE routine, LPVOID parameter) {
    t_state = &state;
    DWORD code = 0;
    try {
        code = routine(parameter);
    } catch (const ThreadStopRequested&) {
        // The exit code is the one the stop request gave.
    }
    if (state.Requested())
        code = state.Code();
    t_state = nullptr;
    return code;
}

bool StopRequested() {
    const StopState* self = t_state;
    return self && self->Requested();
}

void StopPoint() {
    // Inside a destructor run by unwinding a throw would end the process.
    if (StopRequested() && std::uncaught_exceptions() == 0)
        throw ThreadStopRequested{};
}

VisibleStep::VisibleStep() {
    StopState* self = t_state;
    if (!self)
        return;
    m_lock = std::unique_lock<std::mutex>(self->m_stepLock);
    m_allowed = !self->Requested();
}

VisibleStep::~VisibleStep() = default;

void SetSleepHook(SleepHook hook) {
    std::lock_guard<std::mutex> lock(g_sleepHookMutex);
    g_sleepHook = std::move(hook);
}

DWORD HookedSleep(DWORD milliseconds) {
    SleepHook hook;
    {
        std::lock_guard<std::mutex> lock(g_sleepHookMutex);
        hook = g_sleepHook;
    }
    return hook ? hook(milliseconds) : milliseconds;
}

}  // namespace platform
