// Shared by the page view's tests: a window standing in for the main
// window, recording the page's commands as they are sent.
#pragma once

#include "platform/afxwin.h"
#include "ui/web/page_messages.h"

#include <string>
#include <utility>
#include <vector>

namespace page_view_test {

class CommandWindow : public CWnd {
public:
    CommandWindow() { CreateEx(0, nullptr, L"commands", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr); }

    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
        if (message >= WM_STARTGAME && message <= WM_STARTGAMEDATA) {
            commands.emplace_back(message, reinterpret_cast<LPCWSTR>(lParam));
            return 0;
        }
        return CWnd::WindowProc(message, wParam, lParam);
    }

    std::vector<std::pair<UINT, std::wstring>> commands;
};

}  // namespace page_view_test
