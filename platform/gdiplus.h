// GDI+ (namespace Gdiplus): the subset the launcher's windows draw with.
#pragma once

#ifdef _WIN32
#include <windows.h>

#include <gdiplus.h>
#else
#include "platform/gdiplus_brush.h"
#include "platform/gdiplus_graphics.h"
#include "platform/gdiplus_image.h"
#include "platform/gdiplus_startup.h"
#include "platform/gdiplus_text.h"
#include "platform/gdiplus_types.h"
#endif
