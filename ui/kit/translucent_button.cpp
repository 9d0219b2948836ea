#include "ui/kit/translucent_button.h"

namespace {

constexpr Gdiplus::ARGB kTextColor = 0xFFA0968C;

// Check boxes and radio buttons keep a check state; push buttons do not.
bool KeepsCheckState(DWORD style) {
    switch (style & 0xFF) {
        case BS_CHECKBOX:
        case BS_AUTOCHECKBOX:
        case BS_RADIOBUTTON:
        case BS_AUTORADIOBUTTON:
            return true;
        default:
            return false;
    }
}

}  // namespace

CTranslucentButton::CTranslucentButton()
    : CTranslucentWnd(kSlotCount, L"Arial", 10, kTextColor, Gdiplus::StringAlignmentCenter) {}

bool CTranslucentButton::SetImages(const ImagePaths& paths) {
    ReleaseImages();
    m_pCurImage = nullptr;
    if (!paths[kNormal])
        return false;
    Gdiplus::Image* normal = LoadImage(kNormal, paths[kNormal]);
    LoadImage(kHover, paths[kHover]);
    LoadImage(kPressed, paths[kPressed]);
    LoadImage(kDisabled, paths[kDisabled]);
    LoadImage(kChecked, paths[kChecked]);
    m_pCurImage = normal;
    SetWindowPos(nullptr, 0, 0, static_cast<int>(normal->GetWidth()), static_cast<int>(normal->GetHeight()),
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOREDRAW | SWP_NOACTIVATE);
    return true;
}

void CTranslucentButton::Render(Gdiplus::Graphics& g) {
    const Gdiplus::RectF rect = DrawingRect();
    if (m_pCurImage)
        g.DrawImage(m_pCurImage, rect);
    DrawWindowText(g, rect);
}

void CTranslucentButton::UpdateState() {
    // Hover outranks disabled: a button disabled under the mouse keeps its
    // hover look.
    ImageSlot slot = kNormal;
    if (m_bHover)
        slot = m_bPressed ? kPressed : kHover;
    else if (m_bDisabled)
        slot = kDisabled;
    else if (m_bChecked)
        slot = kChecked;
    Gdiplus::Image* chosen = ImageAt(slot) ? ImageAt(slot) : ImageAt(kNormal);
    if (chosen == m_pCurImage)
        return;
    m_pCurImage = chosen;
    if (m_pListener)
        m_pListener->OnRenderRequest(this);
}

void CTranslucentButton::OnMouseMove(UINT nFlags, CPoint point) {
    if (!m_bTracking) {
        TRACKMOUSEEVENT track{sizeof(TRACKMOUSEEVENT), TME_HOVER | TME_LEAVE, m_hWnd, 1};
        m_bTracking = _TrackMouseEvent(&track) != FALSE;
    }
    CTranslucentWnd::OnMouseMove(nFlags, point);
}

void CTranslucentButton::OnMouseHover(UINT, CPoint) {
    m_bHover = true;
    UpdateState();
}

void CTranslucentButton::OnMouseLeave() {
    m_bHover = false;
    m_bTracking = false;
    UpdateState();
}

void CTranslucentButton::OnLButtonDown(UINT nFlags, CPoint point) {
    m_bPressed = true;
    UpdateState();
    CTranslucentWnd::OnLButtonDown(nFlags, point);
}

void CTranslucentButton::OnLButtonUp(UINT nFlags, CPoint point) {
    m_bPressed = false;
    RECT client{};
    GetClientRect(&client);
    const bool inside =
        point.x >= client.left && point.x < client.right && point.y >= client.top && point.y < client.bottom;
    if (inside)
        m_bChecked = KeepsCheckState(GetStyle()) ? !m_bChecked : false;
    else
        m_bHover = false;
    UpdateState();
    // The button's own handling sends BN_CLICKED to the dialog.
    CTranslucentWnd::OnLButtonUp(nFlags, point);
}

BOOL CTranslucentButton::OnSetCursor(CWnd*, UINT, UINT) {
    if (!m_nCursor)
        return FALSE;
    ::SetCursor(LoadCursorW(nullptr, m_nCursor));
    return TRUE;
}
