// An ordinary dialog made see-through by a colour key: its background is
// the key colour, so only its child windows show. It lies over a
// translucent dialog to give real child windows a place in its picture.
#pragma once

#include "platform/afx_brush.h"
#include "platform/afxwin.h"

class CStandardDialog : public CDialog {
public:
    CStandardDialog(UINT nIDTemplate, CWnd* pParentWnd, COLORREF crKey);

    // Makes the modeless dialog from its own template, owned by its parent.
    BOOL CreateModeless();

    BOOL OnInitDialog() override;
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

protected:
    // Enter does not close the overlay.
    void OnOK() override;
    // Cancelling the overlay closes the window it lies on.
    void OnCancel() override;

    COLORREF m_crKey;
    CBrush m_brKey;

private:
    UINT m_nTemplateId;
};
