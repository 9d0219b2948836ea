// Internal to the stand-in: making a dialog window and its controls from a
// template, as CreateDialogIndirect does.
#pragma once

#include "platform/dialog_template.h"

namespace platform {

// Creates the dialog window (class "#32770", the template's style without
// WS_VISIBLE), then its controls in template order, then sends WM_INITDIALOG;
// shows it when the template has WS_VISIBLE. The window is placed at the
// template's position relative to the owner's client area (the screen without
// an owner), centred in the work area with DS_CENTER. NULL when the dialog
// window could not be made (WM_CREATE returned -1) or did not survive its
// WM_INITDIALOG.
HWND CreateDialogWindow(const DialogTemplate& dialogTemplate, HWND owner);

}  // namespace platform
