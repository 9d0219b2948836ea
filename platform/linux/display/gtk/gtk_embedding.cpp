// Native widgets (the browser's view) embedded as child windows' content,
// clipped to what of the child shows and following it.
#include "platform/linux/display/gtk/gtk_backend.h"
#include "platform/linux/display/gtk/gtk_shown.h"
#include "platform/linux/user32/window_object.h"

#include <algorithm>

namespace platform {

namespace {

RECT Intersection(const RECT& a, const RECT& b) {
    const RECT both{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
                    std::min(a.bottom, b.bottom)};
    return both.left < both.right && both.top < both.bottom ? both : RECT{};
}

}  // namespace

bool GtkBackend::EmbedNativeView(HWND hwnd, GtkWidget* widget) {
    if (std::this_thread::get_id() != m_gtkThread) {
        return false;
    }
    const HWND top = TopLevelOf(hwnd);
    Shown* shown = Find(top);
    if (!shown || top == hwnd || m_embedded.count(hwnd)) {
        return false;
    }
    if (!shown->fixed) {
        shown->fixed = gtk_fixed_new();
        gtk_container_add(GTK_CONTAINER(shown->window), shown->fixed);
        gtk_widget_show(shown->fixed);
    }
    // Held until the window goes, even if its owner destroys it first.
    Embedded embedded{top, gtk_layout_new(nullptr, nullptr), GTK_WIDGET(g_object_ref(widget))};
    gtk_fixed_put(GTK_FIXED(shown->fixed), embedded.clip, 0, 0);
    gtk_layout_put(GTK_LAYOUT(embedded.clip), widget, 0, 0);
    m_embedded[hwnd] = embedded;
    PlaceEmbedded(top);
    return true;
}

void GtkBackend::ReleaseEmbedded(Embedded& embedded) {
    if (gtk_widget_get_parent(embedded.widget) == embedded.clip) {
        gtk_container_remove(GTK_CONTAINER(embedded.clip), embedded.widget);
    }
    g_object_unref(embedded.widget);
}

void GtkBackend::PlaceEmbedded(HWND top) {
    Shown* shown = Find(top);
    if (!shown) {
        return;
    }
    for (auto& [hwnd, embedded] : m_embedded) {
        if (embedded.top != top) {
            continue;
        }
        RECT area{};
        RECT visible{};
        RECT origin{};
        bool shownNow = false;
        {
            std::lock_guard<std::mutex> lock(WindowLock());
            auto window = LookupWindowLocked(hwnd);
            auto topWindow = LookupWindowLocked(top);
            if (!window || !topWindow) {
                continue;
            }
            area = ScreenRectLocked(*window);
            visible = area;
            // A child shows only inside the client areas of its parents.
            for (auto parent = LookupWindowLocked(window->parent); parent;
                 parent = LookupWindowLocked(parent->parent)) {
                const POINT corner = ClientOriginLocked(*parent);
                const RECT client = ClientRectLocked(*parent);
                const RECT screenClient{corner.x, corner.y, corner.x + client.right, corner.y + client.bottom};
                visible = Intersection(visible, screenClient);
                if (!parent->IsChild()) {
                    break;
                }
            }
            origin = ScreenRectLocked(*topWindow);
            shownNow = (window->style & WS_VISIBLE) != 0;
            for (auto parent = LookupWindowLocked(window->parent); parent && parent->IsChild();
                 parent = LookupWindowLocked(parent->parent)) {
                shownNow = shownNow && (parent->style & WS_VISIBLE) != 0;
            }
        }
        const int width = visible.right - visible.left;
        const int height = visible.bottom - visible.top;
        gtk_fixed_move(GTK_FIXED(shown->fixed), embedded.clip, visible.left - origin.left, visible.top - origin.top);
        gtk_widget_set_size_request(embedded.clip, std::max(width, 0), std::max(height, 0));
        gtk_layout_move(GTK_LAYOUT(embedded.clip), embedded.widget, area.left - visible.left, area.top - visible.top);
        gtk_widget_set_size_request(embedded.widget, area.right - area.left, area.bottom - area.top);
        gtk_widget_set_visible(embedded.clip, shownNow && width > 0 && height > 0);
    }
}

}  // namespace platform
