// Driving windows without a user on Windows: the windows of this process as
// the system reports them, mouse input through the system's own input queue
// (SendInput), keys posted to the window.
#include "platform/window_automation.h"

#include "platform/win32/user32/window_records.h"

#include <algorithm>

namespace platform {

namespace {

bool OfThisProcess(HWND hwnd) {
    DWORD process = 0;
    GetWindowThreadProcessId(hwnd, &process);
    return process == GetCurrentProcessId();
}

BOOL CALLBACK AddChild(HWND child, LPARAM list) {
    reinterpret_cast<std::vector<HWND>*>(list)->push_back(child);
    return TRUE;
}

BOOL CALLBACK AddTopLevel(HWND hwnd, LPARAM list) {
    if (OfThisProcess(hwnd)) {
        reinterpret_cast<std::vector<HWND>*>(list)->push_back(hwnd);
    }
    return TRUE;
}

// Also the top-level window's children (all levels), after it.
BOOL CALLBACK AddTopLevelAndChildren(HWND hwnd, LPARAM list) {
    if (OfThisProcess(hwnd)) {
        reinterpret_cast<std::vector<HWND>*>(list)->push_back(hwnd);
        EnumChildWindows(hwnd, &AddChild, list);
    }
    return TRUE;
}

// The process's windows, parents before their children, top-level windows
// topmost first.
std::vector<HWND> ProcessWindows() {
    std::vector<HWND> windows;
    EnumWindows(&AddTopLevelAndChildren, reinterpret_cast<LPARAM>(&windows));
    return windows;
}

std::wstring ClassNameOf(HWND hwnd) {
    wchar_t name[256] = {};
    const int length = GetClassNameW(hwnd, name, 256);
    return std::wstring(name, length > 0 ? static_cast<std::size_t>(length) : 0);
}

// Absolute mouse coordinates run from 0 to 65535 over the primary screen;
// rounding up lands on the pixel itself.
LONG Normalized(LONG value, int extent) {
    return extent > 0 ? static_cast<LONG>((static_cast<long long>(value) * 65536 + extent - 1) / extent) : 0;
}

void SendMouse(POINT screenPoint, DWORD buttonFlags) {
    INPUT input{};
    input.type = INPUT_MOUSE;
    input.mi.dx = Normalized(screenPoint.x, GetSystemMetrics(SM_CXSCREEN));
    input.mi.dy = Normalized(screenPoint.y, GetSystemMetrics(SM_CYSCREEN));
    input.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE | buttonFlags;
    SendInput(1, &input, sizeof input);
}

}  // namespace

// Creation order is known for the windows made from templates; the others
// follow in the system's order, after them.
std::vector<HWND> FindWindows(LPCWSTR className, UINT templateId) {
    std::vector<HWND> found;
    for (HWND hwnd : ProcessWindows()) {
        if ((!className || _wcsicmp(ClassNameOf(hwnd).c_str(), className) == 0) &&
            (templateId == 0 || win32::TemplateOf(hwnd) == templateId)) {
            found.push_back(hwnd);
        }
    }
    std::stable_sort(found.begin(), found.end(), [](HWND a, HWND b) {
        const std::uint32_t first = win32::CreationNumberOf(a);
        const std::uint32_t second = win32::CreationNumberOf(b);
        return first != 0 && (second == 0 || first < second);
    });
    return found;
}

HWND FindDialog(UINT templateId) {
    const std::vector<HWND> found = FindWindows(nullptr, templateId);
    return found.empty() ? nullptr : found.back();
}

std::optional<WindowInfo> DescribeWindow(HWND hwnd) {
    if (!hwnd || !IsWindow(hwnd)) {
        return std::nullopt;
    }
    WindowInfo info;
    info.hwnd = hwnd;
    info.style = static_cast<DWORD>(GetWindowLongW(hwnd, GWL_STYLE));
    info.exStyle = static_cast<DWORD>(GetWindowLongW(hwnd, GWL_EXSTYLE));
    info.parent = (info.style & (WS_CHILD | WS_POPUP)) ? GetParent(hwnd) : nullptr;
    info.className = ClassNameOf(hwnd);
    std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(hwnd)) + 1, L'\0');
    text.resize(static_cast<std::size_t>(GetWindowTextW(hwnd, text.data(), static_cast<int>(text.size()))));
    info.text = std::move(text);
    info.controlId = (info.style & WS_CHILD) ? static_cast<UINT>(GetDlgCtrlID(hwnd)) : 0;
    info.templateId = win32::TemplateOf(hwnd);
    info.visible = IsWindowVisible(hwnd) != FALSE;
    info.enabled = IsWindowEnabled(hwnd) != FALSE;
    info.minimized = IsIconic(hwnd) != FALSE;
    GetWindowRect(hwnd, &info.windowRect);
    BYTE alpha = 0;
    if (!GetLayeredWindowAttributes(hwnd, &info.colorKey, &alpha, &info.layeredFlags)) {
        info.colorKey = 0;
        info.layeredFlags = 0;
    }
    info.picture = win32::PictureOf(hwnd);
    return info;
}

std::vector<HWND> TopLevelZOrder() {
    std::vector<HWND> windows;
    EnumWindows(&AddTopLevel, reinterpret_cast<LPARAM>(&windows));
    return windows;
}

void InjectMouseMove(POINT screenPoint) {
    SendMouse(screenPoint, 0);
}

void InjectMouseDown(POINT screenPoint) {
    SendMouse(screenPoint, MOUSEEVENTF_LEFTDOWN);
}

void InjectMouseUp(POINT screenPoint) {
    SendMouse(screenPoint, MOUSEEVENTF_LEFTUP);
}

bool RunMessagesUntil(const std::function<bool()>& done, DWORD timeoutMilliseconds) {
    const ULONGLONG deadline = GetTickCount64() + timeoutMilliseconds;
    // What a sent message does counts as well: the condition is checked
    // after every wake-up, not only after posted messages.
    while (!done()) {
        MSG msg;
        if (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            DispatchMessageW(&msg);
            continue;
        }
        const ULONGLONG now = GetTickCount64();
        if (now >= deadline) {
            return done();
        }
        MsgWaitForMultipleObjectsEx(0, nullptr, static_cast<DWORD>(std::min<ULONGLONG>(deadline - now, 50)),
                                    QS_ALLINPUT, MWMO_INPUTAVAILABLE);
    }
    return true;
}

// Windows always has a display: a message box shows, and nothing is recorded.
std::vector<RecordedMessageBox> TakeMessageBoxes() {
    return {};
}

}  // namespace platform
