#include "ui/picture_fallback.h"

#include "platform/gdiplus_image.h"
#include "platform/shell32.h"
#include "platform/text.h"
#include "state/diag_log.h"
#include "state/launcher_settings.h"
#include "ui/built_in_pictures.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <set>

namespace {

bool Readable(const std::wstring& path) {
    Gdiplus::Image image(path.c_str());
    return image.GetLastStatus() == Gdiplus::Ok && image.GetWidth() > 0 && image.GetHeight() > 0;
}

const BuiltInPicture* FindBuiltIn(const std::wstring& name) {
    for (std::size_t i = 0; i < kBuiltInPictureCount; ++i) {
        if (name == kBuiltInPictures[i].name)
            return &kBuiltInPictures[i];
    }
    return nullptr;
}

// Writes the picture whole or not at all, so a reader never finds half of it.
bool WriteWhole(const std::filesystem::path& file, const BuiltInPicture& picture) {
    std::error_code error;
    std::filesystem::create_directories(file.parent_path(), error);
    std::filesystem::path part = file;
    part += ".part";
    {
        std::ofstream out(part, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(picture.png), static_cast<std::streamsize>(picture.size));
        if (!out.flush())
            return false;
    }
    std::filesystem::rename(part, file, error);
    return !error;
}

}  // namespace

std::wstring UsablePicture(const std::wstring& path) {
    if (Readable(path))
        return path;
    const std::wstring name = PathFindFileNameW(path.c_str());
    const BuiltInPicture* builtIn = FindBuiltIn(name);
    const std::wstring copy = g_settings.dataFolder + L"\\LauncherStyles\\Image\\" + name;
    // Written afresh once per process, so a copy left by an older launcher
    // never stands in for this one's pictures.
    static std::set<std::wstring> seen;
    const bool first = seen.insert(name).second;
    const bool usable = builtIn && ((!first && Readable(copy)) || WriteWhole(platform::NativePath(copy), *builtIn));
    if (first) {
        DiagProblem(L"picture", path + L" is missing or unreadable; " +
                                    (usable ? L"using the built-in one" : L"there is no built-in one"));
        std::fprintf(stderr, "Quillmoor launcher: the picture \"%s\" is missing or unreadable; %s.\n",
                     platform::ToUtf8(path).c_str(), usable ? "using the built-in one" : "there is no built-in one");
    }
    return usable ? copy : path;
}
