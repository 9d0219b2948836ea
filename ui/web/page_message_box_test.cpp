// The page's message boxes, as the windows without a display record them:
// the browser's standard caption becomes the view's own, others are kept.
#include "ui/web/orb_html_view.h"

#include "platform/kernel32.h"
#include "platform/window_automation.h"
#include "ui/web/page_view_test_support.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using page_view_test::CommandWindow;

TEST(PageMessageBoxTest, MessageBoxesWithTheBrowsersCaptionGetOursOthersKeepTheirs) {
    platform::TakeMessageBoxes();  // none from before
    CommandWindow owner;
    COrbHtmlView view;
    wchar_t standard[256] = L"";
    HMODULE texts = LoadLibraryW(L"shdoclc");
    ASSERT_NE(texts, nullptr);
    ASSERT_GT(LoadStringW(texts, 2213, standard, 256), 0);
    FreeLibrary(texts);

    std::wstring text = L"Saved.";
    std::wstring caption = standard;
    LRESULT pressed = -1;
    EXPECT_EQ(view.OnShowMessage(owner, text.data(), caption.data(), MB_OKCANCEL, nullptr, 0, &pressed), S_OK);
    std::wstring other = L"Realm news";
    EXPECT_EQ(view.OnShowMessage(owner, text.data(), other.data(), MB_OK, nullptr, 0, &pressed), S_OK);
    // A caption that only starts like the standard one is another caption.
    std::wstring longer = caption + L" ";
    EXPECT_EQ(view.OnShowMessage(owner, text.data(), longer.data(), MB_OK, nullptr, 0, &pressed), S_OK);
    EXPECT_EQ(pressed, IDOK);

    const std::vector<platform::RecordedMessageBox> boxes = platform::TakeMessageBoxes();
    ASSERT_EQ(boxes.size(), 3u);
    EXPECT_EQ(boxes[0].caption, L"ORB HTMLVIEW");
    EXPECT_EQ(boxes[0].text, L"Saved.");
    EXPECT_EQ(boxes[0].type, static_cast<UINT>(MB_OKCANCEL));
    EXPECT_EQ(boxes[1].caption, L"Realm news");
    EXPECT_EQ(boxes[2].caption, longer);
}

}  // namespace
