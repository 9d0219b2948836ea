// The user's input through GTK: mouse events fed to the stand-in's mouse
// input, the cursor, and the window manager's moves and minimising, which
// the window objects learn of.
#include "platform/linux/display/gtk/gtk_backend.h"
#include "platform/linux/display/gtk/gtk_shown.h"
#include "platform/linux/user32/mouse_input.h"

#include <cmath>

namespace platform {

namespace {

POINT RootPoint(double x, double y) {
    return POINT{static_cast<LONG>(std::lround(x)), static_cast<LONG>(std::lround(y))};
}

}  // namespace

void GtkBackend::ApplyCursor(Shown& shown) {
    GdkWindow* gdkWindow = gtk_widget_get_window(shown.window);
    if (!gdkWindow) {
        return;
    }
    const bool hand = m_cursor && m_cursor == LoadCursorW(nullptr, IDC_HAND);
    GdkCursor* cursor = gdk_cursor_new_from_name(gdk_window_get_display(gdkWindow), hand ? "pointer" : "default");
    gdk_window_set_cursor(gdkWindow, cursor);
    if (cursor) {
        g_object_unref(cursor);
    }
}

void GtkBackend::CursorChanged(HCURSOR cursor) {
    OnGtkThread([=, this] {
        m_cursor = cursor;
        for (auto& [hwnd, shown] : m_windows) {
            ApplyCursor(*shown);
        }
    });
}

bool GtkBackend::BeginMoveDrag(HWND hwnd) {
    OnGtkThread([=, this] {
        if (Shown* shown = Find(hwnd); shown && gtk_widget_get_visible(shown->window)) {
            m_moveDrag = hwnd;
            gtk_window_begin_move_drag(GTK_WINDOW(shown->window), 1, m_lastPress.x, m_lastPress.y, m_lastPressTime);
        }
    });
    return true;
}

void GtkBackend::EndMoveDragIfReleased(guint modifierState, POINT screenPoint) {
    if (m_moveDrag && !(modifierState & GDK_BUTTON1_MASK)) {
        m_moveDrag = nullptr;
        // The move took the release; the mouse state still has to learn of it.
        InjectMouseMessage(screenPoint, WM_LBUTTONUP);
    }
}

gboolean GtkBackend::OnButton(GtkWidget*, GdkEventButton* event, gpointer data) {
    Shown& shown = *static_cast<Shown*>(data);
    GtkBackend& backend = *shown.backend;
    if (event->button != 1 || (event->type != GDK_BUTTON_PRESS && event->type != GDK_BUTTON_RELEASE)) {
        return TRUE;
    }
    const POINT point = RootPoint(event->x_root, event->y_root);
    if (event->type == GDK_BUTTON_PRESS) {
        backend.m_lastPress = point;
        backend.m_lastPressTime = event->time;
        InjectMouseMessage(point, WM_LBUTTONDOWN);
    } else {
        backend.m_moveDrag = nullptr;
        InjectMouseMessage(point, WM_LBUTTONUP);
    }
    return TRUE;
}

gboolean GtkBackend::OnMotion(GtkWidget*, GdkEventMotion* event, gpointer data) {
    Shown& shown = *static_cast<Shown*>(data);
    const POINT point = RootPoint(event->x_root, event->y_root);
    shown.backend->EndMoveDragIfReleased(event->state, point);
    InjectMouseMessage(point, WM_MOUSEMOVE);
    return TRUE;
}

gboolean GtkBackend::OnLeave(GtkWidget*, GdkEventCrossing* event, gpointer) {
    // The window core finds what is under the point now and ends the hover.
    if (event->detail != GDK_NOTIFY_INFERIOR) {
        InjectMouseMessage(RootPoint(event->x_root, event->y_root), WM_MOUSEMOVE);
    }
    return FALSE;
}

gboolean GtkBackend::OnWindowState(GtkWidget*, GdkEventWindowState* event, gpointer data) {
    const Shown& shown = *static_cast<Shown*>(data);
    // Owned windows are hidden and shown with their owner by the window
    // core; the window manager's minimising them along is its echo of that.
    if (shown.owned || shown.state == ShowState::Hidden || !(event->changed_mask & GDK_WINDOW_STATE_ICONIFIED)) {
        return FALSE;
    }
    const bool iconified = (event->new_window_state & GDK_WINDOW_STATE_ICONIFIED) != 0;
    if (iconified != (shown.state == ShowState::Minimized)) {
        // The window manager minimised or restored it (a task bar, a key, a
        // pager): the window learns of it as of a system menu's choice, so
        // that its owned windows go and come back with it.
        PostMessageW(shown.hwnd, WM_SYSCOMMAND, iconified ? SC_MINIMIZE : SC_RESTORE, 0);
    }
    return FALSE;
}

gboolean GtkBackend::OnConfigure(GtkWidget*, GdkEventConfigure* event, gpointer data) {
    Shown& shown = *static_cast<Shown*>(data);
    // Only the system's move reports a position the window core does not know;
    // at other times a late event would undo a newer move.
    if (shown.backend->m_moveDrag == shown.hwnd && (event->x != shown.rect.left || event->y != shown.rect.top)) {
        SetWindowPos(shown.hwnd, nullptr, event->x, event->y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    return FALSE;
}

}  // namespace platform
