// Real threads with the cooperative stop, whose core is
// platform/base/stop_state.h: CreateThread runs the routine in the core's
// frame, TerminateThread asks, and the waits and sleeps of a thread also wait
// for its stop request.
#include "platform/routed_calls.h"
#include "platform/thread_stop.h"
#include "platform/win32/kernel32/stop_wake.h"

#include "platform/win32/kernel32/real_calls.h"

#include <memory>
#include <vector>

namespace platform::win32 {

namespace {

// A thread started by CreateThread and not yet ended, with a handle of its
// own so that the end of the process can wait for it.
struct ThreadRecord {
    explicit ThreadRecord(DWORD threadId) : id(threadId) {}
    ~ThreadRecord() {
        if (handle)
            CloseHandle(handle);
    }
    const DWORD id;
    HANDLE handle = nullptr;
    StopWake state;
};

struct ThreadRegistry {
    std::mutex mutex;
    std::vector<std::shared_ptr<ThreadRecord>> records;  // guarded by mutex
};

// Never destroyed: threads may outlive the statics.
ThreadRegistry& Registry() {
    static ThreadRegistry* registry = new ThreadRegistry;
    return *registry;
}

struct ThreadStart {
    std::shared_ptr<ThreadRecord> record;
    LPTHREAD_START_ROUTINE routine;
    LPVOID parameter;
};

void Unregister(const ThreadRecord* record) {
    ThreadRegistry& registry = Registry();
    std::lock_guard<std::mutex> lock(registry.mutex);
    std::erase_if(registry.records, [&](const auto& entry) { return entry.get() == record; });
}

DWORD WINAPI RunThread(LPVOID parameter) {
    std::unique_ptr<ThreadStart> start(static_cast<ThreadStart*>(parameter));
    const DWORD code = RunStoppable(start->record->state, start->routine, start->parameter);
    // Before the thread ends: its id may be handed out again afterwards.
    Unregister(start->record.get());
    return code;
}

// The running thread behind hThread, when CreateThread started it.
std::shared_ptr<ThreadRecord> FindRunning(HANDLE hThread) {
    const DWORD id = GetThreadId(hThread);
    ThreadRegistry& registry = Registry();
    std::lock_guard<std::mutex> lock(registry.mutex);
    // A thread leaves the registry before it ends, under this lock: while
    // hThread's thread still runs, a record with its id is that thread's.
    if (id == 0 || WaitForSingleObject(hThread, 0) != WAIT_TIMEOUT)
        return nullptr;
    for (const auto& record : registry.records) {
        if (record->id == id)
            return record;
    }
    return nullptr;
}

// A stop point that cannot unwind (inside a destructor run by unwinding)
// skips its step instead.
bool StepCancelled() {
    return SkipStoppedStep(ERROR_CANCELLED);
}

}  // namespace

StopWake* CurrentStopWake() {
    // On this system every stop state is a StopWake.
    return static_cast<StopWake*>(CurrentStopState());
}

HANDLE CreateThread(LPSECURITY_ATTRIBUTES lpThreadAttributes, SIZE_T dwStackSize, LPTHREAD_START_ROUTINE lpStartAddress,
                    LPVOID lpParameter, DWORD dwCreationFlags, LPDWORD lpThreadId) {
    // Starting a thread is a step a stopped thread must not take.
    if (StepCancelled())
        return nullptr;
    auto start = std::make_unique<ThreadStart>(ThreadStart{nullptr, lpStartAddress, lpParameter});
    DWORD id = 0;
    // Suspended until its record is in the registry, so that a stop request
    // right after the start finds it.
    HANDLE thread = ::CreateThread(lpThreadAttributes, dwStackSize, RunThread, start.get(),
                                   dwCreationFlags | CREATE_SUSPENDED, &id);
    if (!thread)
        return nullptr;
    auto record = std::make_shared<ThreadRecord>(id);
    if (!DuplicateHandle(GetCurrentProcess(), thread, GetCurrentProcess(), &record->handle, SYNCHRONIZE, FALSE, 0)) {
        // Never started: nothing of the routine runs.
        ::TerminateThread(thread, 0);
        CloseHandle(thread);
        return nullptr;
    }
    start->record = record;
    {
        ThreadRegistry& registry = Registry();
        std::lock_guard<std::mutex> lock(registry.mutex);
        registry.records.push_back(record);
    }
    start.release();  // the thread owns it now
    if (!(dwCreationFlags & CREATE_SUSPENDED))
        ResumeThread(thread);
    if (lpThreadId)
        *lpThreadId = id;
    return thread;
}

BOOL TerminateThread(HANDLE hThread, DWORD dwExitCode) {
    if (GetThreadId(hThread) == 0) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    // A thread that ended, or that CreateThread did not start, is left alone.
    std::shared_ptr<ThreadRecord> record = FindRunning(hThread);
    if (record) {
        record->state.Request(dwExitCode);
        record->state.WaitForStep();
    }
    return TRUE;
}

DWORD WaitForSingleObject(HANDLE hHandle, DWORD dwMilliseconds) {
    if (StepCancelled())
        return WAIT_FAILED;
    StopWake* self = CurrentStopWake();
    if (!self)
        return ::WaitForSingleObject(hHandle, dwMilliseconds);
    // The stop first: when both are signalled the object stays unconsumed.
    const HANDLE handles[] = {self->WakeEvent(), hHandle};
    const DWORD result = WaitForMultipleObjects(2, handles, FALSE, dwMilliseconds);
    if (result == WAIT_OBJECT_0) {
        StepCancelled();
        return WAIT_FAILED;
    }
    if (result == WAIT_OBJECT_0 + 1)
        return WAIT_OBJECT_0;
    if (result == WAIT_ABANDONED_0 + 1)
        return WAIT_ABANDONED_0;
    return result;
}

void Sleep(DWORD dwMilliseconds) {
    if (StepCancelled())
        return;  // unwinding already: a stopped thread does not sleep
    const DWORD milliseconds = HookedSleep(dwMilliseconds);
    if (StopWake* self = CurrentStopWake()) {
        ::WaitForSingleObject(self->WakeEvent(), milliseconds);
        platform::StopPoint();
    } else {
        ::Sleep(milliseconds);
    }
}

BOOL SetEvent(HANDLE hEvent) {
    return StepCancelled() ? FALSE : ::SetEvent(hEvent);
}

BOOL ResetEvent(HANDLE hEvent) {
    return StepCancelled() ? FALSE : ::ResetEvent(hEvent);
}

void EnterCriticalSection(LPCRITICAL_SECTION lpCriticalSection) {
    platform::StopPoint();
    ::EnterCriticalSection(lpCriticalSection);
}

}  // namespace platform::win32

namespace platform {

void EndRemainingThreads() {
    win32::ThreadRegistry& registry = win32::Registry();
    const StopState* self = CurrentStopState();
    for (;;) {
        std::vector<std::shared_ptr<win32::ThreadRecord>> taken;
        {
            std::lock_guard<std::mutex> lock(registry.mutex);
            for (const auto& record : registry.records) {
                if (&record->state != self)  // a thread cannot wait for itself
                    taken.push_back(record);
            }
        }
        if (taken.empty())
            return;
        for (const auto& record : taken)
            record->state.Request(0);
        // Unwinding threads may start others; the loop ends those too.
        for (const auto& record : taken)
            ::WaitForSingleObject(record->handle, INFINITE);
    }
}

StopCloser::StopCloser(void* request, std::function<void()> close) {
    if (win32::StopWake* self = win32::CurrentStopWake())
        self->SetCloser(static_cast<HINTERNET>(request), std::move(close));
}

StopCloser::~StopCloser() {
    if (win32::StopWake* self = win32::CurrentStopWake())
        self->SetCloser(nullptr, nullptr);
}

}  // namespace platform
