#include "ui/kit/translucent_wnd.h"

#include <string>

CTranslucentWnd::CTranslucentWnd(std::size_t nImageSlots, const WCHAR* fontFamily, Gdiplus::REAL fontSize,
                                 Gdiplus::ARGB textColor, Gdiplus::StringAlignment alignment)
    : m_images(nImageSlots),
      m_pFont(std::make_unique<Gdiplus::Font>(fontFamily, fontSize, Gdiplus::FontStyleRegular, Gdiplus::UnitPoint)),
      m_brush(Gdiplus::Color(textColor)) {
    m_format.SetAlignment(alignment);
    m_format.SetLineAlignment(alignment);
}

CTranslucentWnd::~CTranslucentWnd() = default;

void CTranslucentWnd::UpdateState() {
    if (m_pListener)
        m_pListener->OnRenderRequest(this);
}

void CTranslucentWnd::Show(int nCmdShow) {
    ShowWindow(nCmdShow);
    m_bVisible = (GetStyle() & WS_VISIBLE) != 0;
    // Always drawn again, changed or not: the owner relies on Show to
    // refresh the picture.
    if (m_pListener)
        m_pListener->OnRenderRequest(this);
}

void CTranslucentWnd::SetTextFont(const WCHAR* familyName, Gdiplus::REAL emSize, INT style, Gdiplus::Unit unit) {
    m_pFont = std::make_unique<Gdiplus::Font>(familyName, emSize, style, unit);
}

void CTranslucentWnd::SetTextColor(Gdiplus::ARGB color) {
    m_brush.SetColor(Gdiplus::Color(color));
}

void CTranslucentWnd::SetTextAlignment(Gdiplus::StringAlignment horizontal, Gdiplus::StringAlignment vertical) {
    m_format.SetAlignment(horizontal);
    m_format.SetLineAlignment(vertical);
}

void CTranslucentWnd::PreSubclassWindow() {
    CWnd::PreSubclassWindow();
    const DWORD style = GetStyle();
    m_bVisible = (style & WS_VISIBLE) != 0;
    m_bDisabled = (style & WS_DISABLED) != 0;
}

void CTranslucentWnd::OnEnable(BOOL bEnable) {
    CWnd::OnEnable(bEnable);
    const bool disabled = bEnable != TRUE;
    if (disabled != m_bDisabled) {
        m_bDisabled = disabled;
        UpdateState();
    }
}

Gdiplus::RectF CTranslucentWnd::DrawingRect() const {
    RECT rect{};
    GetWindowRect(&rect);
    if (CWnd* parent = GetParent())
        parent->ScreenToClient(&rect);
    return Gdiplus::RectF(static_cast<Gdiplus::REAL>(rect.left), static_cast<Gdiplus::REAL>(rect.top),
                          static_cast<Gdiplus::REAL>(rect.right - rect.left),
                          static_cast<Gdiplus::REAL>(rect.bottom - rect.top));
}

Gdiplus::Image* CTranslucentWnd::LoadImage(std::size_t nSlot, const WCHAR* path) {
    m_images[nSlot].reset();
    if (path)
        m_images[nSlot] = std::make_unique<Gdiplus::Image>(path);
    return m_images[nSlot].get();
}

void CTranslucentWnd::ReleaseImages() {
    for (auto& image : m_images)
        image.reset();
}

void CTranslucentWnd::DrawWindowText(Gdiplus::Graphics& g, const Gdiplus::RectF& rect) const {
    const int length = GetWindowTextLength();
    if (length <= 0)
        return;
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    text.resize(static_cast<std::size_t>(GetWindowText(text.data(), length + 1)));
    g.DrawString(text.c_str(), static_cast<INT>(text.size()), m_pFont.get(), rect, &m_format, &m_brush);
}
