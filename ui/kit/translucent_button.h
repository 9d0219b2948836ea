// An image button: normal, disabled, hover, pressed and checked pictures,
// with its window text drawn over the picture.
#pragma once

#include "ui/kit/translucent_wnd.h"

#include <array>

class CTranslucentButton : public CTranslucentWnd {
public:
    enum ImageSlot { kNormal = 0, kDisabled = 1, kHover = 2, kPressed = 3, kChecked = 4, kSlotCount = 5 };
    // File names in the order normal, disabled, hover, pressed, checked;
    // null entries leave their slots empty.
    using ImagePaths = std::array<const WCHAR*, kSlotCount>;

    CTranslucentButton();

    // Loads the pictures and sizes the window to the normal picture. False
    // without a normal picture.
    bool SetImages(const ImagePaths& paths);

    void Render(Gdiplus::Graphics& g) override;
    void UpdateState() override;

    bool IsChecked() const { return m_bChecked; }

    // The system cursor shown over the button; null: the parent decides.
    LPCWSTR m_nCursor = nullptr;

protected:
    void OnMouseMove(UINT nFlags, CPoint point) override;
    void OnMouseHover(UINT nFlags, CPoint point) override;
    void OnMouseLeave() override;
    void OnLButtonDown(UINT nFlags, CPoint point) override;
    void OnLButtonUp(UINT nFlags, CPoint point) override;
    BOOL OnSetCursor(CWnd* pWnd, UINT nHitTest, UINT message) override;

private:
    Gdiplus::Image* m_pCurImage = nullptr;
    bool m_bHover = false;
    bool m_bPressed = false;
    bool m_bChecked = false;
    bool m_bTracking = false;
};
