// The launcher's windows without their installed pictures: the built-in
// ones keep them visible at the drawn size.
#include "ui/picture_fallback.h"

#include "platform/gdiplus_image.h"
#include "platform/text.h"
#include "platform/window_automation.h"
#include "tests/support/temp_dir.h"
#include "ui/launcher_translucent_dlg.h"
#include "ui/launcher_windows_test_support.h"
#include "ui/web/launcher_resource.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace fs = std::filesystem;

namespace {

SIZE SizeOf(const std::wstring& path) {
    Gdiplus::Image image(path.c_str());
    return SIZE{static_cast<LONG>(image.GetWidth()), static_cast<LONG>(image.GetHeight())};
}

class PictureFallbackTest : public ui_test::LauncherWindowsTest {
protected:
    fs::path Installed(const char* name) const { return m_folder.Path() / "LauncherStyles" / "Image" / name; }
};

}  // namespace

TEST_F(PictureFallbackTest, ReadablePicturesAreUsedAsInstalled) {
    const std::wstring path = L"LauncherStyles/Image/ui_kuang.png";
    EXPECT_EQ(UsablePicture(path), path);
    EXPECT_FALSE(fs::exists(m_folder.Path() / "data" / "LauncherStyles"));
}

TEST_F(PictureFallbackTest, MissingOrBrokenPicturesGiveWayToTheBuiltInOnes) {
    fs::remove(Installed("ui_main_01.png"));
    m_folder.Write("LauncherStyles/Image/ui_kuang.png", "not a picture");
    for (const wchar_t* name : {L"ui_main_01.png", L"ui_kuang.png"}) {
        const std::wstring path = std::wstring(L"LauncherStyles/Image/") + name;
        const std::wstring used = UsablePicture(path);
        EXPECT_NE(used, path);
        EXPECT_EQ(used.rfind(g_settings.dataFolder, 0), 0u) << platform::ToUtf8(used);
        // Asked again, the copy written the first time serves.
        EXPECT_EQ(UsablePicture(path), used);
    }
    // The drawn geometry: the main window and the bar frame keep their size.
    EXPECT_EQ(SizeOf(UsablePicture(L"LauncherStyles/Image/ui_main_01.png")).cx, 870);
    EXPECT_EQ(SizeOf(UsablePicture(L"LauncherStyles/Image/ui_main_01.png")).cy, 520);
    EXPECT_EQ(SizeOf(UsablePicture(L"LauncherStyles/Image/ui_kuang.png")).cx, 332);
    EXPECT_EQ(SizeOf(UsablePicture(L"LauncherStyles/Image/ui_kuang.png")).cy, 18);
}

TEST_F(PictureFallbackTest, MainWindowWithoutAnyInstalledPictureIsShownAtFullSize) {
    fs::remove_all(m_folder.Path() / "LauncherStyles");
    RECT shown{};
    {
        CLauncherTranslucentDlg dialog;
        ui_test::Helper helper([&] {
            const HWND main = ui_test::WaitForShownDialog(IDD_LAUNCHER_TRANSLUCENT);
            if (main)
                shown = kit_test::WindowRect(main);
            PostMessageW(main, WM_CLOSE, 0, 0);
        });
        dialog.DoModal();
        helper.Join();
    }
    EXPECT_EQ(shown.right - shown.left, 870);
    EXPECT_EQ(shown.bottom - shown.top, 520);
}
