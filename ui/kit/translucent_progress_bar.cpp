#include "ui/kit/translucent_progress_bar.h"

namespace {

constexpr Gdiplus::ARGB kTextColor = 0xFF000000;
// The slider shows this much of its picture, scaled to the picture's size.
constexpr Gdiplus::REAL kSliderSource = 15;

}  // namespace

CTranslucentProgressBar::CTranslucentProgressBar()
    : CTranslucentWnd(kSlotCount, L"Times New Roman", 12, kTextColor, Gdiplus::StringAlignmentCenter) {}

bool CTranslucentProgressBar::SetFrameImage(const WCHAR* path) {
    return LoadImage(kFrame, path) != nullptr;
}

bool CTranslucentProgressBar::SetFillImage(const WCHAR* path) {
    return LoadImage(kFill, path) != nullptr;
}

bool CTranslucentProgressBar::SetSliderImage(const WCHAR* path) {
    return LoadImage(kSlider, path) != nullptr;
}

void CTranslucentProgressBar::SetRange(std::uint64_t nMax) {
    m_nMin = 0;
    m_nMax = nMax;
    if (m_nPos < m_nMin || m_nPos > m_nMax) {
        m_nPos = m_nPos < m_nMin ? m_nMin : m_nMax;
        UpdateState();
    }
}

void CTranslucentProgressBar::SetPos(std::uint64_t nPos) {
    if (nPos < m_nMin || nPos > m_nMax)
        return;
    m_nPos = nPos;
    UpdateState();
}

void CTranslucentProgressBar::SetFillArea(int nOffsetX, int nOffsetY, int nWidth, int nHeight) {
    m_nFillOffsetX = nOffsetX;
    m_nFillOffsetY = nOffsetY;
    m_nFillWidth = nWidth;
    m_nFillHeight = nHeight;
}

void CTranslucentProgressBar::Render(Gdiplus::Graphics& g) {
    const Gdiplus::RectF rect = DrawingRect();
    // An empty range has nothing done: the bar shows no fill rather than
    // dividing by zero.
    const std::uint64_t span = m_nMax - m_nMin;
    const double ratio = span == 0 ? 0.0 : static_cast<double>(m_nPos) / static_cast<double>(span);

    const double fillWidth = m_nFillWidth ? m_nFillWidth : rect.Width;
    const double fillHeight = m_nFillHeight ? m_nFillHeight : rect.Height;
    const double fillLeft = rect.X + m_nFillOffsetX;
    const double fillTop = rect.Y + m_nFillOffsetY;
    const double fillEnd = fillLeft + fillWidth * ratio;

    if (Gdiplus::Image* fill = ImageAt(kFill)) {
        g.DrawImage(
            fill,
            Gdiplus::RectF(static_cast<Gdiplus::REAL>(fillLeft), static_cast<Gdiplus::REAL>(fillTop),
                           static_cast<Gdiplus::REAL>(fillWidth * ratio), static_cast<Gdiplus::REAL>(fillHeight)),
            0, 0, static_cast<Gdiplus::REAL>(fill->GetWidth()), static_cast<Gdiplus::REAL>(fill->GetHeight()),
            Gdiplus::UnitPixel);
    }
    if (Gdiplus::Image* frame = ImageAt(kFrame))
        g.DrawImage(frame, rect);
    if (Gdiplus::Image* slider = ImageAt(kSlider)) {
        const UINT width = slider->GetWidth();
        const UINT height = slider->GetHeight();
        const double left = fillEnd - static_cast<double>(width / 2);
        const double top = (fillHeight * 0.5 + fillTop) - height * 0.5;
        g.DrawImage(slider,
                    Gdiplus::RectF(static_cast<Gdiplus::REAL>(left), static_cast<Gdiplus::REAL>(top),
                                   static_cast<Gdiplus::REAL>(width), static_cast<Gdiplus::REAL>(height)),
                    0, 0, kSliderSource, kSliderSource, Gdiplus::UnitPixel);
    }
    DrawWindowText(g, rect);
}
