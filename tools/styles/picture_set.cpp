#include "tools/styles/picture_set.h"

#include "tools/styles/cairo_handles.h"
#include "tools/styles/control_pictures.h"
#include "tools/styles/launcher_layout.h"
#include "tools/styles/window_pictures.h"

#include <functional>
#include <system_error>
#include <vector>

namespace {

struct Picture {
    std::string fileName;
    int width;
    int height;
    std::function<void(cairo_t*)> draw;
};

Picture ButtonPicture(const char* prefix, const char* stateNumber, ButtonGlyph glyph, ButtonState state) {
    return {std::string(prefix) + stateNumber + ".png", layout::kButtonSize, layout::kButtonSize,
            [glyph, state](cairo_t* cr) { DrawButton(cr, glyph, state); }};
}

void AddButtonStates(std::vector<Picture>& pictures, const char* prefix, ButtonGlyph glyph) {
    pictures.push_back(ButtonPicture(prefix, "01", glyph, ButtonState::Normal));
    pictures.push_back(ButtonPicture(prefix, "02", glyph, ButtonState::Disabled));
    pictures.push_back(ButtonPicture(prefix, "03", glyph, ButtonState::Hover));
}

std::string WritePicture(const Picture& picture, const std::filesystem::path& folder) {
    SurfacePtr surface(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, picture.width, picture.height));
    {
        ContextPtr cr(cairo_create(surface.get()));
        picture.draw(cr.get());
        if (cairo_status(cr.get()) != CAIRO_STATUS_SUCCESS) {
            return picture.fileName + ": " + cairo_status_to_string(cairo_status(cr.get()));
        }
    }
    const std::filesystem::path path = folder / picture.fileName;
    const cairo_status_t written = cairo_surface_write_to_png(surface.get(), path.c_str());
    if (written != CAIRO_STATUS_SUCCESS) {
        return path.string() + ": " + cairo_status_to_string(written);
    }
    return {};
}

std::vector<Picture> LauncherPictures() {
    std::vector<Picture> pictures{
        {"ui_main_01.png", layout::kMainWidth, layout::kMainHeight, DrawMainWindow},
        {"ui_main_02.png", layout::kProgressWidth, layout::kProgressHeight, DrawProgressWindow},
        {"ui_kuang.png", layout::kBarWidth, layout::kBarHeight, DrawBarFrame},
        {"ui_progress_01.png", int(layout::kFillGroove.w), int(layout::kFillGroove.h),
         [](cairo_t* cr) { DrawBarFill(cr, FillTone::Amber); }},
        {"ui_progress_02.png", int(layout::kFillGroove.w), int(layout::kFillGroove.h),
         [](cairo_t* cr) { DrawBarFill(cr, FillTone::Jade); }},
        {"ui_vernier_01.png", layout::kSliderSize, layout::kSliderSize, DrawSlider},
    };
    AddButtonStates(pictures, "ui_exit_", ButtonGlyph::Close);
    AddButtonStates(pictures, "ui_mini_", ButtonGlyph::Minimise);
    return pictures;
}

}  // namespace

std::string WriteLauncherPictures(const std::filesystem::path& launcherFolder) {
    // The launcher loads its pictures from here, relative to its own folder.
    const std::filesystem::path folder = launcherFolder / "LauncherStyles" / "Image";
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    if (error)
        return folder.string() + ": " + error.message();
    for (const Picture& picture : LauncherPictures()) {
        std::string problem = WritePicture(picture, folder);
        if (!problem.empty())
            return problem;
    }
    return {};
}
