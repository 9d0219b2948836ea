// The image button under the mouse: which picture the dialog shows for its
// states, its check state, its cursor and its click.
#include "ui/kit/translucent_button.h"

#include "tests/support/temp_dir.h"
#include "ui/kit/kit_test_dialog.h"

#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

namespace {

using kit_test::At;
using kit_test::KitDialog;
using kit_test::PixelAt;
using kit_test::PumpUntil;

using kit_test::kGrey;
constexpr std::uint32_t kNormal = 0xFF102030;
constexpr std::uint32_t kDisabled = 0xFF808080;
constexpr std::uint32_t kHover = 0xFFFFFF00;
constexpr std::uint32_t kPressed = 0xFFFF00FF;
constexpr std::uint32_t kChecked = 0xFF00FFFF;

// The push button lies at (20, 20), the check box at (60, 20), both 20 x 20.
constexpr POINT kButtonCentre{30, 30};
constexpr POINT kCheckBoxCentre{70, 30};
constexpr POINT kAway{150, 80};

class ButtonPicture : public ::testing::Test {
protected:
    static bool WritePictures(const std::filesystem::path& dir) {
        kit_test::WritePng(dir / "background.png", 200, 100, kGrey);
        kit_test::WritePng(dir / "normal.png", 20, 20, kNormal);
        kit_test::WritePng(dir / "disabled.png", 20, 20, kDisabled);
        kit_test::WritePng(dir / "hover.png", 20, 20, kHover);
        kit_test::WritePng(dir / "pressed.png", 20, 20, kPressed);
        kit_test::WritePng(dir / "checked.png", 20, 20, kChecked);
        return true;
    }
    void TearDown() override {
        platform::InjectMouseUp(At(m_hwnd, kAway.x, kAway.y));
        platform::InjectMouseMove(POINT{1900, 1030});
        kit_test::PumpFrameworkPending();
    }

    std::wstring Path(const char* name) const { return (m_folder.Path() / name).wstring(); }

    // Makes and shows the dialog; each button gets the pictures named (an
    // empty name leaves the slot empty).
    void Open(const std::array<const char*, 5>& buttonPictures, const std::array<const char*, 5>& checkBoxPictures) {
        m_dialog.setUp = [&, this](KitDialog& dialog) {
            Place(dialog.button, buttonPictures, 20);
            Place(dialog.checkBox, checkBoxPictures, 60);
            dialog.Add(dialog.button);
            dialog.Add(dialog.checkBox);
        };
        ASSERT_TRUE(m_dialog.Create(kit_test::kKitDialog));
        m_hwnd = m_dialog.GetSafeHwnd();
        m_dialog.ShowWindow(SW_SHOW);
    }

    void Place(CTranslucentButton& button, const std::array<const char*, 5>& names, int x) {
        std::array<std::wstring, 5> paths;
        CTranslucentButton::ImagePaths pointers{};
        for (std::size_t i = 0; i < names.size(); ++i) {
            if (*names[i]) {
                paths[i] = Path(names[i]);
                pointers[i] = paths[i].c_str();
            }
        }
        EXPECT_TRUE(button.SetImages(pointers));
        button.SetWindowPos(nullptr, x, 20, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    }

    bool Shows(POINT point, std::uint32_t colour) {
        return PumpUntil([&] { return PixelAt(m_hwnd, point.x, point.y) == colour; });
    }

    kit_test::GdiplusSession m_gdiplus;
    testsupport::TempDir m_folder;
    // Written before the dialog, which loads its background when it is built.
    const bool m_written = WritePictures(m_folder.Path());
    KitDialog m_dialog{m_folder.Path() / "background.png", false};
    HWND m_hwnd = nullptr;
};

const std::array<const char*, 5> kAllPictures{"normal.png", "disabled.png", "hover.png", "pressed.png", "checked.png"};

TEST_F(ButtonPicture, SetImagesSizesTheButtonToItsNormalPicture) {
    Open(kAllPictures, kAllPictures);
    const RECT rect = kit_test::WindowRect(m_dialog.button.GetSafeHwnd());
    EXPECT_EQ(rect.right - rect.left, 20);
    EXPECT_EQ(rect.bottom - rect.top, 20);
    EXPECT_EQ(PixelAt(m_hwnd, kButtonCentre.x, kButtonCentre.y), kNormal);

    CTranslucentButton::ImagePaths none{};
    EXPECT_FALSE(m_dialog.button.SetImages(none));
}

TEST_F(ButtonPicture, HoverOutranksDisabled) {
    Open(kAllPictures, kAllPictures);
    platform::InjectMouseMove(At(m_hwnd, kButtonCentre.x, kButtonCentre.y));
    ASSERT_TRUE(Shows(kButtonCentre, kHover));

    // Read at once: on Windows the system's mouse tracking may end the hover
    // of a window disabled under the cursor at its next tick (a disabled
    // window is not under the cursor for it).
    m_dialog.button.EnableWindow(FALSE);
    EXPECT_EQ(PixelAt(m_hwnd, kButtonCentre.x, kButtonCentre.y), kHover);

    platform::InjectMouseMove(At(m_hwnd, kAway.x, kAway.y));
    EXPECT_TRUE(Shows(kButtonCentre, kDisabled));

    m_dialog.button.EnableWindow(TRUE);
    EXPECT_TRUE(Shows(kButtonCentre, kNormal));
}

TEST_F(ButtonPicture, AMissingHoverPictureFallsBackToTheNormalOne) {
    Open({"normal.png", "disabled.png", "", "pressed.png", ""}, kAllPictures);
    platform::InjectMouseMove(At(m_hwnd, kButtonCentre.x, kButtonCentre.y));
    platform::InjectMouseDown(At(m_hwnd, kButtonCentre.x, kButtonCentre.y));
    // Pressed shows only while hovered: once it shows, the button is hovered.
    ASSERT_TRUE(Shows(kButtonCentre, kPressed));

    platform::InjectMouseUp(At(m_hwnd, kButtonCentre.x, kButtonCentre.y));
    EXPECT_TRUE(Shows(kButtonCentre, kNormal));
    EXPECT_TRUE(PumpUntil([&] { return !m_dialog.clicked.empty(); }));
    EXPECT_EQ(m_dialog.clicked, std::vector<int>{kit_test::kButtonId});
}

TEST_F(ButtonPicture, ACheckBoxTogglesOnlyWhenReleasedOverIt) {
    Open(kAllPictures, kAllPictures);
    const POINT inside = At(m_hwnd, kCheckBoxCentre.x, kCheckBoxCentre.y);
    const POINT outside = At(m_hwnd, kAway.x, kAway.y);

    platform::InjectMouseMove(inside);
    platform::InjectClick(inside);
    ASSERT_TRUE(PumpUntil([&] { return m_dialog.checkBox.IsChecked(); }));
    platform::InjectMouseMove(outside);
    EXPECT_TRUE(Shows(kCheckBoxCentre, kChecked));

    // Pressed over it, released elsewhere: the check stays, the hover goes.
    platform::InjectMouseMove(inside);
    platform::InjectMouseDown(inside);
    platform::InjectMouseMove(outside);
    platform::InjectMouseUp(outside);
    kit_test::PumpFrameworkPending();
    EXPECT_TRUE(m_dialog.checkBox.IsChecked());
    EXPECT_EQ(PixelAt(m_hwnd, kCheckBoxCentre.x, kCheckBoxCentre.y), kChecked);
    EXPECT_EQ(m_dialog.clicked.size(), 1u);

    platform::InjectMouseMove(inside);
    platform::InjectClick(inside);
    EXPECT_TRUE(PumpUntil([&] { return !m_dialog.checkBox.IsChecked() && m_dialog.clicked.size() == 2; }));

    // A push button has no check state to toggle.
    const POINT button = At(m_hwnd, kButtonCentre.x, kButtonCentre.y);
    platform::InjectMouseMove(button);
    platform::InjectClick(button);
    EXPECT_TRUE(PumpUntil([&] { return m_dialog.clicked.size() == 3; }));
    EXPECT_FALSE(m_dialog.button.IsChecked());
}

TEST_F(ButtonPicture, TheButtonChoosesTheCursorOverIt) {
    Open(kAllPictures, kAllPictures);
    m_dialog.button.m_nCursor = IDC_HAND;
    SetCursor(LoadCursorW(nullptr, IDC_ARROW));
    platform::InjectMouseMove(At(m_hwnd, kButtonCentre.x, kButtonCentre.y));
    EXPECT_TRUE(PumpUntil([] { return GetCursor() == LoadCursorW(nullptr, IDC_HAND); }));
}

}  // namespace
