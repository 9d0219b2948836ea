#include "ui/dialog_templates.h"

#include "platform/dialog_template.h"
#include "ui/web/launcher_resource.h"

#include <mutex>

const wchar_t kMainWindowCaption[] = L"Quillmoor登陆器";

namespace {

constexpr DWORD kPushButton = WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON;
constexpr DWORD kProgressBar = WS_VISIBLE | WS_BORDER;
constexpr DWORD kStatic = WS_VISIBLE | SS_LEFT;

// The main window. Its picture is drawn by the program, so only the two
// buttons it binds are kept: unbound controls would be invisible and still
// catch the mouse over the picture.
DialogTemplate MainWindowTemplate() {
    DialogTemplate dialog;
    dialog.id = IDD_LAUNCHER_TRANSLUCENT;
    dialog.style = WS_CAPTION | DS_SETFONT | DS_FIXEDSYS;
    dialog.cx = 413;
    dialog.cy = 289;
    dialog.caption = kMainWindowCaption;
    dialog.fontName = L"MS Shell Dlg";
    dialog.fontPointSize = 8;
    dialog.controls = {
        {static_cast<UINT>(IDC_EXIT), L"Button", L"", kPushButton, 0, 386, 4, 17, 15},
        {static_cast<UINT>(IDC_MINIMIZE), L"Button", L"", kPushButton, 0, 365, 4, 17, 15},
    };
    return dialog;
}

// The colour-keyed window over the main one; its static marks the place of
// the web view.
DialogTemplate PageWindowTemplate() {
    DialogTemplate dialog;
    dialog.id = IDD_LAUNCHER_STANDARD;
    dialog.style = WS_POPUP | DS_SETFONT | DS_FIXEDSYS;
    dialog.cx = 353;
    dialog.cy = 212;
    dialog.fontName = L"MS Shell Dlg";
    dialog.fontPointSize = 8;
    dialog.controls = {
        {static_cast<UINT>(IDC_WEBVIEW), L"Static", L"", kStatic, 0, 7, 7, 339, 198},
    };
    return dialog;
}

DialogTemplate ProgressTemplate() {
    DialogTemplate dialog;
    dialog.id = IDD_PROGRESS;
    dialog.style = DS_SETFONT;
    dialog.exStyle = WS_EX_TOPMOST;
    dialog.cx = 341;
    dialog.cy = 177;
    dialog.fontName = L"宋体, MS Sans Serif";
    dialog.fontPointSize = 9;
    dialog.controls = {
        {IDCANCEL, L"Button", L"取消", kPushButton, 0, 253, 26, 17, 15},
        {static_cast<UINT>(IDC_FILE_PROGRESS), L"msctls_progress32", L"", kProgressBar, 0, 20, 62, 221, 11},
        {static_cast<UINT>(IDC_TOTAL_PROGRESS), L"msctls_progress32", L"", kProgressBar, 0, 20, 77, 221, 11},
        {static_cast<UINT>(IDC_FILE_PERCENT), L"Static", L"静态", kStatic, 0, 240, 62, 33, 11},
        {static_cast<UINT>(IDC_TOTAL_PERCENT), L"Static", L"静态", kStatic, 0, 240, 77, 33, 11},
        {static_cast<UINT>(IDC_STATUS), L"Static", L"静态", kStatic, 0, 23, 97, 237, 12},
        {static_cast<UINT>(IDC_SPARE_TEXT_1), L"Static", L"静态", kStatic, 0, 23, 110, 237, 8},
        {static_cast<UINT>(IDC_SPARE_TEXT_2), L"Static", L"静态", kStatic, 0, 23, 120, 237, 8},
        {static_cast<UINT>(IDC_LINK), L"Button", L"", kPushButton, 0, 23, 74, 237, 11},
    };
    return dialog;
}

}  // namespace

void RegisterLauncherDialogTemplates() {
    static std::once_flag once;
    std::call_once(once, [] {
        platform::AddDialogTemplate(MainWindowTemplate());
        platform::AddDialogTemplate(PageWindowTemplate());
        platform::AddDialogTemplate(ProgressTemplate());
    });
}
