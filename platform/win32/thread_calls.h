// The kernel32 calls that a cooperative stop must reach (thread_stop.h),
// under their Win32 names in namespace platform::win32. platform/kernel32.h
// routes the plain names here; these call the real functions.
#pragma once

#include <windows.h>

namespace platform::win32 {

// Runs the start routine on a real thread that can be stopped.
HANDLE CreateThread(LPSECURITY_ATTRIBUTES lpThreadAttributes, SIZE_T dwStackSize, LPTHREAD_START_ROUTINE lpStartAddress,
                    LPVOID lpParameter, DWORD dwCreationFlags, LPDWORD lpThreadId);
// Asks, never kills: returns at once (after a visible step already begun).
BOOL TerminateThread(HANDLE hThread, DWORD dwExitCode);
DWORD WaitForSingleObject(HANDLE hHandle, DWORD dwMilliseconds);
void Sleep(DWORD dwMilliseconds);
BOOL SetEvent(HANDLE hEvent);
BOOL ResetEvent(HANDLE hEvent);
void EnterCriticalSection(LPCRITICAL_SECTION lpCriticalSection);

}  // namespace platform::win32
