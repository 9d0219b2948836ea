// GDI+ fonts and string formats.
#pragma once

#include "platform/gdiplus_types.h"

#include <string>

#ifndef _WIN32
namespace Gdiplus {

class Graphics;

// Windows family names are mapped to installed fonts; a family that is not
// installed falls back to one that has Chinese characters, so the font is
// available whenever its size and unit are valid.
class Font {
public:
    Font(const WCHAR* familyName, REAL emSize, INT style = FontStyleRegular, Unit unit = UnitPoint);
    Font(const Font&) = delete;
    Font& operator=(const Font&) = delete;

    BOOL IsAvailable() const;
    // The last failure, which this call then forgets.
    Status GetLastStatus() const;

private:
    friend class Graphics;

    std::string m_families;  // pango family list
    double m_pixelSize = 0;  // em height at 96 dpi; 0 when not available
    INT m_style = FontStyleRegular;
    mutable Status m_lastResult = Ok;
};

class StringFormat {
public:
    // Flags: StringFormatFlagsNoWrap and StringFormatFlagsNoClip.
    StringFormat(INT formatFlags = 0) : m_flags(formatFlags) {}

    Status SetAlignment(StringAlignment align);
    Status SetLineAlignment(StringAlignment align);
    StringAlignment GetAlignment() const { return m_alignment; }
    StringAlignment GetLineAlignment() const { return m_lineAlignment; }
    INT GetFormatFlags() const { return m_flags; }

private:
    INT m_flags;
    StringAlignment m_alignment = StringAlignmentNear;
    StringAlignment m_lineAlignment = StringAlignmentNear;
};

}  // namespace Gdiplus
#endif
