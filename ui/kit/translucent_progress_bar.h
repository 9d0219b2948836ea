// An image progress bar: a fill picture squeezed to the done part of the
// fill area, a frame picture over it, and a slider picture centred on the
// end of the fill.
#pragma once

#include "ui/kit/translucent_wnd.h"

#include <cstdint>

class CTranslucentProgressBar : public CTranslucentWnd {
public:
    enum ImageSlot { kFrame = 0, kFill = 1, kSlider = 2, kSlotCount = 3 };

    CTranslucentProgressBar();

    // Each replaces its picture; true when there is one afterwards.
    bool SetFrameImage(const WCHAR* path);
    bool SetFillImage(const WCHAR* path);
    bool SetSliderImage(const WCHAR* path);

    // The range is 0..nMax. A position outside the new range is pulled to
    // its nearer end and the bar drawn again; otherwise nothing changes.
    void SetRange(std::uint64_t nMax);
    // Ignored outside the range.
    void SetPos(std::uint64_t nPos);
    std::uint64_t GetPos() const { return m_nPos; }

    // Where the fill goes, relative to the control; a width or height of 0
    // means the control's own.
    void SetFillArea(int nOffsetX, int nOffsetY, int nWidth, int nHeight);

    void Render(Gdiplus::Graphics& g) override;

private:
    // Counters of whole updates pass 4 GiB, so the values are 64-bit.
    std::uint64_t m_nMin = 0;
    std::uint64_t m_nMax = 100;
    std::uint64_t m_nPos = 0;
    int m_nFillOffsetX = 0;
    int m_nFillOffsetY = 0;
    int m_nFillWidth = 0;
    int m_nFillHeight = 0;
};
