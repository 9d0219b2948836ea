// Taking the display: the GTK backend is installed when an X display can be
// opened.
#include "platform/linux/display/gtk/gtk_backend.h"

#include <atomic>
#include <cstdlib>

namespace platform {

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
