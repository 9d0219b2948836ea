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

// Stops the slot's thread, if any, closes its handle and clears the slot.
void StopSlotThread(ThreadSlot slot);

// Takes the handle out of the slot if it is still the given one; true when
// it was (the caller then owns and closes it).
bool ReleaseSlotThread(ThreadSlot slot, HANDLE thread);
