// The display backend on a GTK 3 display: every top-level layered window is a
// borderless RGBA GTK window showing the picture it was last given, or, when
// colour-keyed, only the area of its children. GTK's events feed the
// stand-in's mouse input. GTK runs on the process's first thread, on GLib's
// default context, which that thread's message loop iterates; calls from
// other window threads are handed over to it.
#pragma once

#include "platform/linux/display/window_backend.h"
// InstallDisplayBackend installs this backend when a display can be opened.
#include "platform/window_system.h"

#include <gtk/gtk.h>

#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <thread>

namespace platform {

class GtkBackend : public WindowBackend {
public:
    // GTK must already be initialised, on the calling thread.
    GtkBackend();
    ~GtkBackend() override;
    GtkBackend(const GtkBackend&) = delete;
    GtkBackend& operator=(const GtkBackend&) = delete;

    void WindowCreated(HWND hwnd, HWND parent, DWORD style, DWORD exStyle) override;
    void WindowDestroyed(HWND hwnd) override;
    void ShowStateChanged(HWND hwnd, ShowState state) override;
    void PlacementChanged(HWND hwnd, const RECT& rect) override;
    void ZOrderChanged(HWND hwnd, bool topmost, HWND windowBelow) override;
    void StyleChanged(HWND hwnd, DWORD style, DWORD exStyle) override;
    void TextChanged(HWND hwnd, const std::wstring& text) override;
    void LayeredAttributesChanged(HWND hwnd, COLORREF key, BYTE alpha, DWORD flags) override;
    void LayeredPictureChanged(HWND hwnd, const std::shared_ptr<const LayeredPicture>& picture) override;
    void CursorChanged(HCURSOR cursor) override;
    bool BeginMoveDrag(HWND hwnd) override;
    RECT WorkArea() override;
    int ShowMessageBox(HWND owner, const std::wstring& text, const std::wstring& caption, UINT type) override;
    bool EmbedNativeView(HWND hwnd, GtkWidget* widget) override;

private:
    struct Shown;
    // A native widget shown as a child window's content: the widget sits in
    // a clipping layout placed over the window's visible part.
    struct Embedded {
        HWND top = nullptr;
        GtkWidget* clip = nullptr;
        GtkWidget* widget = nullptr;
    };

    // Runs fn on the GTK thread: at once there, later from elsewhere.
    void OnGtkThread(std::function<void()> fn);
    Shown* Find(HWND hwnd);
    // The top-level window a window belongs to (itself for a top-level one).
    HWND TopLevelOf(HWND hwnd) const;
    void UpdateVisibility(Shown& shown);
    // What the mouse reaches: opaque pixels of a picture, the children of a
    // colour-keyed window.
    void UpdateInputShape(Shown& shown);
    void ApplyCursor(Shown& shown);
    // Follows the windows' placement and visibility into the embedded widgets.
    void PlaceEmbedded(HWND top);
    void ReleaseEmbedded(Embedded& embedded);

    static gboolean OnDraw(GtkWidget* widget, cairo_t* cr, gpointer data);
    static gboolean OnButton(GtkWidget* widget, GdkEventButton* event, gpointer data);
    static gboolean OnMotion(GtkWidget* widget, GdkEventMotion* event, gpointer data);
    static gboolean OnLeave(GtkWidget* widget, GdkEventCrossing* event, gpointer data);
    static gboolean OnConfigure(GtkWidget* widget, GdkEventConfigure* event, gpointer data);
    static gboolean OnWindowState(GtkWidget* widget, GdkEventWindowState* event, gpointer data);
    // The system's move ended without a button release reaching us.
    void EndMoveDragIfReleased(guint modifierState, POINT screenPoint);

    const std::thread::id m_gtkThread;
    // GTK thread only.
    std::map<HWND, std::unique_ptr<Shown>> m_windows;
    std::map<HWND, HWND> m_childParents;  // child window -> its parent
    std::map<HWND, Embedded> m_embedded;
    HCURSOR m_cursor = nullptr;
    HWND m_moveDrag = nullptr;  // the window the system is moving
    guint32 m_lastPressTime = GDK_CURRENT_TIME;
    POINT m_lastPress{};

    std::mutex m_workAreaMutex;
    RECT m_workArea{};  // guarded by m_workAreaMutex; what other threads get
};

}  // namespace platform
