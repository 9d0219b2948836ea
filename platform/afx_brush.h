// The framework's brush object: a GDI brush that lives as long as the object.
#pragma once

#include "platform/gdi.h"

class CBrush {
public:
    CBrush() = default;
    ~CBrush() { DeleteObject(); }
    CBrush(const CBrush&) = delete;
    CBrush& operator=(const CBrush&) = delete;

    // FALSE when the object holds a brush already.
    BOOL CreateSolidBrush(COLORREF crColor) {
        if (m_hObject)
            return FALSE;
        m_hObject = ::CreateSolidBrush(crColor);
        return m_hObject != nullptr;
    }
    BOOL DeleteObject() {
        if (!m_hObject)
            return FALSE;
        const BOOL deleted = ::DeleteObject(m_hObject);
        m_hObject = nullptr;
        return deleted;
    }
    operator HBRUSH() const { return m_hObject; }

    HBRUSH m_hObject = nullptr;
};
