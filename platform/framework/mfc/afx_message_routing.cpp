// Message routing of CWnd objects: the window procedure, the virtual
// handlers' dispatch and defaults, and the framework's message loop.
#include "platform/afxwin.h"

#include "platform/framework/mfc/framework_loop.h"

namespace {

// The message being handled, for Default().
thread_local MSG t_current{};
thread_local int t_loopDepth = 0;

CPoint PointOf(LPARAM lParam) {
    return CPoint(GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
}

// The window the message is for, then its parents (and owners), until one
// takes the message.
bool PreTranslateWalk(MSG* msg) {
    for (HWND hwnd = msg->hwnd; hwnd; hwnd = ::GetParent(hwnd)) {
        CWnd* wnd = CWnd::FromHandlePermanent(hwnd);
        if (wnd && wnd->PreTranslateMessage(msg)) {
            return true;
        }
    }
    return false;
}

}  // namespace

namespace platform {

bool RunFrameworkLoop(const std::function<bool()>& keepRunning, const std::function<void()>& onIdle) {
    struct Depth {
        Depth() { ++t_loopDepth; }
        ~Depth() { --t_loopDepth; }
    } depth;
    while (keepRunning()) {
        MSG msg;
        if (!::PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE)) {
            // A nested loop runs inside a handler that may still hold one.
            if (t_loopDepth == 1) {
                DeleteTemporaryWindows();
            }
            if (onIdle) {
                onIdle();
            }
            if (!keepRunning()) {
                break;  // ended by something the idle step or a sent message did
            }
        }
        if (!AfxPumpMessage()) {
            return false;
        }
    }
    return true;
}

}  // namespace platform

LRESULT CALLBACK AfxWndProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
    CWnd* wnd = CWnd::FromHandlePermanent(hWnd);
    if (!wnd) {
        return ::DefWindowProcW(hWnd, message, wParam, lParam);
    }
    struct CurrentMessage {
        MSG saved = t_current;
        ~CurrentMessage() { t_current = saved; }
    } current;
    t_current = MSG{hWnd, message, wParam, lParam, 0, {}};
    return wnd->WindowProc(message, wParam, lParam);
}

BOOL AfxPumpMessage() {
    MSG msg;
    if (::GetMessageW(&msg, nullptr, 0, 0) <= 0) {
        return FALSE;
    }
    if (!PreTranslateWalk(&msg)) {
        ::DispatchMessageW(&msg);
    }
    return TRUE;
}

LRESULT CWnd::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_CREATE:
            return OnCreate(reinterpret_cast<LPCREATESTRUCTW>(lParam));
        case WM_DESTROY:
            OnDestroy();
            return 0;
        case WM_NCDESTROY:
            OnNcDestroy();
            return 0;
        case WM_CLOSE:
            OnClose();
            return 0;
        case WM_TIMER:
            OnTimer(wParam);
            return 0;
        case WM_ENABLE:
            OnEnable(static_cast<BOOL>(wParam));
            return 0;
        case WM_SHOWWINDOW:
            OnShowWindow(static_cast<BOOL>(wParam), static_cast<UINT>(lParam));
            return 0;
        case WM_MOVE:
            OnMove(GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
            return 0;
        case WM_SIZE:
            OnSize(static_cast<UINT>(wParam), LOWORD(lParam), HIWORD(lParam));
            return 0;
        case WM_MOUSEMOVE:
            OnMouseMove(static_cast<UINT>(wParam), PointOf(lParam));
            return 0;
        case WM_LBUTTONDOWN:
            OnLButtonDown(static_cast<UINT>(wParam), PointOf(lParam));
            return 0;
        case WM_LBUTTONUP:
            OnLButtonUp(static_cast<UINT>(wParam), PointOf(lParam));
            return 0;
        case WM_MOUSEHOVER:
            OnMouseHover(static_cast<UINT>(wParam), PointOf(lParam));
            return 0;
        case WM_MOUSELEAVE:
            OnMouseLeave();
            return 0;
        case WM_SETCURSOR:
            return OnSetCursor(FromHandle(reinterpret_cast<HWND>(wParam)), LOWORD(lParam), HIWORD(lParam));
        case WM_SYSCOMMAND:
            OnSysCommand(static_cast<UINT>(wParam), lParam);
            return 0;
        case WM_COMMAND:
            return OnCommand(wParam, lParam) ? 0 : Default();
        default:
            return DefWindowProc(message, wParam, lParam);
    }
}

LRESULT CWnd::DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    if (m_pfnSuper) {
        return ::CallWindowProcW(m_pfnSuper, m_hWnd, message, wParam, lParam);
    }
    return ::DefWindowProcW(m_hWnd, message, wParam, lParam);
}

LRESULT CWnd::Default() {
    return DefWindowProc(t_current.message, t_current.wParam, t_current.lParam);
}

BOOL CWnd::PreTranslateMessage(MSG*) {
    return FALSE;
}

BOOL CWnd::PreCreateWindow(CREATESTRUCTW&) {
    return TRUE;
}

void CWnd::PreSubclassWindow() {}

void CWnd::PostNcDestroy() {}

BOOL CWnd::OnCommand(WPARAM, LPARAM) {
    return FALSE;
}

int CWnd::OnCreate(LPCREATESTRUCTW) {
    return static_cast<int>(Default());
}

void CWnd::OnDestroy() {
    Default();
}

void CWnd::OnClose() {
    Default();
}

void CWnd::OnTimer(UINT_PTR) {
    Default();
}

void CWnd::OnEnable(BOOL) {
    Default();
}

void CWnd::OnShowWindow(BOOL, UINT) {
    Default();
}

void CWnd::OnMove(int, int) {
    Default();
}

void CWnd::OnSize(UINT, int, int) {
    Default();
}

void CWnd::OnMouseMove(UINT, CPoint) {
    Default();
}

void CWnd::OnLButtonDown(UINT, CPoint) {
    Default();
}

void CWnd::OnLButtonUp(UINT, CPoint) {
    Default();
}

void CWnd::OnMouseHover(UINT, CPoint) {
    Default();
}

void CWnd::OnMouseLeave() {
    Default();
}

BOOL CWnd::OnSetCursor(CWnd*, UINT, UINT) {
    return static_cast<BOOL>(Default());
}

void CWnd::OnSysCommand(UINT, LPARAM) {
    Default();
}

void CWnd::OnNcDestroy() {
    Default();
    if (CWinApp* app = AfxGetApp(); app && app->m_pMainWnd == this) {
        app->m_pMainWnd = nullptr;
        ::PostMessageW(nullptr, WM_NULL, 0, 0);  // wakes Run's loop to see it
    }
    Detach();
    m_pfnSuper = nullptr;
    PostNcDestroy();  // may delete the object
}
