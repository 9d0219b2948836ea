// The WinINet calls that block on the network, and the close that frees
// them, under their Win32 names in namespace platform::win32:
// platform/wininet.h routes the plain names here. A thread asked to stop
// while blocked in one of them is freed by closing its request from the
// stopping side (thread_stop.h).
#pragma once

#include <windows.h>
#include <wininet.h>

namespace platform::win32 {

BOOL HttpSendRequestW(HINTERNET hRequest, LPCWSTR lpszHeaders, DWORD dwHeadersLength, LPVOID lpOptional,
                      DWORD dwOptionalLength);
BOOL InternetReadFile(HINTERNET hFile, LPVOID lpBuffer, DWORD dwNumberOfBytesToRead, LPDWORD lpdwNumberOfBytesRead);
// A request that a stop has closed already is not closed twice: its handle
// value may belong to another request by then.
BOOL InternetCloseHandle(HINTERNET hInternet);

}  // namespace platform::win32
