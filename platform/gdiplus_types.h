// GDI+ values: status codes, units, modes, rectangles, points and colours.
#pragma once

#include "platform/win_types.h"

#ifdef _WIN32
#include <gdiplus.h>
#else
namespace Gdiplus {

using REAL = float;
using ARGB = DWORD;

enum Status {
    Ok = 0,
    GenericError = 1,
    InvalidParameter = 2,
    OutOfMemory = 3,
    ObjectBusy = 4,
    InsufficientBuffer = 5,
    NotImplemented = 6,
    Win32Error = 7,
    WrongState = 8,
    Aborted = 9,
    FileNotFound = 10,
    ValueOverflow = 11,
    AccessDenied = 12,
    UnknownImageFormat = 13,
    FontFamilyNotFound = 14,
    FontStyleNotFound = 15,
    NotTrueTypeFont = 16,
    UnsupportedGdiplusVersion = 17,
    GdiplusNotInitialized = 18,
    PropertyNotFound = 19,
    PropertyNotSupported = 20,
    ProfileNotFound = 21,
};

enum Unit {
    UnitWorld = 0,
    UnitDisplay = 1,
    UnitPixel = 2,
    UnitPoint = 3,
    UnitInch = 4,
    UnitDocument = 5,
    UnitMillimeter = 6,
};

enum SmoothingMode {
    SmoothingModeInvalid = -1,
    SmoothingModeDefault = 0,
    SmoothingModeHighSpeed = 1,
    SmoothingModeHighQuality = 2,
    SmoothingModeNone = 3,
    SmoothingModeAntiAlias = 4,
    SmoothingModeAntiAlias8x4 = SmoothingModeAntiAlias,
    SmoothingModeAntiAlias8x8 = 5,
};

enum FontStyle {
    FontStyleRegular = 0,
    FontStyleBold = 1,
    FontStyleItalic = 2,
    FontStyleBoldItalic = 3,
    FontStyleUnderline = 4,
    FontStyleStrikeout = 8,
};

enum StringAlignment {
    StringAlignmentNear = 0,
    StringAlignmentCenter = 1,
    StringAlignmentFar = 2,
};

enum StringFormatFlags {
    StringFormatFlagsNoWrap = 0x00001000,
    StringFormatFlagsNoClip = 0x00004000,
};

class Rect {
public:
    Rect() = default;
    Rect(INT x, INT y, INT width, INT height) : X(x), Y(y), Width(width), Height(height) {}
    INT X = 0;
    INT Y = 0;
    INT Width = 0;
    INT Height = 0;
};

class RectF {
public:
    RectF() = default;
    RectF(REAL x, REAL y, REAL width, REAL height) : X(x), Y(y), Width(width), Height(height) {}
    REAL X = 0;
    REAL Y = 0;
    REAL Width = 0;
    REAL Height = 0;
};

class PointF {
public:
    PointF() = default;
    PointF(REAL x, REAL y) : X(x), Y(y) {}
    REAL X = 0;
    REAL Y = 0;
};

class Color {
public:
    enum { AlphaShift = 24, RedShift = 16, GreenShift = 8, BlueShift = 0 };

    Color() = default;
    Color(BYTE r, BYTE g, BYTE b) : Argb(MakeARGB(255, r, g, b)) {}
    Color(BYTE a, BYTE r, BYTE g, BYTE b) : Argb(MakeARGB(a, r, g, b)) {}
    Color(ARGB argb) : Argb(argb) {}

    BYTE GetA() const { return static_cast<BYTE>(Argb >> AlphaShift); }
    BYTE GetR() const { return static_cast<BYTE>(Argb >> RedShift); }
    BYTE GetG() const { return static_cast<BYTE>(Argb >> GreenShift); }
    BYTE GetB() const { return static_cast<BYTE>(Argb >> BlueShift); }
    ARGB GetValue() const { return Argb; }

    static ARGB MakeARGB(BYTE a, BYTE r, BYTE g, BYTE b) {
        return (static_cast<ARGB>(a) << AlphaShift) | (static_cast<ARGB>(r) << RedShift) |
               (static_cast<ARGB>(g) << GreenShift) | (static_cast<ARGB>(b) << BlueShift);
    }

protected:
    ARGB Argb = 0xFF000000;  // opaque black, as GDI+ starts
};

}  // namespace Gdiplus
#endif
