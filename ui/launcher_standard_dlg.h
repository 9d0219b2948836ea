// The colour-keyed window over the main window. Its only content is the
// publisher's web page, which shows through the opening of the main
// window's picture.
#pragma once

#include "app/launcher_windows.h"
#include "ui/kit/standard_dialog.h"

#include <mutex>
#include <string>

class CLauncherStandardDlg : public CStandardDialog, public IWebPageWindow {
public:
    explicit CLauncherStandardDlg(CWnd* pParentWnd);

    // IWebPageWindow; any thread. The address is carried to the window
    // thread, which alone drives the page.
    HWND GetWindowHandle() override { return m_hWnd; }
    void NavigateTo(const std::wstring& url) override;

    BOOL OnInitDialog() override;
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

    // The address the page shows; window thread.
    const std::wstring& PageUrl() const { return m_strPageUrl; }

private:
    std::mutex m_requestLock;
    std::wstring m_strRequestedUrl;
    std::wstring m_strPageUrl;
};
