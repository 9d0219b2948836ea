// The kit's test dialog: one control of each kind on a translucent dialog,
// set up by the test, optionally with a colour-keyed overlay, recording the
// clicks, render requests and close requests that reach it.
#pragma once

#include "platform/dialog_template.h"
#include "ui/kit/kit_test_support.h"
#include "ui/kit/standard_dialog.h"
#include "ui/kit/translucent_button.h"
#include "ui/kit/translucent_dialog.h"
#include "ui/kit/translucent_progress_bar.h"
#include "ui/kit/translucent_text_control.h"

#include <filesystem>
#include <functional>
#include <memory>
#include <vector>

namespace kit_test {

constexpr UINT kKitDialog = 9301;
constexpr UINT kKitOverlay = 9302;
constexpr int kButtonId = 1001;
constexpr int kCheckBoxId = 1002;
constexpr int kBarId = 1003;
constexpr int kTextId = 1004;
constexpr COLORREF kOverlayKey = RGB(0, 255, 0);

inline void RegisterKitTemplates() {
    DialogTemplate dialog;
    dialog.id = kKitDialog;
    dialog.style = WS_CAPTION | DS_SETFONT;
    dialog.x = 20;
    dialog.y = 16;
    dialog.cx = 200;
    dialog.cy = 100;
    dialog.controls = {
        {kButtonId, L"Button", L"", WS_VISIBLE | BS_PUSHBUTTON, 0, 2, 2, 10, 10},
        {kCheckBoxId, L"Button", L"", WS_VISIBLE | BS_AUTOCHECKBOX, 0, 20, 2, 10, 10},
        {kBarId, L"msctls_progress32", L"", WS_VISIBLE, 0, 2, 20, 100, 10},
        {kTextId, L"Static", L"", WS_VISIBLE, 0, 2, 40, 100, 10},
    };
    platform::AddDialogTemplate(dialog);

    DialogTemplate overlay;
    overlay.id = kKitOverlay;
    overlay.style = WS_POPUP | DS_SETFONT;
    overlay.cx = 100;
    overlay.cy = 50;
    overlay.controls = {{1005, L"Static", L"", WS_VISIBLE, 0, 0, 0, 4, 4}};
    platform::AddDialogTemplate(overlay);
}

class KitOverlay : public CStandardDialog {
public:
    explicit KitOverlay(CWnd* pParentWnd) : CStandardDialog(kKitOverlay, pParentWnd, kOverlayKey) {}
};

class KitDialog : public CTranslucentDialog {
public:
    KitDialog(const std::filesystem::path& background, bool withOverlay)
        : CTranslucentDialog(kKitDialog, nullptr, background.wstring().c_str()), m_withOverlay(withOverlay) {
        RegisterKitTemplates();
    }

    CTranslucentButton button;
    CTranslucentButton checkBox;
    CTranslucentProgressBar bar;
    CTranslucentTextControl text;
    // Runs as InitControls; set it before the dialog is created.
    std::function<void(KitDialog&)> setUp;

    int renders = 0;
    int closeRequests = 0;
    std::vector<int> clicked;

    void OnRenderRequest(CTranslucentWnd* pSender) override {
        ++renders;
        CTranslucentDialog::OnRenderRequest(pSender);
    }
    void Add(CTranslucentWnd& control) { AddRenderedControl(control); }
    using CTranslucentDialog::StandardDialog;

protected:
    void DoDataExchange(CDataExchange* pDX) override {
        DDX_Control(pDX, kButtonId, button);
        DDX_Control(pDX, kCheckBoxId, checkBox);
        DDX_Control(pDX, kBarId, bar);
        DDX_Control(pDX, kTextId, text);
    }
    std::unique_ptr<CStandardDialog> CreateStandardDialog() override {
        return m_withOverlay ? std::make_unique<KitOverlay>(this) : nullptr;
    }
    void InitControls() override {
        if (setUp)
            setUp(*this);
    }
    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override {
        if (HIWORD(wParam) == BN_CLICKED)
            clicked.push_back(LOWORD(wParam));
        return CTranslucentDialog::OnCommand(wParam, lParam);
    }
    // Recorded only: the test decides when the dialog goes.
    void OnClose() override { ++closeRequests; }

private:
    bool m_withOverlay;
};

// Handles what is queued for the calling thread now, the way the
// framework's loop does (PreTranslateMessage first).
inline void PumpFrameworkPending() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE) && AfxPumpMessage()) {
    }
}

}  // namespace kit_test
