// The seam between the window objects and a display. The window objects keep
// every state a program can ask for (placement, visibility, styles, z-order)
// and tell the backend what changed; a backend shows it, or, without a
// display, has nothing to do. Calls come on the window's own thread, with no
// lock of the stand-in held, so a backend may call user32 functions back.
#pragma once

#include "platform/layered_picture.h"
#include "platform/winuser.h"

#include <memory>
#include <string>

using GtkWidget = struct _GtkWidget;

namespace platform {

enum class ShowState { Hidden, Normal, Minimized };

class WindowBackend {
public:
    virtual ~WindowBackend() = default;

    // Notifications; a backend without a display ignores them.
    virtual void WindowCreated(HWND /*hwnd*/, HWND /*parent*/, DWORD /*style*/, DWORD /*exStyle*/) {}
    virtual void WindowDestroyed(HWND /*hwnd*/) {}
    virtual void ShowStateChanged(HWND /*hwnd*/, ShowState /*state*/) {}
    // The window rectangle: screen coordinates for top-level windows, the
    // parent's client coordinates for child windows.
    virtual void PlacementChanged(HWND /*hwnd*/, const RECT& /*rect*/) {}
    // windowBelow: the sibling now directly below, NULL at the bottom.
    virtual void ZOrderChanged(HWND /*hwnd*/, bool /*topmost*/, HWND /*windowBelow*/) {}
    virtual void EnabledChanged(HWND /*hwnd*/, bool /*enabled*/) {}
    virtual void StyleChanged(HWND /*hwnd*/, DWORD /*style*/, DWORD /*exStyle*/) {}
    virtual void TextChanged(HWND /*hwnd*/, const std::wstring& /*text*/) {}
    virtual void LayeredAttributesChanged(HWND /*hwnd*/, COLORREF /*key*/, BYTE /*alpha*/, DWORD /*flags*/) {}
    virtual void LayeredPictureChanged(HWND /*hwnd*/, const std::shared_ptr<const LayeredPicture>& /*picture*/) {}
    virtual void CursorChanged(HCURSOR /*cursor*/) {}

    // The system's move of a window by the mouse (WM_SYSCOMMAND SC_MOVE),
    // while the left button is down. False leaves it to the stand-in, which
    // then moves the window with the mouse input it is given.
    virtual bool BeginMoveDrag(HWND hwnd) = 0;
    virtual RECT WorkArea() = 0;
    // Shows a native widget as the content of a child window, clipped to the
    // window's ancestors, until the window goes. False when this backend
    // shows no widgets; the caller then keeps the widget.
    virtual bool EmbedNativeView(HWND /*hwnd*/, GtkWidget* /*widget*/) { return false; }
    // Returns the id of the button pressed.
    virtual int ShowMessageBox(HWND owner, const std::wstring& text, const std::wstring& caption, UINT type) = 0;
};

// The backend in use; the headless one unless another was installed.
WindowBackend& Backend();
// Installs a backend; call before the first window is created.
void SetWindowBackend(std::unique_ptr<WindowBackend> backend);

}  // namespace platform
