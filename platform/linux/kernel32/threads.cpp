// CreateThread over std::thread, TerminateThread, Sleep: the stand-in's seam
// of the cooperative stop, whose core is platform/base/stop_state.h.
#include "platform/linux/kernel32/thread_object.h"
#include "platform/thread_stop.h"

#include <atomic>
#include <chrono>
#include <system_error>
#include <thread>
#include <vector>

namespace platform {

namespace {

thread_local DWORD t_threadId = 0;

DWORD NewThreadId() {
    // Multiples of 4, never 0, as Windows hands them out.
    static std::atomic<DWORD> next{4};
    return next.fetch_add(4, std::memory_order_relaxed);
}

// Every CreateThread thread that has not been joined yet. A thread's object
// lives at least as long as its entry here, whatever happens to its handles.
struct ThreadRegistry {
    struct Entry {
        std::shared_ptr<ThreadObject> object;
        std::thread thread;
    };
    std::mutex mutex;
    std::condition_variable joined;
    std::vector<Entry> entries;  // guarded by mutex
    int joining = 0;             // entries taken out and not yet joined; guarded by mutex
};

// Never destroyed: a std::thread still joinable at destruction would end the
// process, and threads may outlive the statics.
ThreadRegistry& Registry() {
    static ThreadRegistry* registry = new ThreadRegistry;
    return *registry;
}

// registry.mutex held: moves the entries of finished threads into `out`.
void TakeFinishedLocked(ThreadRegistry& registry, std::vector<ThreadRegistry::Entry>& out) {
    auto& entries = registry.entries;
    for (auto it = entries.begin(); it != entries.end();) {
        if (it->object->Finished()) {
            out.push_back(std::move(*it));
            it = entries.erase(it);
        } else {
            ++it;
        }
    }
    registry.joining += static_cast<int>(out.size());
}

void JoinTaken(ThreadRegistry& registry, std::vector<ThreadRegistry::Entry>& taken) {
    if (taken.empty()) {
        return;
    }
    for (auto& entry : taken) {
        entry.thread.join();
    }
    std::size_t count = taken.size();
    taken.clear();
    std::lock_guard<std::mutex> lock(registry.mutex);
    registry.joining -= static_cast<int>(count);
    registry.joined.notify_all();
}

void RunThread(std::shared_ptr<ThreadObject> object, LPTHREAD_START_ROUTINE start, LPVOID parameter) {
    t_threadId = object->Id();
    object->Finish(RunStoppable(*object, start, parameter));
}

}  // namespace

ThreadObject* CurrentThreadObject() {
    // On this system every stop state is a thread object's.
    return static_cast<ThreadObject*>(CurrentStopState());
}

void ThreadObject::RequestStopLocked(DWORD exitCode) {
    if (m_finished || !Mark(exitCode)) {
        return;
    }
    if (m_blocked) {
        CancelWaitLocked(*m_blocked);
    }
}

void ThreadObject::Finish(DWORD returnedCode) {
    std::lock_guard<std::mutex> lock(KernelLock());
    // A stop requested after the routine returned still gives its code.
    m_exitCode = Requested() ? Code() : returnedCode;
    m_finished = true;
    m_finishedFlag.store(true, std::memory_order_release);
    WakeWaitersLocked();
}

void EndRemainingThreads() {
    ThreadRegistry& registry = Registry();
    ThreadObject* self = CurrentThreadObject();
    for (;;) {
        std::vector<ThreadRegistry::Entry> taken;
        {
            std::unique_lock<std::mutex> lock(registry.mutex);
            // Threads a CreateThread call is joining are done already; wait so
            // that nothing of theirs runs once this returns.
            registry.joined.wait(lock, [&] { return registry.joining == 0; });
            auto& entries = registry.entries;
            for (auto it = entries.begin(); it != entries.end();) {
                if (it->object.get() == self) {  // a thread cannot join itself
                    ++it;
                } else {
                    taken.push_back(std::move(*it));
                    it = entries.erase(it);
                }
            }
            registry.joining += static_cast<int>(taken.size());
        }
        if (taken.empty()) {
            return;
        }
        {
            std::lock_guard<std::mutex> lock(KernelLock());
            for (auto& entry : taken) {
                entry.object->RequestStopLocked(0);
            }
        }
        // Unwinding threads may start others; the loop ends those too.
        JoinTaken(registry, taken);
    }
}

}  // namespace platform

HANDLE CreateThread(LPSECURITY_ATTRIBUTES, SIZE_T, LPTHREAD_START_ROUTINE lpStartAddress, LPVOID lpParameter, DWORD,
                    LPDWORD lpThreadId) {
    // Starting a thread is a step a stopped thread must not take.
    if (platform::SkipStoppedStep(ERROR_CANCELLED)) {
        return nullptr;
    }
    if (!lpStartAddress) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    auto& registry = platform::Registry();
    auto object = std::make_shared<platform::ThreadObject>(platform::NewThreadId());
    std::vector<platform::ThreadRegistry::Entry> finished;
    {
        std::lock_guard<std::mutex> lock(registry.mutex);
        platform::TakeFinishedLocked(registry, finished);
        try {
            std::thread thread(platform::RunThread, object, lpStartAddress, lpParameter);
            registry.entries.push_back({object, std::move(thread)});
        } catch (const std::system_error&) {
            object.reset();  // no thread could be started
        }
    }
    platform::JoinTaken(registry, finished);
    if (!object) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    if (lpThreadId) {
        *lpThreadId = object->Id();
    }
    return platform::InsertHandle(std::move(object));
}

BOOL GetExitCodeThread(HANDLE hThread, LPDWORD lpExitCode) {
    auto thread = platform::LookupHandle<platform::ThreadObject>(hThread);
    if (!thread) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (!lpExitCode) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    std::lock_guard<std::mutex> lock(platform::KernelLock());
    *lpExitCode = thread->ExitCodeLocked();
    return TRUE;
}

BOOL TerminateThread(HANDLE hThread, DWORD dwExitCode) {
    auto thread = platform::LookupHandle<platform::ThreadObject>(hThread);
    if (!thread) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    {
        std::lock_guard<std::mutex> lock(platform::KernelLock());
        thread->RequestStopLocked(dwExitCode);
    }
    thread->WaitForStep();
    return TRUE;
}

DWORD GetCurrentThreadId() {
    if (platform::t_threadId == 0) {
        platform::t_threadId = platform::NewThreadId();
    }
    return platform::t_threadId;
}

void Sleep(DWORD dwMilliseconds) {
    platform::StopPoint();
    if (platform::StopRequested()) {
        return;  // unwinding already: a stopped thread does not sleep
    }
    DWORD milliseconds = platform::HookedSleep(dwMilliseconds);
    if (milliseconds == 0) {
        std::this_thread::yield();
        platform::StopPoint();
        return;
    }
    platform::ThreadObject* self = platform::CurrentThreadObject();
    if (!self) {
        // Never stopped: a plain sleep.
        if (milliseconds == INFINITE) {
            for (;;) {
                std::this_thread::sleep_for(std::chrono::hours(24));
            }
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
        return;
    }
    {
        std::unique_lock<std::mutex> lock(platform::KernelLock());
        platform::KernelWaiter waiter;
        platform::BlockLocked(lock, waiter, milliseconds);
    }
    platform::StopPoint();
}

namespace platform {

// A stop here frees a blocked transfer by ending its wait, never by closing
// the request: there is no second closer to stand in for.
StopCloser::StopCloser(void*, std::function<void()>) {}

StopCloser::~StopCloser() = default;

}  // namespace platform
