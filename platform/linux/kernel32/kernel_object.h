// The objects behind HANDLE: a handle table of reference-counted kernel
// objects, and the one lock that guards the signal state of everything that
// can be waited on.
//
// Handles are small numbers (multiples of 4, never 0 and never
// INVALID_HANDLE_VALUE) that index a process-wide table; a handle value is
// never reused, so a closed or made-up handle is always reported as
// ERROR_INVALID_HANDLE instead of reaching freed memory. The table holds one
// reference per handle; whoever uses an object takes its own reference for the
// duration (LookupHandle), so CloseHandle while another thread waits on the
// object is safe, as on Windows: the wait goes on with the object kept alive.
//
// ---- Making a new kind of waitable object (processes, for example) ----
//
//   class ProcessObject : public platform::KernelObject {
//   public:
//       bool IsWaitable() const override { return true; }
//   protected:
//       // Under KernelLock(): signalled once the process has exited. Not
//       // consumed by a wait (a process stays signalled, like a manual-reset
//       // event); an auto-reset kind would clear its state here instead.
//       bool TryAcquireLocked() override { return m_exited; }
//   public:
//       void OnExit(DWORD code) {  // from whatever learns of the exit
//           std::lock_guard<std::mutex> lock(platform::KernelLock());
//           m_exited = true;
//           m_exitCode = code;
//           WakeWaitersLocked();
//       }
//   private:
//       bool m_exited = false;   // guarded by KernelLock()
//       DWORD m_exitCode = STILL_ACTIVE;  // guarded by KernelLock()
//   };
//
//   HANDLE h = platform::InsertHandle(std::make_shared<ProcessObject>());
//   auto p = platform::LookupHandle<ProcessObject>(h);  // null when not one
//
// Rules of the protocol:
// - TryAcquireLocked() and WakeWaitersLocked() run with KernelLock() held;
//   every member they read is guarded by KernelLock().
// - After any change that can make TryAcquireLocked() return true, call
//   WakeWaitersLocked() before releasing the lock. It hands the object to the
//   queued waiters, oldest first, calling TryAcquireLocked() once for each,
//   until it returns false. So an object that is consumed by a wait (an
//   auto-reset event) releases exactly one waiter per signal, and a signalled
//   object never has waiters queued.
// - WaitForSingleObject does the rest: time-outs, and unwinding a thread
//   whose stop was requested (thread_stop.h), both while it waits and when
//   the stop came before the wait.
// - Do not call back into handle functions, destroy kernel objects, or block
//   while holding KernelLock(). A thread that must block on something else
//   (waitpid, a pipe) does it without the lock and takes the lock only to
//   publish the result.
#pragma once

#include "platform/kernel32.h"

#include <deque>
#include <memory>
#include <mutex>

namespace platform {

// Guards the signal state of every waitable object and the wait queues.
// Process-wide and never destroyed, so it stays usable while statics end.
std::mutex& KernelLock();

struct KernelWaiter;

// The base of everything a HANDLE refers to.
class KernelObject {
public:
    KernelObject() = default;
    virtual ~KernelObject();
    KernelObject(const KernelObject&) = delete;
    KernelObject& operator=(const KernelObject&) = delete;

    // True for objects WaitForSingleObject accepts; on the others it fails
    // with ERROR_INVALID_HANDLE.
    virtual bool IsWaitable() const { return false; }

protected:
    // KernelLock() held. True when a wait on this object is satisfied now; an
    // object that a wait consumes (auto-reset event) clears its state here.
    virtual bool TryAcquireLocked() { return false; }

    // KernelLock() held. Call after the object may have become signalled:
    // hands it to the queued waiters in arrival order while TryAcquireLocked()
    // succeeds.
    void WakeWaitersLocked();

private:
    friend DWORD WaitOnObject(const std::shared_ptr<KernelObject>& object, DWORD milliseconds);
    friend void CancelWaitLocked(KernelWaiter& waiter);
    friend void BlockLocked(std::unique_lock<std::mutex>& lock, KernelWaiter& waiter, DWORD milliseconds);

    std::deque<KernelWaiter*> m_waiters;  // guarded by KernelLock(), oldest first
};

// Puts the object in the handle table and returns its new handle.
HANDLE InsertHandle(std::shared_ptr<KernelObject> object);
// The object behind a handle, or null when the handle is not open.
std::shared_ptr<KernelObject> LookupHandleObject(HANDLE handle);
// The object behind a handle when it is a T, otherwise null.
template <class T>
std::shared_ptr<T> LookupHandle(HANDLE handle) {
    return std::dynamic_pointer_cast<T>(LookupHandleObject(handle));
}

// The wait behind WaitForSingleObject, for an object already looked up.
// Returns WAIT_OBJECT_0 or WAIT_TIMEOUT; throws ThreadStopRequested on a
// thread whose stop was requested.
DWORD WaitOnObject(const std::shared_ptr<KernelObject>& object, DWORD milliseconds);

}  // namespace platform
