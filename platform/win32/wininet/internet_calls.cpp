// The blocking WinINet calls as stop points: a stopped thread unwinds before
// them, and a stop request closes the request such a call is blocked on.
#include "platform/routed_calls.h"
#include "platform/thread_stop.h"
#include "platform/win32/kernel32/stop_wake.h"

#include "platform/win32/kernel32/real_calls.h"

namespace platform::win32 {

namespace {

template <class Call>
BOOL BlockingCall(HINTERNET hRequest, Call call) {
    platform::StopPoint();
    StopWake* self = CurrentStopWake();
    if (!self)
        return call();
    if (!self->BlockOn(hRequest)) {
        // Asked to stop inside a destructor run by unwinding: no transfer.
        SetLastError(ERROR_INTERNET_OPERATION_CANCELLED);
        return FALSE;
    }
    const BOOL result = call();
    const DWORD error = GetLastError();
    self->Unblock();
    // A call the stop cut short unwinds instead of failing.
    platform::StopPoint();
    SetLastError(error);
    return result;
}

}  // namespace

BOOL HttpSendRequestW(HINTERNET hRequest, LPCWSTR lpszHeaders, DWORD dwHeadersLength, LPVOID lpOptional,
                      DWORD dwOptionalLength) {
    return BlockingCall(hRequest, [&] {
        return ::HttpSendRequestW(hRequest, lpszHeaders, dwHeadersLength, lpOptional, dwOptionalLength);
    });
}

BOOL InternetReadFile(HINTERNET hFile, LPVOID lpBuffer, DWORD dwNumberOfBytesToRead, LPDWORD lpdwNumberOfBytesRead) {
    return BlockingCall(
        hFile, [&] { return ::InternetReadFile(hFile, lpBuffer, dwNumberOfBytesToRead, lpdwNumberOfBytesRead); });
}

BOOL InternetCloseHandle(HINTERNET hInternet) {
    StopWake* self = CurrentStopWake();
    if (self && self->TakeClosedByStop(hInternet))
        return TRUE;
    return ::InternetCloseHandle(hInternet);
}

}  // namespace platform::win32
