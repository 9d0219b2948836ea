#include "ui/kit/translucent_text_control.h"

namespace {

constexpr Gdiplus::ARGB kTextColor = 0xFFFFFFFF;

}  // namespace

// No picture of its own: the launcher's texts lie on the dialog's background.
CTranslucentTextControl::CTranslucentTextControl()
    : CTranslucentWnd(0, L"Arial", 10, kTextColor, Gdiplus::StringAlignmentNear) {}

void CTranslucentTextControl::Render(Gdiplus::Graphics& g) {
    DrawWindowText(g, DrawingRect());
}
