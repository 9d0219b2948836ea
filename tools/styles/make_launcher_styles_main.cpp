// make_launcher_styles: draws the launcher's pictures into
// OUTPUT_DIR/LauncherStyles/Image/, where the launcher in OUTPUT_DIR loads them,
// and, given ICON_FILE, the program icon the Windows build links into
// Launcher.exe.
#include "tools/styles/launcher_icon.h"
#include "tools/styles/picture_set.h"

#include <cairo.h>
#include <fontconfig/fontconfig.h>
#include <pango/pangocairo.h>

#include <iostream>

namespace {

// Font and drawing caches are released before exit, so that leak checkers
// in sanitizer builds see only what this program itself forgot.
void ReleaseLibraryCaches() {
    pango_cairo_font_map_set_default(nullptr);
    cairo_debug_reset_static_data();
    FcFini();
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2 && argc != 3) {
        std::cerr << "usage: make_launcher_styles OUTPUT_DIR [ICON_FILE]\n";
        return 2;
    }
    std::string problem = WriteLauncherPictures(argv[1]);
    if (problem.empty() && argc == 3)
        problem = WriteLauncherIcon(argv[2]);
    ReleaseLibraryCaches();
    if (!problem.empty()) {
        std::cerr << "make_launcher_styles: " << problem << '\n';
        return 1;
    }
    return 0;
}
