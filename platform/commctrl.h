// comctl32: registering the common control classes.
#pragma once

#include "platform/win_types.h"

#ifdef _WIN32
#include <commctrl.h>
#else
#define ICC_LISTVIEW_CLASSES 0x00000001
#define ICC_TREEVIEW_CLASSES 0x00000002
#define ICC_BAR_CLASSES 0x00000004
#define ICC_TAB_CLASSES 0x00000008
#define ICC_UPDOWN_CLASS 0x00000010
#define ICC_PROGRESS_CLASS 0x00000020
#define ICC_HOTKEY_CLASS 0x00000040
#define ICC_ANIMATE_CLASS 0x00000080

struct INITCOMMONCONTROLSEX {
    DWORD dwSize;
    DWORD dwICC;
};
using LPINITCOMMONCONTROLSEX = INITCOMMONCONTROLSEX*;

// The control classes the stand-in offers are there from the start; this
// only checks the record, as Windows does.
BOOL InitCommonControlsEx(const INITCOMMONCONTROLSEX* picce);
#endif
