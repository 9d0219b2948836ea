// Handle table, the kernel lock, waiting, and the thread's last error.
#include "platform/linux/kernel32/kernel_object.h"

#include "platform/base/handle_table.h"
#include "platform/linux/kernel32/thread_object.h"
#include "platform/thread_stop.h"

#include <algorithm>
#include <chrono>

namespace platform {

namespace {

// From 4 up, as Windows hands them out.
HandleTable<std::shared_ptr<KernelObject>>& Handles() {
    return ProcessHandleTable<std::shared_ptr<KernelObject>, 4>();
}

thread_local DWORD t_lastError = ERROR_SUCCESS;

}  // namespace

std::mutex& KernelLock() {
    static std::mutex* lock = new std::mutex;
    return *lock;
}

KernelObject::~KernelObject() = default;

void KernelObject::WakeWaitersLocked() {
    while (!m_waiters.empty() && TryAcquireLocked()) {
        KernelWaiter* waiter = m_waiters.front();
        m_waiters.pop_front();
        waiter->queued = false;
        waiter->satisfied = true;
        waiter->wake.notify_one();
    }
}

void CancelWaitLocked(KernelWaiter& waiter) {
    if (waiter.queued) {
        auto& queue = waiter.object->m_waiters;
        queue.erase(std::find(queue.begin(), queue.end(), &waiter));
        waiter.queued = false;
    }
    waiter.cancelled = true;
    waiter.wake.notify_one();
}

HANDLE InsertHandle(std::shared_ptr<KernelObject> object) {
    return Handles().Insert(std::move(object));
}

std::shared_ptr<KernelObject> LookupHandleObject(HANDLE handle) {
    return Handles().Lookup(handle).value_or(nullptr);
}

void BlockLocked(std::unique_lock<std::mutex>& lock, KernelWaiter& waiter, DWORD milliseconds) {
    ThreadObject* self = CurrentThreadObject();
    if (self) {
        if (self->Requested()) {
            CancelWaitLocked(waiter);
            return;
        }
        self->m_blocked = &waiter;
    }
    auto done = [&] { return waiter.satisfied || waiter.cancelled; };
    if (milliseconds == INFINITE) {
        waiter.wake.wait(lock, done);
    } else {
        auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
        waiter.wake.wait_until(lock, deadline, done);
    }
    if (self) {
        self->m_blocked = nullptr;
    }
    // Timed out: leave the queue so no later signal is handed to a wait that
    // is over.
    if (waiter.queued) {
        auto& queue = waiter.object->m_waiters;
        queue.erase(std::find(queue.begin(), queue.end(), &waiter));
        waiter.queued = false;
    }
}

DWORD WaitOnObject(const std::shared_ptr<KernelObject>& object, DWORD milliseconds) {
    ThreadObject* self = CurrentThreadObject();
    std::unique_lock<std::mutex> lock(KernelLock());
    // The stop flag is written under this lock, so a stop that comes after
    // this check finds the thread queued and cancels it.
    if (self && self->Requested()) {
        lock.unlock();
        StopPoint();
        SetLastError(ERROR_CANCELLED);
        return WAIT_FAILED;
    }
    if (object->TryAcquireLocked()) {
        return WAIT_OBJECT_0;
    }
    if (milliseconds == 0) {
        return WAIT_TIMEOUT;
    }
    KernelWaiter waiter;
    waiter.object = object.get();
    waiter.queued = true;
    object->m_waiters.push_back(&waiter);
    BlockLocked(lock, waiter, milliseconds);
    // A stop request removes the waiter from the queue under the lock, so an
    // object handed over here was handed over before the stop, like a signal
    // a Windows thread consumed just before it was terminated.
    if (self && self->Requested()) {
        lock.unlock();
        StopPoint();
        SetLastError(ERROR_CANCELLED);
        return WAIT_FAILED;
    }
    return waiter.satisfied ? WAIT_OBJECT_0 : WAIT_TIMEOUT;
}

}  // namespace platform

DWORD GetLastError() {
    return platform::t_lastError;
}

void SetLastError(DWORD dwErrCode) {
    platform::t_lastError = dwErrCode;
}

BOOL CloseHandle(HANDLE hObject) {
    auto object = platform::Handles().Take(hObject);
    if (!object) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    // The object may end here, outside every lock.
    object.reset();
    return TRUE;
}

DWORD WaitForSingleObject(HANDLE hHandle, DWORD dwMilliseconds) {
    platform::StopPoint();
    auto object = platform::LookupHandleObject(hHandle);
    if (!object || !object->IsWaitable()) {
        SetLastError(ERROR_INVALID_HANDLE);
        return WAIT_FAILED;
    }
    return platform::WaitOnObject(object, dwMilliseconds);
}
