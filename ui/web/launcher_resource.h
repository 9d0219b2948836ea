// Ids of the launcher's dialog templates and of their controls.
#pragma once

#include "platform/winuser.h"

// Dialog templates.
inline constexpr UINT IDD_PROGRESS = 103;
inline constexpr UINT IDD_LAUNCHER_TRANSLUCENT = 129;
inline constexpr UINT IDD_LAUNCHER_STANDARD = 130;

// Main window.
inline constexpr int IDC_EXIT = 1006;
inline constexpr int IDC_MINIMIZE = 1007;
// Page window: the place of the web view.
inline constexpr int IDC_WEBVIEW = 1009;

// Progress dialog; its close button is IDCANCEL.
inline constexpr int IDC_LINK = 1002;
inline constexpr int IDC_FILE_PROGRESS = 1008;
inline constexpr int IDC_SPARE_TEXT_1 = 1010;
inline constexpr int IDC_SPARE_TEXT_2 = 1013;
inline constexpr int IDC_STATUS = 1015;
inline constexpr int IDC_TOTAL_PROGRESS = 1016;
inline constexpr int IDC_FILE_PERCENT = 1017;
inline constexpr int IDC_TOTAL_PERCENT = 1018;
