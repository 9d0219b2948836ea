// Cooperative thread stop. TerminateThread only asks; the stopped thread
// unwinds by throwing ThreadStopRequested from its next stop point, so every
// lock and file it holds is released by RAII and it does nothing further.
//
// ThreadStopRequested deliberately does not derive from std::exception: code
// that runs on worker threads catches std::exception (or its own types), never
// a bare catch (...) that would swallow the unwinding.
#pragma once

#include "platform/kernel32.h"

#include <functional>
#include <mutex>

struct ThreadStopRequested {};

namespace platform {

// True when the calling thread was asked to stop.
bool StopRequested();
// Throws ThreadStopRequested when the calling thread was asked to stop.
// Called before every visible step: event signal, text, counter, file write.
// Inside a destructor run by unwinding it returns instead (a throw there would
// end the process); the stand-in's own steps then skip their effect: SetEvent
// and ResetEvent return FALSE (ERROR_CANCELLED), a wait returns WAIT_FAILED,
// Sleep returns at once. EnterCriticalSection still takes the lock there.
//
// Stop points of the stand-in: WaitForSingleObject (before and while
// waiting), Sleep (before and while sleeping), SetEvent, ResetEvent,
// EnterCriticalSection (before acquiring), CreateThread. Threads not started
// by CreateThread are never stopped.
void StopPoint();

// A step that writes memory another thread may reuse once this one is
// stopped (a lent transfer buffer): TerminateThread returns only after a step
// already begun is over, and a step begun after the stop request must do
// nothing (Allowed() is false). Never throws, so it may run inside callbacks
// of C libraries.
class VisibleStep {
public:
    VisibleStep();
    ~VisibleStep();
    VisibleStep(const VisibleStep&) = delete;
    VisibleStep& operator=(const VisibleStep&) = delete;

    bool Allowed() const { return m_allowed; }

private:
    std::unique_lock<std::mutex> m_lock;
    bool m_allowed = true;
};

// Who closes a request the calling thread may block on. A stop frees a
// network call blocked on a request by closing it; when another object also
// closes that request from other threads (a canceller), two closers would
// close one handle twice, and the second close could hit another request that
// was given the same handle value. While a StopCloser lives, a stop of the
// calling thread blocked on `request` calls `close` instead, and that object
// decides, once. Where a stop frees a blocked call without closing its
// request, it changes nothing. Made and destroyed on the thread that blocks;
// its destruction waits for a close the stop is making through it.
class StopCloser {
public:
    StopCloser(void* request, std::function<void()> close);
    ~StopCloser();
    StopCloser(const StopCloser&) = delete;
    StopCloser& operator=(const StopCloser&) = delete;
};

// Scoped holder of a critical section.
class CriticalSectionLock {
public:
    explicit CriticalSectionLock(CRITICAL_SECTION& cs) : m_cs(cs) { EnterCriticalSection(&m_cs); }
    ~CriticalSectionLock() { LeaveCriticalSection(&m_cs); }
    CriticalSectionLock(const CriticalSectionLock&) = delete;
    CriticalSectionLock& operator=(const CriticalSectionLock&) = delete;

private:
    CRITICAL_SECTION& m_cs;
};

// Tests watch and shorten long waits: the hook receives each Sleep's duration
// and returns the milliseconds actually slept. An empty hook restores real sleeps.
using SleepHook = std::function<DWORD(DWORD)>;
void SetSleepHook(SleepHook hook);

// Asks every thread still running to stop and waits for them to unwind:
// what the end of a process does to its threads on Windows. Their exit code
// becomes 0. Call it before main returns (and at the end of tests that start
// threads): threads still running while statics are destroyed would use them.
// Threads it starts while unwinding are ended too. On a CreateThread thread it
// ends every thread but the caller.
void EndRemainingThreads();

}  // namespace platform
