// GDI: device contexts, 32-bit DIB sections, solid brushes and the blend
// record of layered windows.
#pragma once

#include "platform/win_types.h"

#ifdef _WIN32
#include <windows.h>
#else

using HGDIOBJ = void*;
using HDC = struct HDC__*;
using HBITMAP = struct HBITMAP__*;
using HBRUSH = struct HBRUSH__*;
using COLORREF = DWORD;

#define RGB(r, g, b) ((COLORREF)(((BYTE)(r) | ((WORD)((BYTE)(g)) << 8)) | (((DWORD)(BYTE)(b)) << 16)))
#define GetRValue(rgb) ((BYTE)(rgb))
#define GetGValue(rgb) ((BYTE)(((WORD)(rgb)) >> 8))
#define GetBValue(rgb) ((BYTE)((rgb) >> 16))

// ---- device contexts
// A DC of the window (or of the screen for NULL); give it back with ReleaseDC.
HDC GetDC(HWND hWnd);
int ReleaseDC(HWND hWnd, HDC hDC);
// A memory DC holding the default 1x1 bitmap until a DIB section is selected.
HDC CreateCompatibleDC(HDC hdc);
// A memory DC only; the bitmap selected into it stays valid.
BOOL DeleteDC(HDC hdc);
// Bitmaps go into memory DCs, one DC at a time; returns the bitmap it
// replaces, or NULL on failure.
HGDIOBJ SelectObject(HDC hdc, HGDIOBJ h);
// Fails for a bitmap still selected into a DC. Stock objects stay.
BOOL DeleteObject(HGDIOBJ ho);

// ---- DIB sections
#define BI_RGB 0L
#define DIB_RGB_COLORS 0
#define DIB_PAL_COLORS 1

struct BITMAPINFOHEADER {
    DWORD biSize;
    LONG biWidth;
    LONG biHeight;  // negative: rows run top-down
    WORD biPlanes;
    WORD biBitCount;
    DWORD biCompression;
    DWORD biSizeImage;
    LONG biXPelsPerMeter;
    LONG biYPelsPerMeter;
    DWORD biClrUsed;
    DWORD biClrImportant;
};

struct RGBQUAD {
    BYTE rgbBlue;
    BYTE rgbGreen;
    BYTE rgbRed;
    BYTE rgbReserved;
};

struct BITMAPINFO {
    BITMAPINFOHEADER bmiHeader;
    RGBQUAD bmiColors[1];
};

// 32 bits per pixel, BI_RGB only: premultiplied BGRA, rows of width * 4
// bytes, zero-filled. *ppvBits receives the pixel memory itself; it lives
// until the bitmap is deleted and no Gdiplus::Graphics draws on it any more.
HBITMAP CreateDIBSection(HDC hdc, const BITMAPINFO* pbmi, UINT usage, void** ppvBits, HANDLE hSection, DWORD offset);

// ---- brushes
HBRUSH CreateSolidBrush(COLORREF color);

// ---- blending of layered windows
#define AC_SRC_OVER 0x00
#define AC_SRC_ALPHA 0x01

struct BLENDFUNCTION {
    BYTE BlendOp;
    BYTE BlendFlags;
    BYTE SourceConstantAlpha;
    BYTE AlphaFormat;
};

#endif
