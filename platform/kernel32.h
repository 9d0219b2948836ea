// kernel32: handles, threads, events, critical sections, errors, current
// directory, modules, profile files, processes and code-page conversion.
#pragma once

#include "platform/win_types.h"

#ifndef _WIN32
#include <mutex>

// ---- errors
DWORD GetLastError();
void SetLastError(DWORD dwErrCode);

// ---- handles, waits
#define WAIT_OBJECT_0 0x00000000u
#define WAIT_TIMEOUT 0x00000102u
#define WAIT_FAILED 0xFFFFFFFFu
#define STILL_ACTIVE 259u

BOOL CloseHandle(HANDLE hObject);
// Waits on an event, a thread or a process. On a thread whose stop was
// requested the wait ends by unwinding that thread (see thread_stop.h).
DWORD WaitForSingleObject(HANDLE hHandle, DWORD dwMilliseconds);
void Sleep(DWORD dwMilliseconds);

// ---- threads
using LPTHREAD_START_ROUTINE = DWORD(WINAPI*)(LPVOID lpThreadParameter);
struct SECURITY_ATTRIBUTES;
using LPSECURITY_ATTRIBUTES = SECURITY_ATTRIBUTES*;

HANDLE CreateThread(LPSECURITY_ATTRIBUTES lpThreadAttributes, SIZE_T dwStackSize, LPTHREAD_START_ROUTINE lpStartAddress,
                    LPVOID lpParameter, DWORD dwCreationFlags, LPDWORD lpThreadId);
BOOL GetExitCodeThread(HANDLE hThread, LPDWORD lpExitCode);
// Cooperative: returns at once; the thread does nothing further and unwinds
// at its next wait, sleep, read or visible step. dwExitCode becomes its code.
BOOL TerminateThread(HANDLE hThread, DWORD dwExitCode);
DWORD GetCurrentThreadId();

// ---- events (auto-reset events release exactly one waiter per signal)
HANDLE CreateEventW(LPSECURITY_ATTRIBUTES lpEventAttributes, BOOL bManualReset, BOOL bInitialState, LPCWSTR lpName);
BOOL SetEvent(HANDLE hEvent);
BOOL ResetEvent(HANDLE hEvent);

// ---- critical sections (recursive, as on Windows)
struct CRITICAL_SECTION {
    std::recursive_mutex* mutex;
};
using LPCRITICAL_SECTION = CRITICAL_SECTION*;
void InitializeCriticalSection(LPCRITICAL_SECTION lpCriticalSection);
void EnterCriticalSection(LPCRITICAL_SECTION lpCriticalSection);
void LeaveCriticalSection(LPCRITICAL_SECTION lpCriticalSection);
void DeleteCriticalSection(LPCRITICAL_SECTION lpCriticalSection);

// ---- current directory
DWORD GetCurrentDirectoryW(DWORD nBufferLength, LPWSTR lpBuffer);
BOOL SetCurrentDirectoryW(LPCWSTR lpPathName);

// ---- files: '\' and '/' both separate folders
#define MOVEFILE_REPLACE_EXISTING 0x1u
BOOL MoveFileExW(LPCWSTR lpExistingFileName, LPCWSTR lpNewFileName, DWORD dwFlags);
BOOL DeleteFileW(LPCWSTR lpFileName);
// The space on the volume that holds lpDirectoryName, an existing folder:
// what this user may still write, the volume's size and all it has free.
// Any of the three may be null.
BOOL GetDiskFreeSpaceExW(LPCWSTR lpDirectoryName, PULARGE_INTEGER lpFreeBytesAvailableToCaller,
                         PULARGE_INTEGER lpTotalNumberOfBytes, PULARGE_INTEGER lpTotalNumberOfFreeBytes);

// ---- files as handles, and their byte-range locks
#define GENERIC_READ 0x80000000u
#define GENERIC_WRITE 0x40000000u
#define FILE_SHARE_READ 0x00000001u
#define FILE_SHARE_WRITE 0x00000002u
#define FILE_SHARE_DELETE 0x00000004u
#define CREATE_NEW 1u
#define CREATE_ALWAYS 2u
#define OPEN_EXISTING 3u
#define OPEN_ALWAYS 4u
#define TRUNCATE_EXISTING 5u
#define FILE_ATTRIBUTE_NORMAL 0x00000080u
#define LOCKFILE_FAIL_IMMEDIATELY 0x00000001u
#define LOCKFILE_EXCLUSIVE_LOCK 0x00000002u
struct OVERLAPPED {
    ULONG_PTR Internal;
    ULONG_PTR InternalHigh;
    DWORD Offset;
    DWORD OffsetHigh;
    HANDLE hEvent;
};
using LPOVERLAPPED = OVERLAPPED*;

// A file handle, closed with CloseHandle. The share mode is not enforced
// (files are shared as on POSIX); what must be had alone is locked with
// LockFileEx. No handle is inherited by a started program, so its locks end
// with this process. OPEN_ALWAYS and CREATE_ALWAYS on an existing file
// succeed with ERROR_ALREADY_EXISTS as the last error.
HANDLE CreateFileW(LPCWSTR lpFileName, DWORD dwDesiredAccess, DWORD dwShareMode,
                   LPSECURITY_ATTRIBUTES lpSecurityAttributes, DWORD dwCreationDisposition, DWORD dwFlagsAndAttributes,
                   HANDLE hTemplateFile);
// Locks the bytes from lpOverlapped's offset on, for this handle (another
// handle of the same file, in this process or another, conflicts) until
// the handle is closed. Only with LOCKFILE_FAIL_IMMEDIATELY: a
// lock that is held fails at once with ERROR_LOCK_VIOLATION, since a
// blocking wait could not honour a thread's stop.
BOOL LockFileEx(HANDLE hFile, DWORD dwFlags, DWORD dwReserved, DWORD nNumberOfBytesToLockLow,
                DWORD nNumberOfBytesToLockHigh, LPOVERLAPPED lpOverlapped);

// ---- modules: only the system DLL functions the launcher resolves by name
HMODULE LoadLibraryW(LPCWSTR lpLibFileName);
FARPROC GetProcAddress(HMODULE hModule, LPCSTR lpProcName);
BOOL FreeLibrary(HMODULE hLibModule);

// ---- profile (INI) files
DWORD GetPrivateProfileStringW(LPCWSTR lpAppName, LPCWSTR lpKeyName, LPCWSTR lpDefault, LPWSTR lpReturnedString,
                               DWORD nSize, LPCWSTR lpFileName);

// ---- processes
struct STARTUPINFOW {
    DWORD cb;
    LPWSTR lpReserved;
    LPWSTR lpDesktop;
    LPWSTR lpTitle;
    DWORD dwX, dwY, dwXSize, dwYSize, dwXCountChars, dwYCountChars, dwFillAttribute;
    DWORD dwFlags;
    WORD wShowWindow;
    WORD cbReserved2;
    LPBYTE lpReserved2;
    HANDLE hStdInput, hStdOutput, hStdError;
};
using LPSTARTUPINFOW = STARTUPINFOW*;
struct PROCESS_INFORMATION {
    HANDLE hProcess;
    HANDLE hThread;
    DWORD dwProcessId;
    DWORD dwThreadId;
};
using LPPROCESS_INFORMATION = PROCESS_INFORMATION*;

// The command line this process was started with, exactly as the starter
// wrote it when the starter was CreateProcessW; rebuilt from argv otherwise.
LPWSTR GetCommandLineW();
// lpApplicationName is resolved against the current directory; lpCommandLine
// is split into argv by the Microsoft C runtime rules. A program file without
// an execute bit gets the owner's before it is started.
BOOL CreateProcessW(LPCWSTR lpApplicationName, LPWSTR lpCommandLine, LPSECURITY_ATTRIBUTES lpProcessAttributes,
                    LPSECURITY_ATTRIBUTES lpThreadAttributes, BOOL bInheritHandles, DWORD dwCreationFlags,
                    LPVOID lpEnvironment, LPCWSTR lpCurrentDirectory, LPSTARTUPINFOW lpStartupInfo,
                    LPPROCESS_INFORMATION lpProcessInformation);
BOOL GetExitCodeProcess(HANDLE hProcess, LPDWORD lpExitCode);
DWORD GetCurrentProcessId();

// ---- code pages: the ANSI code page is UTF-8 here
#define CP_ACP 0u
#define CP_UTF7 65000u
#define CP_UTF8 65001u
#define MB_ERR_INVALID_CHARS 0x00000008u
int MultiByteToWideChar(UINT CodePage, DWORD dwFlags, LPCSTR lpMultiByteStr, int cbMultiByte, LPWSTR lpWideCharStr,
                        int cchWideChar);
int WideCharToMultiByte(UINT CodePage, DWORD dwFlags, LPCWSTR lpWideCharStr, int cchWideChar, LPSTR lpMultiByteStr,
                        int cbMultiByte, LPCSTR lpDefaultChar, BOOL* lpUsedDefaultChar);
#endif

// Threads stop cooperatively on Windows too (thread_stop.h): the calls that
// start, stop, wait, sleep or take a visible step go through our wrappers.
#include "platform/routed_calls.h"
