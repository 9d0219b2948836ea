// Finding windows, reading their state and giving them input without a user.
#include "platform/window_automation.h"

#include "platform/linux/display/headless_backend.h"
#include "platform/linux/user32/message_queue.h"
#include "platform/linux/user32/mouse_input.h"
#include "platform/linux/user32/window_object.h"

#include <glib.h>

namespace platform {

std::vector<HWND> FindWindows(LPCWSTR className, UINT templateId) {
    std::vector<HWND> found;
    std::lock_guard<std::mutex> lock(WindowLock());
    for (const auto& window : AllWindowsLocked()) {
        if ((!className || EqualClassName(window->className, className)) &&
            (templateId == 0 || window->templateId == templateId) && !window->destroying) {
            found.push_back(window->handle);
        }
    }
    return found;
}

HWND FindDialog(UINT templateId) {
    const std::vector<HWND> found = FindWindows(nullptr, templateId);
    return found.empty() ? nullptr : found.back();
}

std::optional<WindowInfo> DescribeWindow(HWND hwnd) {
    std::lock_guard<std::mutex> lock(WindowLock());
    auto window = LookupWindowLocked(hwnd);
    if (!window) {
        return std::nullopt;
    }
    WindowInfo info;
    info.hwnd = hwnd;
    info.parent = (window->style & (WS_CHILD | WS_POPUP)) ? window->parent : nullptr;
    info.className = window->className;
    info.text = window->text;
    info.controlId = window->id;
    info.templateId = window->templateId;
    info.style = window->style;
    info.exStyle = window->exStyle;
    info.visible = IsVisibleLocked(*window);
    info.enabled = !(window->style & WS_DISABLED);
    info.minimized = (window->style & WS_MINIMIZE) != 0;
    info.windowRect = ScreenRectLocked(*window);
    info.layeredFlags = window->layeredFlags;
    info.colorKey = window->colorKey;
    info.picture = window->picture;
    return info;
}

std::vector<HWND> TopLevelZOrder() {
    std::lock_guard<std::mutex> lock(WindowLock());
    return TopLevelLocked();
}

void InjectMouseMove(POINT screenPoint) {
    InjectMouseMessage(screenPoint, WM_MOUSEMOVE);
}

void InjectMouseDown(POINT screenPoint) {
    InjectMouseMessage(screenPoint, WM_LBUTTONDOWN);
}

void InjectMouseUp(POINT screenPoint) {
    InjectMouseMessage(screenPoint, WM_LBUTTONUP);
}

bool RunMessagesUntil(const std::function<bool()>& done, DWORD timeoutMilliseconds) {
    auto queue = MessageQueue::ForCurrentThread();
    bool timedOut = false;
    GSource* limit = g_timeout_source_new(timeoutMilliseconds);
    g_source_set_callback(
        limit,
        [](gpointer data) -> gboolean {
            *static_cast<bool*>(data) = true;
            return G_SOURCE_REMOVE;
        },
        &timedOut, nullptr);
    g_source_attach(limit, queue->Context());
    // What a sent message or a marshalled call does counts as well, so the
    // condition is checked after every wake-up, not only after messages.
    while (!done() && !timedOut) {
        MSG msg;
        if (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            DispatchMessageW(&msg);
        } else if (!done()) {
            queue->WaitForActivity();
        }
    }
    g_source_destroy(limit);
    g_source_unref(limit);
    return done();
}

std::vector<RecordedMessageBox> TakeMessageBoxes() {
    auto* headless = dynamic_cast<HeadlessBackend*>(&Backend());
    return headless ? headless->TakeMessageBoxes() : std::vector<RecordedMessageBox>{};
}

}  // namespace platform
