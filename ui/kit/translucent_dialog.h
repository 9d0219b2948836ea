// A dialog shown as a per-pixel-alpha layered popup: its background picture
// and every kit control on it are composed into one picture, handed to the
// window whenever anything changes. It may own a colour-keyed dialog that
// lies exactly over it, so that real child windows can appear inside the
// picture.
#pragma once

#include "platform/afxwin.h"
#include "platform/gdi.h"
#include "platform/gdiplus.h"
#include "ui/kit/render_listener.h"
#include "ui/kit/standard_dialog.h"
#include "ui/kit/translucent_wnd.h"

#include <list>
#include <memory>

class CTranslucentDialog : public CDialog, public IRenderListener {
public:
    // GDI+ must be running: the background picture is loaded here.
    CTranslucentDialog(UINT nIDTemplate, CWnd* pParentWnd, const WCHAR* backgroundPath);
    ~CTranslucentDialog() override;

    // Composes the picture and gives it to the window.
    void UpdateView();
    void OnRenderRequest(CTranslucentWnd* pSender) override;
    BOOL OnInitDialog() override;
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

    // A left-button press on the window moves it.
    bool m_bDragMove = true;
    // Centre the window in the work area when it is created.
    bool m_bCenterOnCreate = true;

protected:
    // A new, not yet created overlay dialog, or null for none.
    virtual std::unique_ptr<CStandardDialog> CreateStandardDialog() = 0;
    // Sets up the controls and fills the render list (AddRenderedControl).
    virtual void InitControls() = 0;

    // Draws the control after those added before it, and redraws the
    // window when the control asks.
    void AddRenderedControl(CTranslucentWnd& control);
    CStandardDialog* StandardDialog() const { return m_pStandardDlg.get(); }

    int OnCreate(LPCREATESTRUCTW lpCreateStruct) override;
    void OnMove(int x, int y) override;
    void OnSize(UINT nType, int cx, int cy) override;
    void OnLButtonDown(UINT nFlags, CPoint point) override;

    BLENDFUNCTION m_blend{};

private:
    std::unique_ptr<Gdiplus::Image> m_pBackground;
    std::unique_ptr<CStandardDialog> m_pStandardDlg;
    std::list<CTranslucentWnd*> m_children;
};
