// GDI+ brushes: solid colours only.
#pragma once

#include "platform/gdiplus_types.h"

#ifndef _WIN32
namespace Gdiplus {

class Brush {
public:
    virtual ~Brush() = default;
    Brush(const Brush&) = delete;
    Brush& operator=(const Brush&) = delete;

protected:
    Brush() = default;
};

class SolidBrush : public Brush {
public:
    SolidBrush(const Color& color) : m_color(color) {}

    Status GetColor(Color* color) const {
        if (!color)
            return InvalidParameter;
        *color = m_color;
        return Ok;
    }
    Status SetColor(const Color& color) {
        m_color = color;
        return Ok;
    }

private:
    Color m_color;
};

}  // namespace Gdiplus
#endif
