// Mouse input: routing to the window under the cursor, capture, hover and
// leave tracking, cursors, and the stand-in's own window move.
#include "platform/linux/user32/mouse_input.h"

#include "platform/linux/display/window_backend.h"
#include "platform/linux/user32/message_queue.h"
#include "platform/linux/user32/window_object.h"

#include <glib.h>

#include <atomic>
#include <cstdint>

#include <unordered_map>
#include <utility>

namespace platform {

namespace {

constexpr DWORD kDefaultHoverTime = 400;

struct Tracking {
    DWORD flags = 0;  // TME_HOVER | TME_LEAVE
    DWORD hoverTime = kDefaultHoverTime;
    std::uint64_t hoverGeneration = 0;  // a hover countdown counts only while current
};

struct WindowMove {
    HWND hwnd = nullptr;
    POINT startCursor{};
    POINT startWindow{};  // in the coordinates SetWindowPos takes for it
};

// Lock order: this lock, then a queue's lock, then WindowLock().
struct MouseState {
    std::mutex mutex;
    POINT cursor{};
    // The cursor again, for readers that may hold this lock already (a
    // message posted from here takes the cursor position).
    std::atomic<std::uint64_t> packedCursor{0};
    bool leftDown = false;
    HWND capture = nullptr;
    HWND under = nullptr;  // the window under the cursor, for leave tracking
    std::unordered_map<HWND, Tracking> tracking;
    WindowMove move;
    HCURSOR shape = nullptr;
    std::uint64_t nextGeneration = 1;
};

MouseState& Mouse() {
    static MouseState* state = new MouseState;  // used until the last thread ends
    return *state;
}

WPARAM KeyStateLocked(const MouseState& state) {
    return state.leftDown ? MK_LBUTTON : 0;
}

// Posts a mouse message carrying the cursor in the window's client coordinates.
void PostAtCursorLocked(const MouseState& state, HWND hwnd, UINT message, WPARAM wParam,
                        std::function<bool(MSG&)> prepare = {}) {
    std::shared_ptr<WindowObject> window;
    POINT origin{};
    {
        std::lock_guard<std::mutex> lock(WindowLock());
        window = LookupWindowLocked(hwnd);
        if (!window) {
            return;
        }
        origin = ClientOriginLocked(*window);
    }
    const LPARAM lParam = MAKELPARAM(state.cursor.x - origin.x, state.cursor.y - origin.y);
    window->queue->Post(MSG{hwnd, message, wParam, lParam, 0, {}}, std::move(prepare));
}

struct HoverTick {
    HWND hwnd;
    std::uint64_t generation;
};

gboolean OnHoverElapsed(gpointer data) {
    const auto* tick = static_cast<const HoverTick*>(data);
    MouseState& state = Mouse();
    std::lock_guard<std::mutex> lock(state.mutex);
    auto it = state.tracking.find(tick->hwnd);
    if (it != state.tracking.end() && it->second.hoverGeneration == tick->generation &&
        (it->second.flags & TME_HOVER) && state.under == tick->hwnd) {
        it->second.flags &= ~static_cast<DWORD>(TME_HOVER);
        PostAtCursorLocked(state, tick->hwnd, WM_MOUSEHOVER, KeyStateLocked(state));
    }
    return G_SOURCE_REMOVE;
}

// (Re)starts the hover countdown of a tracked window on its thread's loop.
void StartHoverLocked(MouseState& state, HWND hwnd, Tracking& tracking) {
    auto window = LookupWindow(hwnd);
    if (!window) {
        return;
    }
    tracking.hoverGeneration = state.nextGeneration++;
    GSource* source = g_timeout_source_new(tracking.hoverTime);
    g_source_set_callback(source, OnHoverElapsed, new HoverTick{hwnd, tracking.hoverGeneration},
                          [](gpointer data) { delete static_cast<HoverTick*>(data); });
    g_source_attach(source, window->queue->Context());
    g_source_unref(source);
}

void LeaveLocked(MouseState& state, HWND hwnd) {
    auto it = state.tracking.find(hwnd);
    if (it == state.tracking.end()) {
        return;
    }
    const bool notify = it->second.flags & TME_LEAVE;
    state.tracking.erase(it);
    if (notify) {
        PostAtCursorLocked(state, hwnd, WM_MOUSELEAVE, 0);
    }
}

// Runs on the window's thread when the message is taken out of the queue.
bool OnMouseMessageRetrieved(MSG& msg) {
    MouseState& state = Mouse();
    bool captured = false;
    {
        std::lock_guard<std::mutex> lock(state.mutex);
        captured = state.capture != nullptr;
        auto it = state.tracking.find(msg.hwnd);
        if (msg.message == WM_MOUSEMOVE && it != state.tracking.end() && (it->second.flags & TME_HOVER)) {
            StartHoverLocked(state, msg.hwnd, it->second);
        }
    }
    if (!captured) {
        SendMessageW(msg.hwnd, WM_SETCURSOR, reinterpret_cast<WPARAM>(msg.hwnd), MAKELPARAM(HTCLIENT, msg.message));
    }
    return IsWindow(msg.hwnd) != FALSE;
}

void MoveWindowWithCursorLocked(MouseState& state) {
    const WindowMove move = state.move;
    const int x = move.startWindow.x + (state.cursor.x - move.startCursor.x);
    const int y = move.startWindow.y + (state.cursor.y - move.startCursor.y);
    if (auto window = LookupWindow(move.hwnd)) {
        window->queue->PostCall([hwnd = move.hwnd, x, y] {
            SetWindowPos(hwnd, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        });
    }
}

char g_arrowCursor;
char g_handCursor;

}  // namespace

POINT CursorPosition() {
    const std::uint64_t packed = Mouse().packedCursor.load(std::memory_order_relaxed);
    return POINT{static_cast<LONG>(static_cast<std::uint32_t>(packed >> 32)),
                 static_cast<LONG>(static_cast<std::uint32_t>(packed))};
}

void InjectMouseMessage(POINT screenPoint, UINT message) {
    MouseState& state = Mouse();
    std::lock_guard<std::mutex> lock(state.mutex);
    state.cursor = screenPoint;
    state.packedCursor.store((static_cast<std::uint64_t>(static_cast<std::uint32_t>(screenPoint.x)) << 32) |
                                 static_cast<std::uint32_t>(screenPoint.y),
                             std::memory_order_relaxed);
    if (message == WM_LBUTTONDOWN) {
        state.leftDown = true;
    } else if (message == WM_LBUTTONUP) {
        state.leftDown = false;
    }
    if (state.move.hwnd) {
        // The system's move takes the mouse until the button goes up.
        if (message == WM_LBUTTONUP) {
            state.move = WindowMove{};
        } else {
            MoveWindowWithCursorLocked(state);
        }
        return;
    }
    HWND under = nullptr;
    {
        std::lock_guard<std::mutex> windowLock(WindowLock());
        under = WindowFromPointLocked(screenPoint);
    }
    if (under != state.under) {
        LeaveLocked(state, state.under);
        state.under = under;
    }
    HWND target = state.capture ? state.capture : under;
    if (!target) {
        return;
    }
    if (!state.capture && !IsWindowEnabled(target)) {
        return;  // the owner of a modal dialog, for one
    }
    PostAtCursorLocked(state, target, message, KeyStateLocked(state), OnMouseMessageRetrieved);
}

void BeginWindowMove(HWND hwnd) {
    if (Backend().BeginMoveDrag(hwnd)) {
        return;
    }
    auto window = LookupWindow(hwnd);
    if (!window) {
        return;
    }
    POINT start{};
    {
        std::lock_guard<std::mutex> lock(WindowLock());
        start = POINT{window->rect.left, window->rect.top};
    }
    MouseState& state = Mouse();
    std::lock_guard<std::mutex> lock(state.mutex);
    if (state.leftDown) {
        state.move = WindowMove{hwnd, state.cursor, start};
    }
}

void ForgetMouseWindow(HWND hwnd) {
    MouseState& state = Mouse();
    std::lock_guard<std::mutex> lock(state.mutex);
    if (state.capture == hwnd) {
        state.capture = nullptr;
    }
    if (state.under == hwnd) {
        state.under = nullptr;
    }
    if (state.move.hwnd == hwnd) {
        state.move = WindowMove{};
    }
    state.tracking.erase(hwnd);
}

}  // namespace platform

using platform::Mouse;

BOOL GetCursorPos(LPPOINT lpPoint) {
    if (!lpPoint) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    *lpPoint = platform::CursorPosition();
    return TRUE;
}

HCURSOR SetCursor(HCURSOR hCursor) {
    HCURSOR previous = nullptr;
    {
        std::lock_guard<std::mutex> lock(Mouse().mutex);
        previous = std::exchange(Mouse().shape, hCursor);
    }
    if (previous != hCursor) {
        platform::Backend().CursorChanged(hCursor);
    }
    return previous;
}

HCURSOR GetCursor() {
    std::lock_guard<std::mutex> lock(Mouse().mutex);
    return Mouse().shape;
}

HCURSOR LoadCursorW(HINSTANCE hInstance, LPCWSTR lpCursorName) {
    if (!hInstance && lpCursorName == IDC_ARROW) {
        return reinterpret_cast<HCURSOR>(&platform::g_arrowCursor);
    }
    if (!hInstance && lpCursorName == IDC_HAND) {
        return reinterpret_cast<HCURSOR>(&platform::g_handCursor);
    }
    SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
    return nullptr;
}

HWND SetCapture(HWND hWnd) {
    if (!platform::RequireWindow(hWnd)) {
        return nullptr;
    }
    std::lock_guard<std::mutex> lock(Mouse().mutex);
    return std::exchange(Mouse().capture, hWnd);
}

BOOL ReleaseCapture() {
    std::lock_guard<std::mutex> lock(Mouse().mutex);
    Mouse().capture = nullptr;
    return TRUE;
}

HWND GetCapture() {
    std::lock_guard<std::mutex> lock(Mouse().mutex);
    return Mouse().capture;
}

BOOL TrackMouseEvent(LPTRACKMOUSEEVENT lpEventTrack) {
    if (!lpEventTrack || lpEventTrack->cbSize != sizeof(TRACKMOUSEEVENT)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    const HWND hwnd = lpEventTrack->hwndTrack;
    if (!platform::RequireWindow(hwnd)) {
        return FALSE;
    }
    const DWORD flags = lpEventTrack->dwFlags & (TME_HOVER | TME_LEAVE);
    platform::MouseState& state = Mouse();
    std::lock_guard<std::mutex> lock(state.mutex);
    if (lpEventTrack->dwFlags & TME_CANCEL) {
        auto it = state.tracking.find(hwnd);
        if (it != state.tracking.end()) {
            it->second.flags &= ~flags;
            if (it->second.flags == 0) {
                state.tracking.erase(it);
            }
        }
        return TRUE;
    }
    const bool over = state.under == hwnd;
    if ((flags & TME_LEAVE) && !over) {
        platform::PostAtCursorLocked(state, hwnd, WM_MOUSELEAVE, 0);
    }
    if (!over || flags == 0) {
        return TRUE;
    }
    platform::Tracking& tracking = state.tracking[hwnd];
    tracking.flags |= flags;
    if (flags & TME_HOVER) {
        tracking.hoverTime =
            lpEventTrack->dwHoverTime == HOVER_DEFAULT ? platform::kDefaultHoverTime : lpEventTrack->dwHoverTime;
        platform::StartHoverLocked(state, hwnd, tracking);
    }
    return TRUE;
}

BOOL _TrackMouseEvent(LPTRACKMOUSEEVENT lpEventTrack) {
    return TrackMouseEvent(lpEventTrack);
}

HWND WindowFromPoint(POINT Point) {
    std::lock_guard<std::mutex> lock(platform::WindowLock());
    return platform::WindowFromPointLocked(Point);
}
