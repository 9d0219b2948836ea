// The handle slots of the update threads that may have to be stopped. Each
// slot holds the handle of the thread of its kind that was started last.
#pragma once

#include "platform/kernel32.h"

#include <atomic>

enum class ThreadSlot {
    VersionCheck,
    LauncherUpdate,
    LauncherFinish,
    ClientPrepare,
    ClientDownload,
    ClientFinish,
    DownloadWorker,
    Count,
};

// Starts procedure with the main window as its parameter; the slot's old
// handle is closed and the new one stored. With ThreadSlot::Count the
// thread gets no slot and its handle is closed at once.
HANDLE StartSlotThread(ThreadSlot slot, LPTHREAD_START_ROUTINE procedure);

// Download workers that run side by side, each in a handle of its own
// beside the DownloadWorker slot.
constexpr int kMaxSideBySideWorkers = 8;

// Starts procedure with parameter as a side-by-side download worker. False
// when no thread started: the parameter stays the caller's. Otherwise the
// thread has it, and thread is its handle, or nullptr when a stop of the
// workers came first (the new thread is stopped as well).
bool StartSideBySideWorker(LPTHREAD_START_ROUTINE procedure, LPVOID parameter, HANDLE& thread);

// Stops the slot's thread, if any, closes its handle and clears the slot;
// for DownloadWorker, every side-by-side worker as well.
void StopSlotThread(ThreadSlot slot);

// Takes the handle out of the slot (or, for DownloadWorker, out of the
// side-by-side handles) if it is still there; true when it was (the caller
// then owns and closes it).
bool ReleaseSlotThread(ThreadSlot slot, HANDLE thread);
