// Handle table, the kernel lock, waiting, and the thread's last error.
#include "platform/linux/kernel32/kernel_object.h"

#include "platform/linux/kernel32/thread_object.h"
#include "platform/thread_stop.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <exception>
#include <unordered_map>

namespace platform {

namespace {

// Handles are never reused, so a stale one is reported, not misdirected.
struct HandleTable {
    std::mutex mutex;
    std::uintptr_t next = 4;
    std::unordered_map<std::uintptr_t, std::shared_ptr<KernelObject>> objects;
};

// Never destroyed: threads may still close handles while statics end.
HandleTable& Handles() {
    static HandleTable* table = new HandleTable;
    return *table;
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
    HandleTable& table = Handles();
    std::lock_guard<std::mutex> lock(table.mutex);
    std::uintptr_t value = table.next;
    table.next += 4;
    table.objects.emplace(value, std::move(object));
    return reinterpret_cast<HANDLE>(value);
}

std::shared_ptr<KernelObject> LookupHandleObject(HANDLE handle) {
    HandleTable& table = Handles();
    std::lock_guard<std::mutex> lock(table.mutex);
    auto it = table.objects.find(reinterpret_cast<std::uintptr_t>(handle));
    return it == table.objects.end() ? nullptr : it->second;
}

void UnwindStoppedThread() {
    if (std::uncaught_exceptions() == 0) {
        throw ThreadStopRequested{};
    }
}

void BlockLocked(std::unique_lock<std::mutex>& lock, KernelWaiter& waiter, DWORD milliseconds) {
    ThreadObject* self = CurrentThreadObject();
    if (self) {
        if (self->StopFlag()) {
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
    if (self && self->StopFlag()) {
        lock.unlock();
        UnwindStoppedThread();
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
    if (self && self->StopFlag()) {
        lock.unlock();
        UnwindStoppedThread();
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
    std::shared_ptr<platform::KernelObject> object;
    {
        auto& table = platform::Handles();
        std::lock_guard<std::mutex> lock(table.mutex);
        auto it = table.objects.find(reinterpret_cast<std::uintptr_t>(hObject));
        if (it == table.objects.end()) {
            SetLastError(ERROR_INVALID_HANDLE);
            return FALSE;
        }
        object = std::move(it->second);
        table.objects.erase(it);
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
