// The base of the kit's controls: real windows for input and notifications
// that never paint themselves; the dialog that owns them draws them into its
// layered picture through Render.
#pragma once

#include "platform/afxwin.h"
#include "platform/gdiplus.h"
#include "ui/kit/render_listener.h"

#include <cstddef>
#include <memory>
#include <vector>

class CTranslucentWnd : public CWnd {
public:
    ~CTranslucentWnd() override;

    // Draws the control into the dialog's picture.
    virtual void Render(Gdiplus::Graphics& g) = 0;
    // Asks the listener for a new picture.
    virtual void UpdateState();

    // The only way the owner shows and hides a kit control: the composition
    // skips hidden controls, so the flag must follow the window.
    void Show(int nCmdShow);
    bool IsShown() const { return m_bVisible; }

    void SetRenderListener(IRenderListener* pListener) { m_pListener = pListener; }

    // How the window text is drawn.
    void SetTextFont(const WCHAR* familyName, Gdiplus::REAL emSize, INT style, Gdiplus::Unit unit);
    void SetTextColor(Gdiplus::ARGB color);
    void SetTextAlignment(Gdiplus::StringAlignment horizontal, Gdiplus::StringAlignment vertical);

protected:
    CTranslucentWnd(std::size_t nImageSlots, const WCHAR* fontFamily, Gdiplus::REAL fontSize, Gdiplus::ARGB textColor,
                    Gdiplus::StringAlignment alignment);

    void PreSubclassWindow() override;
    void OnEnable(BOOL bEnable) override;

    // The window rectangle in the client coordinates of the dialog, which
    // is where the dialog's picture has the control.
    Gdiplus::RectF DrawingRect() const;
    // Replaces the picture of a slot (releasing the old one); an empty path
    // leaves the slot empty.
    Gdiplus::Image* LoadImage(std::size_t nSlot, const WCHAR* path);
    Gdiplus::Image* ImageAt(std::size_t nSlot) const { return m_images[nSlot].get(); }
    void ReleaseImages();
    // The window text, if any, with the control's font, format and brush.
    void DrawWindowText(Gdiplus::Graphics& g, const Gdiplus::RectF& rect) const;

    std::vector<std::unique_ptr<Gdiplus::Image>> m_images;
    IRenderListener* m_pListener = nullptr;
    bool m_bDisabled = false;
    bool m_bVisible = true;

private:
    std::unique_ptr<Gdiplus::Font> m_pFont;
    Gdiplus::StringFormat m_format;
    Gdiplus::SolidBrush m_brush;
};
