#include "platform/linux/display/headless_backend.h"

#include <utility>

namespace platform {

namespace {

std::unique_ptr<WindowBackend>& InstalledBackend() {
    static std::unique_ptr<WindowBackend> backend = std::make_unique<HeadlessBackend>();
    return backend;
}

int FirstButton(UINT type) {
    switch (type & MB_TYPEMASK) {
        case MB_ABORTRETRYIGNORE:
            return IDABORT;
        case MB_YESNOCANCEL:
        case MB_YESNO:
            return IDYES;
        case MB_RETRYCANCEL:
            return IDRETRY;
        case MB_CANCELTRYCONTINUE:
            return IDCANCEL;
        default:
            return IDOK;
    }
}

}  // namespace

WindowBackend& Backend() {
    return *InstalledBackend();
}

void SetWindowBackend(std::unique_ptr<WindowBackend> backend) {
    if (backend) {
        InstalledBackend() = std::move(backend);
    }
}

bool HeadlessBackend::BeginMoveDrag(HWND) {
    return false;
}

RECT HeadlessBackend::WorkArea() {
    return RECT{0, 0, 1920, 1040};
}

int HeadlessBackend::ShowMessageBox(HWND owner, const std::wstring& text, const std::wstring& caption, UINT type) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_messageBoxes.push_back({owner, text, caption, type});
    return FirstButton(type);
}

std::vector<RecordedMessageBox> HeadlessBackend::TakeMessageBoxes() {
    std::lock_guard<std::mutex> lock(m_mutex);
    return std::exchange(m_messageBoxes, {});
}

}  // namespace platform
