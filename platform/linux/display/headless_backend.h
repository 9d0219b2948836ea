// The backend without a display: a fixed 1920 x 1040 work area (a 1920 x 1080
// screen less a 40-pixel task bar), windows moved by the stand-in's own
// mouse handling, and message boxes recorded instead of shown.
#pragma once

#include "platform/linux/display/window_backend.h"
#include "platform/window_automation.h"

#include <mutex>
#include <vector>

namespace platform {

class HeadlessBackend : public WindowBackend {
public:
    bool BeginMoveDrag(HWND hwnd) override;
    RECT WorkArea() override;
    // Records the box and answers with its first button.
    int ShowMessageBox(HWND owner, const std::wstring& text, const std::wstring& caption, UINT type) override;

    std::vector<RecordedMessageBox> TakeMessageBoxes();

private:
    std::mutex m_mutex;
    std::vector<RecordedMessageBox> m_messageBoxes;  // guarded by m_mutex
};

}  // namespace platform
