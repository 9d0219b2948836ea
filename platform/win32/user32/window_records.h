// Internal to the Windows side: what the window system does not tell about
// a window but the automation (window_automation.h) reports: the dialog
// template it was made from, and the last picture a layered window got.
#pragma once

#include "platform/layered_picture.h"

#include <windows.h>

#include <cstdint>
#include <memory>

namespace platform::win32 {

// Also numbers the window in creation order among the recorded ones.
void RecordTemplate(HWND hwnd, UINT templateId);
UINT TemplateOf(HWND hwnd);
// 0 for a window made without a template.
std::uint32_t CreationNumberOf(HWND hwnd);

void RecordPicture(HWND hwnd, std::shared_ptr<const LayeredPicture> picture);
// Null when the window (this one, not an earlier one with its handle) got none.
std::shared_ptr<const LayeredPicture> PictureOf(HWND hwnd);

}  // namespace platform::win32
