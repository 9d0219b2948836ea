// The framework's creation hook on Windows: a thread's WH_CBT hook sees each
// new window (HCBT_CREATEWND) before its first message, which is when the
// framework attaches its object and takes over the window's procedure.
#include "platform/window_system.h"

#include <cwchar>
#include <utility>

namespace platform {

namespace {

thread_local std::function<void(HWND)> t_creationHook;
thread_local HHOOK t_cbtHook = nullptr;
thread_local int t_scopes = 0;

// Windows the system makes on the thread's behalf (the input method's)
// are not the one the framework is creating.
bool IsSystemWindow(HWND hwnd) {
    wchar_t className[32] = {};
    GetClassNameW(hwnd, className, 32);
    return _wcsicmp(className, L"IME") == 0 || _wcsicmp(className, L"MSCTFIME UI") == 0;
}

LRESULT CALLBACK CbtProc(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HCBT_CREATEWND && t_creationHook) {
        HWND hwnd = reinterpret_cast<HWND>(wParam);
        if (!IsSystemWindow(hwnd)) {
            auto hook = std::exchange(t_creationHook, nullptr);
            hook(hwnd);
        }
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

}  // namespace

ScopedCreationHook::ScopedCreationHook(std::function<void(HWND)> hook)
    : m_previous(std::exchange(t_creationHook, std::move(hook))) {
    if (t_scopes++ == 0) {
        t_cbtHook = SetWindowsHookExW(WH_CBT, &CbtProc, nullptr, GetCurrentThreadId());
    }
}

ScopedCreationHook::~ScopedCreationHook() {
    t_creationHook = std::move(m_previous);
    if (--t_scopes == 0 && t_cbtHook) {
        UnhookWindowsHookEx(t_cbtHook);
        t_cbtHook = nullptr;
    }
}

// The desktop is always there on Windows.
bool InstallDisplayBackend() {
    return true;
}

bool DisplayInstalled() {
    return true;
}

}  // namespace platform
