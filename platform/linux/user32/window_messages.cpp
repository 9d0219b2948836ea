// Posting, sending, retrieving and dispatching messages, and timers.
#include "platform/linux/user32/message_queue.h"
#include "platform/linux/user32/window_object.h"
#include "platform/thread_stop.h"

namespace platform {

namespace {

LRESULT CallWindowProcedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    WNDPROC proc = nullptr;
    {
        std::lock_guard<std::mutex> lock(WindowLock());
        auto window = LookupWindowLocked(hwnd);
        if (!window) {
            return 0;
        }
        proc = window->proc;
    }
    return proc(hwnd, message, wParam, lParam);
}

// A stopped thread must not reach another thread's windows any more.
bool StoppedHere() {
    StopPoint();
    if (StopRequested()) {
        SetLastError(ERROR_CANCELLED);
        return true;
    }
    return false;
}

}  // namespace

}  // namespace platform

BOOL PostMessageW(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) {
    if (platform::StoppedHere()) {
        return FALSE;
    }
    const MSG msg{hWnd, Msg, wParam, lParam, 0, {}};
    if (!hWnd) {
        return platform::MessageQueue::ForCurrentThread()->Post(msg) ? TRUE : FALSE;
    }
    auto window = platform::RequireWindow(hWnd);
    if (!window) {
        return FALSE;
    }
    if (!window->queue->Post(msg)) {
        // Its thread has ended, and the window with it.
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    return TRUE;
}

LRESULT SendMessageW(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) {
    auto window = platform::RequireWindow(hWnd);
    if (!window) {
        return 0;
    }
    if (!platform::IsOwnerThread(*window) && platform::StoppedHere()) {
        return 0;
    }
    return platform::CallOnWindowThread(hWnd, [=] { return platform::CallWindowProcedure(hWnd, Msg, wParam, lParam); });
}

BOOL GetMessageW(LPMSG lpMsg, HWND hWnd, UINT wMsgFilterMin, UINT wMsgFilterMax) {
    if (!lpMsg) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return -1;
    }
    if (hWnd && !platform::RequireWindow(hWnd)) {
        return -1;
    }
    platform::MessageQueue::ForCurrentThread()->Get(*lpMsg, hWnd, wMsgFilterMin, wMsgFilterMax, true, true);
    return lpMsg->message != WM_QUIT;
}

BOOL PeekMessageW(LPMSG lpMsg, HWND hWnd, UINT wMsgFilterMin, UINT wMsgFilterMax, UINT wRemoveMsg) {
    if (!lpMsg) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    return platform::MessageQueue::ForCurrentThread()->Get(*lpMsg, hWnd, wMsgFilterMin, wMsgFilterMax,
                                                           (wRemoveMsg & PM_REMOVE) != 0, false);
}

LRESULT DispatchMessageW(const MSG* lpMsg) {
    if (!lpMsg) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    if (lpMsg->message == WM_TIMER && lpMsg->lParam) {
        reinterpret_cast<TIMERPROC>(lpMsg->lParam)(lpMsg->hwnd, WM_TIMER, lpMsg->wParam, platform::MessageTime());
        return 0;
    }
    if (!lpMsg->hwnd) {
        return 0;  // a thread message has no window to go to
    }
    auto window = platform::RequireWindow(lpMsg->hwnd);
    if (!window) {
        return 0;
    }
    if (!platform::IsOwnerThread(*window)) {
        SetLastError(ERROR_WINDOW_OF_OTHER_THREAD);
        return 0;
    }
    return platform::CallWindowProcedure(lpMsg->hwnd, lpMsg->message, lpMsg->wParam, lpMsg->lParam);
}

UINT_PTR SetTimer(HWND hWnd, UINT_PTR nIDEvent, UINT uElapse, TIMERPROC lpTimerFunc) {
    auto window = platform::RequireWindow(hWnd);
    if (!window) {
        return 0;
    }
    if (!platform::IsOwnerThread(*window)) {
        SetLastError(ERROR_ACCESS_DENIED);
        return 0;
    }
    return window->queue->SetTimer(hWnd, nIDEvent, uElapse, lpTimerFunc);
}

BOOL KillTimer(HWND hWnd, UINT_PTR uIDEvent) {
    auto window = platform::RequireWindow(hWnd);
    if (!window) {
        return FALSE;
    }
    if (!platform::IsOwnerThread(*window)) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    if (!window->queue->KillTimer(hWnd, uIDEvent)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    return TRUE;
}
