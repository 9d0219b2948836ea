// The colour-keyed window over the main window. Its only content is the
// publisher's web page, which shows through the opening of the main
// window's picture.
#pragma once

#include "state/launcher_windows.h"
#include "ui/kit/standard_dialog.h"
#include "ui/web/browser_view.h"

class CLauncherStandardDlg : public CStandardDialog, public IWebPageWindow {
public:
    explicit CLauncherStandardDlg(CWnd* pParentWnd);

    // IWebPageWindow; any thread. The request is carried to the window
    // thread, which alone drives the browser.
    HWND GetWindowHandle() override { return m_hWnd; }
    void ShowStartPage() override;

    BOOL OnInitDialog() override;
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

    CBrowserView m_webView;
};
