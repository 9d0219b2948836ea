// Dialog templates as data: what a dialog resource holds, and the program's
// table of them, where CDialog finds its template by id as it would find a
// resource. Positions and sizes are in dialog units (see MapDialogRect).
#pragma once

#include "platform/winuser.h"

#include <memory>
#include <string>
#include <vector>

struct DialogControlTemplate {
    UINT id = 0;
    std::wstring className;  // "Button", "Static", "msctls_progress32", ...
    std::wstring text;
    DWORD style = 0;  // WS_CHILD is implied
    DWORD exStyle = 0;
    short x = 0;
    short y = 0;
    short cx = 0;
    short cy = 0;
};

struct DialogTemplate {
    UINT id = 0;
    DWORD style = 0;
    DWORD exStyle = 0;
    short x = 0;
    short y = 0;
    short cx = 0;
    short cy = 0;
    std::wstring caption;
    // Recorded for the display backend; dialog units use a fixed base unit.
    std::wstring fontName;
    WORD fontPointSize = 0;
    std::vector<DialogControlTemplate> controls;
};

namespace platform {

// Dialog units to pixels. Every dialog has one base unit, whatever its font:
// 6 x 13 pixels, the base of an 8-point dialog font at 96 DPI. A dialog unit
// is a quarter of the base width and an eighth of the base height.
RECT DialogUnitsToPixels(RECT rect);

// Adds a template, replacing one with the same id. Register the templates
// before the dialogs that use them are run.
void AddDialogTemplate(DialogTemplate dialogTemplate);
// Null when there is no template with that id.
std::shared_ptr<const DialogTemplate> FindDialogTemplate(UINT id);

}  // namespace platform
