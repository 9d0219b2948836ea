// The window table, geometry, z-order, hit testing and the creation hook.
#include "platform/linux/user32/window_object.h"

#include "platform/linux/display/window_backend.h"
#include "platform/linux/user32/message_queue.h"
#include "platform/thread_stop.h"
#include "platform/window_system.h"

#include <algorithm>
#include <cwctype>
#include <unordered_map>
#include <utility>

namespace platform {

namespace {

struct WindowTable {
    std::mutex mutex;
    std::unordered_map<HWND, std::shared_ptr<WindowObject>> windows;
    std::vector<HWND> topLevel;  // topmost first
    // Handles are never reused and never collide with HWND_TOP, HWND_BOTTOM,
    // HWND_TOPMOST or HWND_NOTOPMOST.
    std::uintptr_t nextHandle = 0x10000;
    std::uint64_t nextSerial = 1;
};

// Never destroyed: threads may end, and close their windows, while statics
// are being destroyed.
WindowTable& Table() {
    static WindowTable* table = new WindowTable;
    return *table;
}

bool Contains(const RECT& rect, POINT point) {
    return point.x >= rect.left && point.x < rect.right && point.y >= rect.top && point.y < rect.bottom;
}

RECT Offset(RECT rect, POINT by) {
    return RECT{rect.left + by.x, rect.top + by.y, rect.right + by.x, rect.bottom + by.y};
}

std::vector<HWND>& SiblingsLocked(const WindowObject& window) {
    if (window.IsChild()) {
        auto parent = LookupWindowLocked(window.parent);
        if (parent) {
            return parent->children;
        }
    }
    return Table().topLevel;
}

bool IsTopmostLocked(const WindowObject& window) {
    return !window.IsChild() && (window.exStyle & WS_EX_TOPMOST);
}

// Index of the first sibling that a window of this band may go above.
std::size_t BandStartLocked(const std::vector<HWND>& siblings, bool topmost) {
    if (topmost) {
        return 0;
    }
    std::size_t index = 0;
    while (index < siblings.size()) {
        auto sibling = LookupWindowLocked(siblings[index]);
        if (!sibling || !IsTopmostLocked(*sibling)) {
            break;
        }
        ++index;
    }
    return index;
}

ZOrderChange MoveToLocked(WindowObject& window, std::size_t index) {
    std::vector<HWND>& siblings = SiblingsLocked(window);
    siblings.erase(std::remove(siblings.begin(), siblings.end(), window.handle), siblings.end());
    index = std::min(index, siblings.size());
    siblings.insert(siblings.begin() + static_cast<std::ptrdiff_t>(index), window.handle);
    HWND below = index + 1 < siblings.size() ? siblings[index + 1] : nullptr;
    return ZOrderChange{window.handle, IsTopmostLocked(window), below};
}

// Owned top-level windows stay above their owner.
void RaiseOwnedLocked(const WindowObject& owner, std::vector<ZOrderChange>& changes) {
    if (owner.IsChild()) {
        return;
    }
    const std::vector<HWND> topLevel = Table().topLevel;
    for (auto it = topLevel.rbegin(); it != topLevel.rend(); ++it) {
        auto owned = LookupWindowLocked(*it);
        if (owned && owned->parent == owner.handle) {
            auto more = RaiseLocked(*owned);
            changes.insert(changes.end(), more.begin(), more.end());
        }
    }
}

bool HitsLayeredLocked(const WindowObject& window, POINT screenPoint) {
    if (!(window.exStyle & WS_EX_LAYERED)) {
        return true;
    }
    if (window.exStyle & WS_EX_TRANSPARENT) {
        return false;
    }
    if (window.layeredFlags & LWA_COLORKEY) {
        // The key colour fills the window wherever no child window lies.
        const POINT origin = ClientOriginLocked(window);
        const POINT client{screenPoint.x - origin.x, screenPoint.y - origin.y};
        for (HWND child : window.children) {
            auto object = LookupWindowLocked(child);
            if (object && (object->style & WS_VISIBLE) && Contains(object->rect, client)) {
                return true;
            }
        }
        return false;
    }
    if (window.picture) {
        return window.picture->AlphaAt(screenPoint.x - window.rect.left, screenPoint.y - window.rect.top) != 0;
    }
    // A layered window shows nothing until it is given attributes or a picture.
    return window.layeredFlags != 0;
}

bool TransparentToMouse(const WindowObject& window) {
    return EqualClassName(window.className, WC_STATICW) && !(window.style & SS_NOTIFY);
}

HWND DescendLocked(const WindowObject& window, POINT screenPoint) {
    const POINT origin = ClientOriginLocked(window);
    const POINT client{screenPoint.x - origin.x, screenPoint.y - origin.y};
    for (HWND child : window.children) {
        auto object = LookupWindowLocked(child);
        if (!object || !(object->style & WS_VISIBLE) || !Contains(object->rect, client)) {
            continue;
        }
        if (object->style & WS_DISABLED) {
            return window.handle;
        }
        if (TransparentToMouse(*object)) {
            continue;
        }
        return DescendLocked(*object, screenPoint);
    }
    return window.handle;
}

thread_local std::function<void(HWND)> t_creationHook;

}  // namespace

std::mutex& WindowLock() {
    return Table().mutex;
}

bool EqualClassName(std::wstring_view a, std::wstring_view b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                      [](wchar_t x, wchar_t y) { return std::towlower(x) == std::towlower(y); });
}

std::shared_ptr<WindowObject> LookupWindowLocked(HWND hwnd) {
    auto& windows = Table().windows;
    auto it = windows.find(hwnd);
    return it == windows.end() ? nullptr : it->second;
}

std::shared_ptr<WindowObject> RequireWindowLocked(HWND hwnd) {
    auto window = LookupWindowLocked(hwnd);
    if (!window) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    }
    return window;
}

std::shared_ptr<WindowObject> LookupWindow(HWND hwnd) {
    std::lock_guard<std::mutex> lock(WindowLock());
    return LookupWindowLocked(hwnd);
}

std::shared_ptr<WindowObject> RequireWindow(HWND hwnd) {
    std::lock_guard<std::mutex> lock(WindowLock());
    return RequireWindowLocked(hwnd);
}

std::vector<std::shared_ptr<WindowObject>> AllWindowsLocked() {
    std::vector<std::shared_ptr<WindowObject>> all;
    for (auto& entry : Table().windows) {
        all.push_back(entry.second);
    }
    std::sort(all.begin(), all.end(), [](const auto& a, const auto& b) { return a->serial < b->serial; });
    return all;
}

const std::vector<HWND>& TopLevelLocked() {
    return Table().topLevel;
}

RECT FrameInsets(DWORD style, DWORD exStyle) {
    int frame = 0;
    if (style & WS_THICKFRAME) {
        frame = 4;
    } else if ((style & WS_DLGFRAME) || (exStyle & WS_EX_DLGMODALFRAME)) {
        frame = 3;
    } else if (style & WS_BORDER) {
        frame = 1;
    }
    if (exStyle & WS_EX_CLIENTEDGE) {
        frame += 2;
    }
    const int caption = (style & WS_CAPTION) == WS_CAPTION ? 19 : 0;
    return RECT{frame, frame + caption, frame, frame};
}

POINT ClientOriginLocked(const WindowObject& window) {
    const RECT insets = FrameInsets(window.style, window.exStyle);
    POINT origin{window.rect.left + insets.left, window.rect.top + insets.top};
    if (window.IsChild()) {
        if (auto parent = LookupWindowLocked(window.parent)) {
            const POINT parentOrigin = ClientOriginLocked(*parent);
            origin.x += parentOrigin.x;
            origin.y += parentOrigin.y;
        }
    }
    return origin;
}

RECT ScreenRectLocked(const WindowObject& window) {
    if (window.IsChild()) {
        if (auto parent = LookupWindowLocked(window.parent)) {
            return Offset(window.rect, ClientOriginLocked(*parent));
        }
    }
    return window.rect;
}

RECT ClientRectLocked(const WindowObject& window) {
    const RECT insets = FrameInsets(window.style, window.exStyle);
    const LONG width = window.rect.right - window.rect.left - insets.left - insets.right;
    const LONG height = window.rect.bottom - window.rect.top - insets.top - insets.bottom;
    return RECT{0, 0, std::max<LONG>(width, 0), std::max<LONG>(height, 0)};
}

bool IsVisibleLocked(const WindowObject& window) {
    if (!(window.style & WS_VISIBLE)) {
        return false;
    }
    if (window.IsChild()) {
        auto parent = LookupWindowLocked(window.parent);
        return parent && IsVisibleLocked(*parent);
    }
    return true;
}

bool IsDescendantLocked(HWND ancestor, HWND hwnd) {
    auto window = LookupWindowLocked(hwnd);
    while (window && window->IsChild()) {
        if (window->parent == ancestor) {
            return true;
        }
        window = LookupWindowLocked(window->parent);
    }
    return false;
}

HWND WindowFromPointLocked(POINT screenPoint) {
    for (HWND hwnd : Table().topLevel) {
        auto window = LookupWindowLocked(hwnd);
        if (!window || !(window->style & WS_VISIBLE) || (window->style & WS_MINIMIZE) ||
            !Contains(window->rect, screenPoint) || !HitsLayeredLocked(*window, screenPoint)) {
            continue;
        }
        return DescendLocked(*window, screenPoint);
    }
    return nullptr;
}

std::vector<ZOrderChange> RaiseLocked(WindowObject& window) {
    std::vector<ZOrderChange> changes;
    const std::size_t start = BandStartLocked(SiblingsLocked(window), IsTopmostLocked(window));
    changes.push_back(MoveToLocked(window, start));
    RaiseOwnedLocked(window, changes);
    return changes;
}

std::vector<ZOrderChange> PlaceLocked(WindowObject& window, HWND insertAfter) {
    std::vector<ZOrderChange> changes;
    std::vector<HWND>& siblings = SiblingsLocked(window);
    if (insertAfter == HWND_TOPMOST || insertAfter == HWND_NOTOPMOST) {
        if (!window.IsChild()) {
            if (insertAfter == HWND_TOPMOST) {
                window.exStyle |= WS_EX_TOPMOST;
            } else {
                window.exStyle &= ~static_cast<DWORD>(WS_EX_TOPMOST);
            }
        }
        return RaiseLocked(window);
    }
    if (insertAfter == HWND_TOP) {
        return RaiseLocked(window);
    }
    if (insertAfter == HWND_BOTTOM) {
        // The bottom is below every topmost window too.
        window.exStyle &= ~static_cast<DWORD>(WS_EX_TOPMOST);
        changes.push_back(MoveToLocked(window, siblings.size()));
        return changes;
    }
    auto after = LookupWindowLocked(insertAfter);
    if (!after || after.get() == &window) {
        return changes;
    }
    // Directly below that sibling, in its band.
    if (!window.IsChild()) {
        window.exStyle = (window.exStyle & ~static_cast<DWORD>(WS_EX_TOPMOST)) | (after->exStyle & WS_EX_TOPMOST);
    }
    siblings.erase(std::remove(siblings.begin(), siblings.end(), window.handle), siblings.end());
    auto it = std::find(siblings.begin(), siblings.end(), insertAfter);
    const std::size_t index =
        it == siblings.end() ? siblings.size() : static_cast<std::size_t>(it - siblings.begin()) + 1;
    changes.push_back(MoveToLocked(window, index));
    return changes;
}

HWND InsertWindowLocked(std::shared_ptr<WindowObject> window) {
    WindowTable& table = Table();
    window->handle = reinterpret_cast<HWND>(table.nextHandle);
    table.nextHandle += 4;
    window->serial = table.nextSerial++;
    table.windows[window->handle] = window;
    if (window->IsChild()) {
        // New controls go below their earlier siblings, as a template's do.
        if (auto parent = LookupWindowLocked(window->parent)) {
            parent->children.push_back(window->handle);
        }
    } else {
        std::vector<HWND>& siblings = table.topLevel;
        siblings.insert(
            siblings.begin() + static_cast<std::ptrdiff_t>(BandStartLocked(siblings, IsTopmostLocked(*window))),
            window->handle);
    }
    return window->handle;
}

void RemoveWindowLocked(HWND hwnd) {
    WindowTable& table = Table();
    auto window = LookupWindowLocked(hwnd);
    if (!window) {
        return;
    }
    std::vector<HWND>& siblings = SiblingsLocked(*window);
    siblings.erase(std::remove(siblings.begin(), siblings.end(), hwnd), siblings.end());
    table.windows.erase(hwnd);
}

void DetachThreadWindows(const MessageQueue* queue) {
    std::lock_guard<std::mutex> lock(WindowLock());
    for (auto& window : AllWindowsLocked()) {
        if (window->queue.get() == queue) {
            RemoveWindowLocked(window->handle);
        }
    }
}

void NotifyZOrder(const std::vector<ZOrderChange>& changes) {
    for (const ZOrderChange& change : changes) {
        Backend().ZOrderChanged(change.hwnd, change.topmost, change.below);
    }
}

bool IsOwnerThread(const WindowObject& window) {
    return window.queue->IsOwnerThread();
}

LRESULT CallOnWindowThread(HWND hwnd, std::function<LRESULT()> fn) {
    auto window = RequireWindow(hwnd);
    if (!window) {
        return 0;
    }
    if (IsOwnerThread(*window)) {
        return fn();
    }
    auto reply = std::make_shared<SentReply>();
    auto ownQueue = MessageQueue::CurrentIfAny();
    auto call = [hwnd, fn = std::move(fn)]() -> LRESULT { return LookupWindow(hwnd) ? fn() : 0; };
    if (!window->queue->Send(std::move(call), reply, ownQueue)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    if (ownQueue) {
        // A window thread keeps handling what is sent to it, so that two
        // threads sending to each other do not wait forever.
        while (!reply->Done()) {
            ownQueue->ProcessSent();
            if (reply->Done()) {
                break;
            }
            g_main_context_iteration(ownQueue->Context(), TRUE);
        }
        return reply->Result();
    }
    DWORD waited = WAIT_FAILED;
    try {
        waited = WaitOnObject(reply, INFINITE);
    } catch (const ThreadStopRequested&) {
        reply->Abandon();
        throw;
    }
    if (waited != WAIT_OBJECT_0) {
        // Stopped while unwinding: the call is not made any more.
        reply->Abandon();
        return 0;
    }
    return reply->Result();
}

ScopedCreationHook::ScopedCreationHook(std::function<void(HWND)> hook)
    : m_previous(std::exchange(t_creationHook, std::move(hook))) {}

ScopedCreationHook::~ScopedCreationHook() {
    t_creationHook = std::move(m_previous);
}

void RunCreationHook(HWND hwnd) {
    if (t_creationHook) {
        auto hook = std::exchange(t_creationHook, nullptr);
        hook(hwnd);
    }
}

void SetWindowTemplateId(HWND hwnd, UINT templateId) {
    std::lock_guard<std::mutex> lock(WindowLock());
    if (auto window = LookupWindowLocked(hwnd)) {
        window->templateId = templateId;
    }
}

}  // namespace platform
