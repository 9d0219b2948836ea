#include "platform/linux/display/gtk/gtk_backend.h"

#include "platform/linux/gdi/cairo_pointers.h"
#include "platform/linux/user32/mouse_input.h"
#include "platform/linux/user32/window_object.h"
#include "platform/text.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdlib>
#include <future>
#include <utility>
#include <vector>

namespace platform {

namespace {

// Not among the stand-in's result names, but the numbers a box answers with.
constexpr int kTryAgain = 10;
constexpr int kContinue = 11;

struct CairoRegionRelease {
    void operator()(cairo_region_t* region) const { cairo_region_destroy(region); }
};
using CairoRegionPtr = std::unique_ptr<cairo_region_t, CairoRegionRelease>;

POINT RootPoint(double x, double y) {
    return POINT{static_cast<LONG>(std::lround(x)), static_cast<LONG>(std::lround(y))};
}

// The picture as cairo shows it; the constant alpha goes into the pixels, so
// drawing is a plain copy.
CairoSurfacePtr SurfaceOf(const LayeredPicture& picture) {
    const int width = picture.size.cx;
    const int height = picture.size.cy;
    CairoSurfacePtr surface(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height));
    if (cairo_surface_status(surface.get()) != CAIRO_STATUS_SUCCESS ||
        picture.pixels.size() < static_cast<std::size_t>(width) * static_cast<std::size_t>(height)) {
        return nullptr;
    }
    cairo_surface_flush(surface.get());
    unsigned char* data = cairo_image_surface_get_data(surface.get());
    const int stride = cairo_image_surface_get_stride(surface.get());
    const std::uint32_t alpha = picture.constantAlpha;
    for (int y = 0; y < height; ++y) {
        auto* out = reinterpret_cast<std::uint32_t*>(data + static_cast<std::ptrdiff_t>(y) * stride);
        const std::uint32_t* in = picture.pixels.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(width);
        for (int x = 0; x < width; ++x) {
            const std::uint32_t pixel = in[x];
            if (alpha == 255) {
                out[x] = pixel;
                continue;
            }
            // Premultiplied: every channel scales alike.
            std::uint32_t scaled = 0;
            for (int shift = 0; shift < 32; shift += 8) {
                scaled |= ((((pixel >> shift) & 0xFFu) * alpha + 127) / 255) << shift;
            }
            out[x] = scaled;
        }
    }
    cairo_surface_mark_dirty(surface.get());
    return surface;
}

// Where the picture is not fully transparent: what the mouse hits.
CairoRegionPtr OpaqueRegionOf(const LayeredPicture& picture) {
    CairoRegionPtr region(cairo_region_create());
    for (int y = 0; y < picture.size.cy; ++y) {
        int x = 0;
        while (x < picture.size.cx) {
            while (x < picture.size.cx && picture.AlphaAt(x, y) == 0) {
                ++x;
            }
            const int start = x;
            while (x < picture.size.cx && picture.AlphaAt(x, y) != 0) {
                ++x;
            }
            if (x > start) {
                const cairo_rectangle_int_t run{start, y, x - start, 1};
                cairo_region_union_rectangle(region.get(), &run);
            }
        }
    }
    return region;
}

// As on Windows: a tool window or an owned one has no task bar entry.
bool SkipsTaskbar(bool owned, DWORD exStyle) {
    return owned || (exStyle & WS_EX_TOOLWINDOW) != 0;
}

RECT Intersection(const RECT& a, const RECT& b) {
    const RECT both{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
                    std::min(a.bottom, b.bottom)};
    return both.left < both.right && both.top < both.bottom ? both : RECT{};
}

// The children of a window that show when it shows, in its own
// coordinates. Whether the window itself is shown does not count: a hidden
// window keeps the shape it will show with.
CairoRegionPtr ChildrenRegionOf(HWND hwnd) {
    CairoRegionPtr region(cairo_region_create());
    std::lock_guard<std::mutex> lock(WindowLock());
    auto window = LookupWindowLocked(hwnd);
    if (!window) {
        return region;
    }
    const RECT outer = ScreenRectLocked(*window);
    for (HWND child : window->children) {
        auto object = LookupWindowLocked(child);
        if (!object || !(object->style & WS_VISIBLE)) {
            continue;
        }
        const RECT rect = ScreenRectLocked(*object);
        const cairo_rectangle_int_t area{rect.left - outer.left, rect.top - outer.top, rect.right - rect.left,
                                         rect.bottom - rect.top};
        cairo_region_union_rectangle(region.get(), &area);
    }
    return region;
}

struct BoxButton {
    const char* label;
    int id;
};

std::vector<BoxButton> ButtonsOf(UINT type) {
    switch (type & MB_TYPEMASK) {
        case MB_OKCANCEL:
            return {{"_OK", IDOK}, {"_Cancel", IDCANCEL}};
        case MB_ABORTRETRYIGNORE:
            return {{"_Abort", IDABORT}, {"_Retry", IDRETRY}, {"_Ignore", IDIGNORE}};
        case MB_YESNOCANCEL:
            return {{"_Yes", IDYES}, {"_No", IDNO}, {"_Cancel", IDCANCEL}};
        case MB_YESNO:
            return {{"_Yes", IDYES}, {"_No", IDNO}};
        case MB_RETRYCANCEL:
            return {{"_Retry", IDRETRY}, {"_Cancel", IDCANCEL}};
        case MB_CANCELTRYCONTINUE:
            return {{"_Cancel", IDCANCEL}, {"_Try Again", kTryAgain}, {"_Continue", kContinue}};
        default:
            return {{"_OK", IDOK}};
    }
}

GtkMessageType MessageTypeOf(UINT type) {
    switch (type & 0xF0u) {
        case MB_ICONERROR:
            return GTK_MESSAGE_ERROR;
        case MB_ICONQUESTION:
            return GTK_MESSAGE_QUESTION;
        case MB_ICONWARNING:
            return GTK_MESSAGE_WARNING;
        case MB_ICONINFORMATION:
            return GTK_MESSAGE_INFO;
        default:
            return GTK_MESSAGE_OTHER;
    }
}

}  // namespace

struct GtkBackend::Shown {
    GtkBackend* backend = nullptr;
    HWND hwnd = nullptr;
    GtkWidget* window = nullptr;
    GtkWidget* fixed = nullptr;  // holds embedded widgets, once there are any
    bool owned = false;          // a top-level window with an owner
    DWORD style = 0;
    DWORD exStyle = 0;
    ShowState state = ShowState::Hidden;
    RECT rect{};
    DWORD layeredFlags = 0;
    CairoSurfacePtr picture;
    CairoRegionPtr pictureRegion;
};

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

void GtkBackend::UpdateInputShape(Shown& shown) {
    if (shown.layeredFlags & LWA_COLORKEY) {
        // The key colour is all there is outside the children: clicks there
        // belong to whatever is behind, and without a compositor nothing
        // may be drawn there either.
        CairoRegionPtr children = ChildrenRegionOf(shown.hwnd);
        gtk_widget_input_shape_combine_region(shown.window, children.get());
        gtk_widget_shape_combine_region(shown.window, children.get());
    } else {
        gtk_widget_input_shape_combine_region(shown.window, shown.pictureRegion.get());
    }
    gtk_widget_queue_draw(shown.window);
}

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

void GtkBackend::LayeredAttributesChanged(HWND hwnd, COLORREF, BYTE alpha, DWORD flags) {
    OnGtkThread([=, this] {
        if (Shown* shown = Find(hwnd)) {
            shown->layeredFlags = flags;
            gtk_widget_set_opacity(shown->window, (flags & LWA_ALPHA) ? alpha / 255.0 : 1.0);
            UpdateInputShape(*shown);
        }
    });
}

void GtkBackend::LayeredPictureChanged(HWND hwnd, const std::shared_ptr<const LayeredPicture>& picture) {
    OnGtkThread([=, this] {
        if (Shown* shown = Find(hwnd); shown && picture) {
            shown->picture = SurfaceOf(*picture);
            shown->pictureRegion = OpaqueRegionOf(*picture);
            UpdateInputShape(*shown);
        }
    });
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

int GtkBackend::ShowMessageBox(HWND owner, const std::wstring& text, const std::wstring& caption, UINT type) {
    auto ask = [=, this] {
        Shown* parent = Find(TopLevelOf(owner));
        GtkWidget* dialog = gtk_message_dialog_new(parent ? GTK_WINDOW(parent->window) : nullptr, GTK_DIALOG_MODAL,
                                                   MessageTypeOf(type), GTK_BUTTONS_NONE, "%s", ToUtf8(text).c_str());
        gtk_window_set_title(GTK_WINDOW(dialog), ToUtf8(caption).c_str());
        const std::vector<BoxButton> buttons = ButtonsOf(type);
        for (const BoxButton& button : buttons) {
            gtk_dialog_add_button(GTK_DIALOG(dialog), button.label, button.id);
        }
        int answer = gtk_dialog_run(GTK_DIALOG(dialog));
        gtk_widget_destroy(dialog);
        if (answer < 0) {
            // Closed without a button: Cancel where there is one, else the first.
            answer = buttons.front().id;
            for (const BoxButton& button : buttons) {
                if (button.id == IDCANCEL) {
                    answer = IDCANCEL;
                }
            }
        }
        return answer;
    };
    if (std::this_thread::get_id() == m_gtkThread) {
        return ask();
    }
    auto answer = std::make_shared<std::promise<int>>();
    std::future<int> result = answer->get_future();
    OnGtkThread([ask, answer] { answer->set_value(ask()); });
    return result.get();
}

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

gboolean GtkBackend::OnDraw(GtkWidget*, cairo_t* cr, gpointer data) {
    const Shown& shown = *static_cast<Shown*>(data);
    // Exactly the picture: nothing of what was drawn before stays.
    cairo_save(cr);
    cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
    cairo_set_source_rgba(cr, 0, 0, 0, 0);
    cairo_paint(cr);
    if (shown.picture && !(shown.layeredFlags & LWA_COLORKEY)) {
        cairo_set_source_surface(cr, shown.picture.get(), 0, 0);
        cairo_paint(cr);
    }
    cairo_restore(cr);
    // Embedded widgets draw over it.
    return FALSE;
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

namespace {
std::atomic<bool> g_displayInstalled{false};
}  // namespace

bool DisplayInstalled() {
    return g_displayInstalled;
}

void KeepWindowsOffScreen() {
    unsetenv("DISPLAY");
    unsetenv("WAYLAND_DISPLAY");
}

bool InstallDisplayBackend() {
    const char* display = std::getenv("DISPLAY");
    if (!display || !*display) {
        return false;
    }
    // Windows are placed in screen coordinates, which only X11 allows.
    gdk_set_allowed_backends("x11");
    // As GTK names a program from its command line.
    if (!g_get_prgname()) {
        gchar* program = g_file_read_link("/proc/self/exe", nullptr);
        gchar* name = program ? g_path_get_basename(program) : nullptr;
        if (name) {
            g_set_prgname(name);
        }
        g_free(name);
        g_free(program);
    }
    if (!gtk_init_check(nullptr, nullptr)) {
        return false;
    }
    SetWindowBackend(std::make_unique<GtkBackend>());
    g_displayInstalled = true;
    return true;
}

}  // namespace platform
