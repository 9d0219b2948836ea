// Windows only: the Win32 calls our own wrappers stand in front of, routed
// by name to namespace platform::win32, where each calls the real function.
// The cooperative thread stop (thread_stop.h) has to see every thread start,
// stop, wait, sleep and visible step, and every WinINet call that blocks on
// the network; a layered window's last picture is kept for
// window_automation.h, as on Linux.
//
// kernel32.h, wininet.h and winuser.h include this last. The routes are
// defined once, here, after the SDK's own declarations of every routed name,
// so that no SDK header is renamed whichever of the three comes first. The
// wrappers are declared here too, so that the interface includes nothing of
// platform/win32/ (which includes the interface): the wrappers' own files
// undo the routes with platform/win32/kernel32/real_calls.h.
#pragma once

#ifdef _WIN32
#include <windows.h>
#include <wininet.h>

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

// A thread asked to stop while blocked in one of these is freed by closing
// its request from the stopping side.
BOOL HttpSendRequestW(HINTERNET hRequest, LPCWSTR lpszHeaders, DWORD dwHeadersLength, LPVOID lpOptional,
                      DWORD dwOptionalLength);
BOOL InternetReadFile(HINTERNET hFile, LPVOID lpBuffer, DWORD dwNumberOfBytesToRead, LPDWORD lpdwNumberOfBytesRead);
// A request that a stop has closed already is not closed twice: its handle
// value may belong to another request by then.
BOOL InternetCloseHandle(HINTERNET hInternet);

// Keeps a copy of the picture for DescribeWindow.
BOOL UpdateLayeredWindow(HWND hWnd, HDC hdcDst, POINT* pptDst, SIZE* psize, HDC hdcSrc, POINT* pptSrc, COLORREF crKey,
                         BLENDFUNCTION* pblend, DWORD dwFlags);

}  // namespace platform::win32

#define CreateThread platform::win32::CreateThread
#define TerminateThread platform::win32::TerminateThread
#define WaitForSingleObject platform::win32::WaitForSingleObject
#define Sleep platform::win32::Sleep
#define SetEvent platform::win32::SetEvent
#define ResetEvent platform::win32::ResetEvent
#define EnterCriticalSection platform::win32::EnterCriticalSection
#define HttpSendRequestW platform::win32::HttpSendRequestW
#define InternetReadFile platform::win32::InternetReadFile
#define InternetCloseHandle platform::win32::InternetCloseHandle
#define UpdateLayeredWindow platform::win32::UpdateLayeredWindow
#endif
