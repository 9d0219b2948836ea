#include "ui/kit/translucent_dialog.h"

#include <cstring>

namespace {

// System command that moves a window as a drag on its caption would.
constexpr UINT kMoveByDrag = SC_MOVE | HTCAPTION;

class WindowDC {
public:
    explicit WindowDC(HWND hwnd) : m_hwnd(hwnd), m_hdc(GetDC(hwnd)) {}
    ~WindowDC() { ReleaseDC(m_hwnd, m_hdc); }
    WindowDC(const WindowDC&) = delete;
    WindowDC& operator=(const WindowDC&) = delete;
    operator HDC() const { return m_hdc; }

private:
    HWND m_hwnd;
    HDC m_hdc;
};

class MemoryDC {
public:
    explicit MemoryDC(HDC compatible) : m_hdc(CreateCompatibleDC(compatible)) {}
    ~MemoryDC() { DeleteDC(m_hdc); }
    MemoryDC(const MemoryDC&) = delete;
    MemoryDC& operator=(const MemoryDC&) = delete;
    operator HDC() const { return m_hdc; }

private:
    HDC m_hdc;
};

// A DIB section selected into a DC for the object's lifetime.
class SelectedDib {
public:
    SelectedDib(HDC hdc, HBITMAP bitmap) : m_hdc(hdc), m_bitmap(bitmap), m_previous(SelectObject(hdc, bitmap)) {}
    ~SelectedDib() {
        SelectObject(m_hdc, m_previous);
        DeleteObject(m_bitmap);
    }
    SelectedDib(const SelectedDib&) = delete;
    SelectedDib& operator=(const SelectedDib&) = delete;

private:
    HDC m_hdc;
    HBITMAP m_bitmap;
    HGDIOBJ m_previous;
};

}  // namespace

CTranslucentDialog::CTranslucentDialog(UINT nIDTemplate, CWnd* pParentWnd, const WCHAR* backgroundPath)
    : CDialog(nIDTemplate, pParentWnd), m_pBackground(std::make_unique<Gdiplus::Image>(backgroundPath)) {}

CTranslucentDialog::~CTranslucentDialog() {
    if (m_pStandardDlg && m_pStandardDlg->GetSafeHwnd())
        m_pStandardDlg->DestroyWindow();
    m_pStandardDlg.reset();
    m_pBackground.reset();
    m_children.clear();
}

void CTranslucentDialog::AddRenderedControl(CTranslucentWnd& control) {
    control.SetRenderListener(this);
    m_children.push_back(&control);
}

void CTranslucentDialog::UpdateView() {
    const UINT width = m_pBackground->GetWidth();
    const UINT height = m_pBackground->GetHeight();
    if (!(GetExStyle() & WS_EX_LAYERED))
        ModifyStyleEx(0, WS_EX_LAYERED);

    WindowDC windowDc(m_hWnd);
    MemoryDC memoryDc(windowDc);
    RECT windowRect{};
    GetWindowRect(&windowRect);
    POINT destination{windowRect.left, windowRect.top};

    const DWORD stride = ((width * 32 + 31) / 8) & ~3u;
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = static_cast<LONG>(width);
    info.bmiHeader.biHeight = static_cast<LONG>(height);
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    info.bmiHeader.biSizeImage = stride * height;
    void* bits = nullptr;
    HBITMAP dib = CreateDIBSection(windowDc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!dib)
        return;  // the window keeps the picture it has
    std::memset(bits, 0, static_cast<std::size_t>(width) * height * 4);
    SelectedDib selected(memoryDc, dib);
    {
        Gdiplus::Graphics graphics(memoryDc);
        graphics.SetSmoothingMode(Gdiplus::SmoothingModeNone);
        graphics.DrawImage(m_pBackground.get(), Gdiplus::Rect(0, 0, static_cast<INT>(width), static_cast<INT>(height)));
        for (CTranslucentWnd* child : m_children) {
            if (child->IsShown())
                child->Render(graphics);
        }
    }
    SIZE size{static_cast<LONG>(width), static_cast<LONG>(height)};
    POINT source{0, 0};
    UpdateLayeredWindow(m_hWnd, windowDc, &destination, &size, memoryDc, &source, 0, &m_blend, ULW_ALPHA);
}

void CTranslucentDialog::OnRenderRequest(CTranslucentWnd*) {
    UpdateView();
}

BOOL CTranslucentDialog::OnInitDialog() {
    CDialog::OnInitDialog();
    m_blend = BLENDFUNCTION{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
    InitControls();
    UpdateView();
    return TRUE;
}

LRESULT CTranslucentDialog::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_ERASEBKGND) {
        // The picture is the whole window: nothing may paint under it.
        CDialog::WindowProc(message, wParam, lParam);
        return TRUE;
    }
    return CDialog::WindowProc(message, wParam, lParam);
}

int CTranslucentDialog::OnCreate(LPCREATESTRUCTW lpCreateStruct) {
    const int width = static_cast<int>(m_pBackground->GetWidth());
    const int height = static_cast<int>(m_pBackground->GetHeight());
    int left = lpCreateStruct->x;
    int top = lpCreateStruct->y;
    if (m_bCenterOnCreate) {
        // Centred as the framed template would be: the frame's extra size
        // counts, although the window loses its frame below.
        RECT framed{0, 0, width, height};
        AdjustWindowRect(&framed, static_cast<DWORD>(lpCreateStruct->style), FALSE);
        RECT work{};
        SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
        left = work.left + ((work.right - work.left) - (framed.right - framed.left)) / 2;
        top = work.top + ((work.bottom - work.top) - (framed.bottom - framed.top)) / 2;
    }
    if (CDialog::OnCreate(lpCreateStruct) == -1)
        return -1;

    m_pStandardDlg = CreateStandardDialog();
    if (m_pStandardDlg) {
        m_pStandardDlg->CreateModeless();
        m_pStandardDlg->ShowWindow(SW_SHOW);
    }
    ModifyStyle(WS_CAPTION, WS_POPUP);
    MoveWindow(left, top, width, height, TRUE);
    return 0;
}

void CTranslucentDialog::OnMove(int x, int y) {
    CDialog::OnMove(x, y);
    if (m_pStandardDlg && m_pStandardDlg->GetSafeHwnd())
        m_pStandardDlg->SetWindowPos(nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
}

void CTranslucentDialog::OnSize(UINT nType, int cx, int cy) {
    CDialog::OnSize(nType, cx, cy);
    if (m_pStandardDlg && m_pStandardDlg->GetSafeHwnd())
        m_pStandardDlg->SetWindowPos(nullptr, 0, 0, cx, cy, SWP_NOMOVE | SWP_NOZORDER);
}

void CTranslucentDialog::OnLButtonDown(UINT nFlags, CPoint point) {
    if (m_bDragMove)
        SendMessage(WM_SYSCOMMAND, kMoveByDrag, 0);
    CDialog::OnLButtonDown(nFlags, point);
}
