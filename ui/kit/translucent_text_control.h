// A text drawn straight onto the dialog's picture.
#pragma once

#include "ui/kit/translucent_wnd.h"

class CTranslucentTextControl : public CTranslucentWnd {
public:
    CTranslucentTextControl();

    void Render(Gdiplus::Graphics& g) override;
};
