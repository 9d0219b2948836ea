// The backend's windows: one GTK window for each top-level window, made,
// placed, stacked, shown and titled as the window object says, all on the
// GTK thread.
#include "platform/linux/display/gtk/gtk_backend.h"
#include "platform/linux/display/gtk/gtk_shown.h"
#include "platform/text.h"

#include <algorithm>

namespace platform {

namespace {

// As on Windows: a tool window or an owned one has no task bar entry.
bool SkipsTaskbar(bool owned, DWORD exStyle) {
    return owned || (exStyle & WS_EX_TOOLWINDOW) != 0;
}

}  // namespace

GtkBackend::GtkBackend() : m_gtkThread(std::this_thread::get_id()) {
    m_workArea = WorkArea();
}

GtkBackend::~GtkBackend() {
    for (auto& [hwnd, shown] : m_windows) {
        gtk_widget_destroy(shown->window);
    }
}

void GtkBackend::OnGtkThread(std::function<void()> fn) {
    if (std::this_thread::get_id() == m_gtkThread) {
        fn();
        return;
    }
    g_main_context_invoke_full(
        g_main_context_default(), G_PRIORITY_DEFAULT,
        [](gpointer data) -> gboolean {
            (*static_cast<std::function<void()>*>(data))();
            return G_SOURCE_REMOVE;
        },
        new std::function<void()>(std::move(fn)),
        [](gpointer data) { delete static_cast<std::function<void()>*>(data); });
}

GtkBackend::Shown* GtkBackend::Find(HWND hwnd) {
    auto it = m_windows.find(hwnd);
    return it == m_windows.end() ? nullptr : it->second.get();
}

HWND GtkBackend::TopLevelOf(HWND hwnd) const {
    for (auto it = m_childParents.find(hwnd); it != m_childParents.end(); it = m_childParents.find(hwnd)) {
        hwnd = it->second;
    }
    return hwnd;
}

void GtkBackend::WindowCreated(HWND hwnd, HWND parent, DWORD style, DWORD exStyle) {
    OnGtkThread([=, this] {
        if (style & WS_CHILD) {
            m_childParents[hwnd] = parent;
            return;
        }
        auto shown = std::make_unique<Shown>();
        shown->backend = this;
        shown->hwnd = hwnd;
        shown->style = style;
        shown->exStyle = exStyle;
        GtkWidget* window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
        shown->window = window;
        gtk_window_set_decorated(GTK_WINDOW(window), FALSE);
        gtk_widget_set_app_paintable(window, TRUE);
        // Per-pixel alpha needs a visual with an alpha channel; without one the
        // transparent parts show black.
        if (GdkVisual* visual = gdk_screen_get_rgba_visual(gtk_widget_get_screen(window))) {
            gtk_widget_set_visual(window, visual);
        }
        gtk_widget_add_events(window, GDK_BUTTON_PRESS_MASK | GDK_BUTTON_RELEASE_MASK | GDK_POINTER_MOTION_MASK |
                                          GDK_LEAVE_NOTIFY_MASK | GDK_STRUCTURE_MASK);
        // Untitled, GTK would title it with the program's name; its own text
        // follows when it has one.
        gtk_window_set_title(GTK_WINDOW(window), "");
        // An owned window belongs to its owner on the screen too: the window
        // manager keeps it above the owner, whichever of them was clicked,
        // and it has no entry of its own in a task bar or pager.
        if (Shown* owner = parent ? Find(TopLevelOf(parent)) : nullptr) {
            shown->owned = true;
            gtk_window_set_transient_for(GTK_WINDOW(window), GTK_WINDOW(owner->window));
            gtk_window_set_skip_pager_hint(GTK_WINDOW(window), TRUE);
        }
        gtk_window_set_skip_taskbar_hint(GTK_WINDOW(window), SkipsTaskbar(shown->owned, shown->exStyle));
        gtk_window_set_keep_above(GTK_WINDOW(window), (exStyle & WS_EX_TOPMOST) != 0);
        g_signal_connect(window, "draw", G_CALLBACK(OnDraw), shown.get());
        g_signal_connect(window, "button-press-event", G_CALLBACK(OnButton), shown.get());
        g_signal_connect(window, "button-release-event", G_CALLBACK(OnButton), shown.get());
        g_signal_connect(window, "motion-notify-event", G_CALLBACK(OnMotion), shown.get());
        g_signal_connect(window, "leave-notify-event", G_CALLBACK(OnLeave), shown.get());
        g_signal_connect(window, "configure-event", G_CALLBACK(OnConfigure), shown.get());
        g_signal_connect(window, "window-state-event", G_CALLBACK(OnWindowState), shown.get());
        // The window object decides when it goes; the user cannot close it here.
        g_signal_connect(window, "delete-event", G_CALLBACK(gtk_true), nullptr);
        m_windows[hwnd] = std::move(shown);
    });
}

void GtkBackend::WindowDestroyed(HWND hwnd) {
    OnGtkThread([=, this] {
        if (m_moveDrag == hwnd) {
            m_moveDrag = nullptr;
        }
        if (auto it = m_embedded.find(hwnd); it != m_embedded.end()) {
            // The widget belongs to whoever embedded it; only our layout goes.
            ReleaseEmbedded(it->second);
            gtk_widget_destroy(it->second.clip);
            m_embedded.erase(it);
        }
        if (auto it = m_childParents.find(hwnd); it != m_childParents.end()) {
            const HWND top = TopLevelOf(hwnd);
            m_childParents.erase(it);
            if (Shown* shown = Find(top)) {
                UpdateInputShape(*shown);
            }
            return;
        }
        if (auto it = m_windows.find(hwnd); it != m_windows.end()) {
            for (auto embedded = m_embedded.begin(); embedded != m_embedded.end();) {
                if (embedded->second.top != hwnd) {
                    ++embedded;
                    continue;
                }
                ReleaseEmbedded(embedded->second);
                embedded = m_embedded.erase(embedded);
            }
            gtk_widget_destroy(it->second->window);
            m_windows.erase(it);
        }
    });
}

void GtkBackend::UpdateVisibility(Shown& shown) {
    GtkWindow* window = GTK_WINDOW(shown.window);
    // Only layered windows have something to show: their picture or children.
    if (shown.state == ShowState::Hidden || !(shown.exStyle & WS_EX_LAYERED)) {
        gtk_widget_hide(shown.window);
        return;
    }
    gtk_window_move(window, shown.rect.left, shown.rect.top);
    if (!gtk_widget_get_visible(shown.window)) {
        gtk_widget_show(shown.window);
        ApplyCursor(shown);
    }
    if (shown.state == ShowState::Minimized) {
        gtk_window_iconify(window);
    } else {
        gtk_window_deiconify(window);
    }
}

void GtkBackend::ShowStateChanged(HWND hwnd, ShowState state) {
    OnGtkThread([=, this] {
        if (Shown* shown = Find(hwnd)) {
            shown->state = state;
            UpdateVisibility(*shown);
        } else if (m_childParents.count(hwnd)) {
            if (Shown* top = Find(TopLevelOf(hwnd))) {
                UpdateInputShape(*top);
            }
        }
        PlaceEmbedded(TopLevelOf(hwnd));
    });
}

void GtkBackend::PlacementChanged(HWND hwnd, const RECT& rect) {
    OnGtkThread([=, this] {
        if (Shown* shown = Find(hwnd)) {
            shown->rect = rect;
            gtk_window_move(GTK_WINDOW(shown->window), rect.left, rect.top);
            gtk_window_resize(GTK_WINDOW(shown->window), std::max<int>(rect.right - rect.left, 1),
                              std::max<int>(rect.bottom - rect.top, 1));
            if (shown->layeredFlags & LWA_COLORKEY) {
                UpdateInputShape(*shown);
            }
            // A smaller or larger window clips its widgets differently.
            PlaceEmbedded(hwnd);
        } else if (m_childParents.count(hwnd)) {
            if (Shown* top = Find(TopLevelOf(hwnd))) {
                UpdateInputShape(*top);
            }
            PlaceEmbedded(TopLevelOf(hwnd));
        }
    });
}

void GtkBackend::ZOrderChanged(HWND hwnd, bool topmost, HWND windowBelow) {
    OnGtkThread([=, this] {
        Shown* shown = Find(hwnd);
        if (!shown) {
            return;
        }
        gtk_window_set_keep_above(GTK_WINDOW(shown->window), topmost);
        Shown* below = Find(windowBelow);
        GdkWindow* gdkWindow = gtk_widget_get_window(shown->window);
        GdkWindow* gdkBelow = below ? gtk_widget_get_window(below->window) : nullptr;
        if (gdkWindow && gdkBelow) {
            gdk_window_restack(gdkWindow, gdkBelow, TRUE);
        } else if (gdkWindow && !windowBelow) {
            gdk_window_lower(gdkWindow);
        }
    });
}

void GtkBackend::StyleChanged(HWND hwnd, DWORD style, DWORD exStyle) {
    OnGtkThread([=, this] {
        if (Shown* shown = Find(hwnd)) {
            shown->style = style;
            shown->exStyle = exStyle;
            gtk_window_set_skip_taskbar_hint(GTK_WINDOW(shown->window), SkipsTaskbar(shown->owned, shown->exStyle));
            UpdateVisibility(*shown);
        }
    });
}

void GtkBackend::TextChanged(HWND hwnd, const std::wstring& text) {
    OnGtkThread([=, this] {
        if (Shown* shown = Find(hwnd)) {
            gtk_window_set_title(GTK_WINDOW(shown->window), ToUtf8(text).c_str());
        }
    });
}

RECT GtkBackend::WorkArea() {
    if (std::this_thread::get_id() != m_gtkThread) {
        std::lock_guard<std::mutex> lock(m_workAreaMutex);
        return m_workArea;
    }
    GdkDisplay* display = gdk_display_get_default();
    GdkMonitor* monitor = gdk_display_get_primary_monitor(display);
    if (!monitor) {
        monitor = gdk_display_get_monitor(display, 0);
    }
    GdkRectangle area{0, 0, 0, 0};
    if (monitor) {
        gdk_monitor_get_workarea(monitor, &area);
    }
    const RECT work{area.x, area.y, area.x + area.width, area.y + area.height};
    std::lock_guard<std::mutex> lock(m_workAreaMutex);
    m_workArea = work;
    return work;
}

}  // namespace platform
