// The application framework: one CWinApp object per process, run by
// AfxWinMain from main(); CWnd objects over windows; CDialog with modal loops
// and data exchange.
//
// Message handling. CWnd::WindowProc hands the messages below to virtual
// handlers (the framework's message-map entries, made virtual): override a
// handler to handle its message, and call the base class's handler for the
// default handling. Commands arrive in OnCommand (LOWORD(wParam) is the
// control id, HIWORD the notification); return TRUE when handled. Messages
// without a handler (private WM_USER messages, painting) reach WindowProc:
// override it and pass the rest on to the base class's WindowProc.
//
// Modal dialogs. DoModal runs a message loop of its own until that dialog's
// EndDialog; a DoModal inside a handler nests, and each loop ends only by
// its own dialog's EndDialog. WM_CLOSE (from any thread) ends a dialog as a
// click on IDCANCEL does: OnCancel, EndDialog(IDCANCEL). Enter and Escape
// become IDOK and IDCANCEL commands unless a PreTranslateMessage takes them.
//
// The same subset is the framework on Windows (there is none for our
// compiler): written over user32, with the wide names. There <windows.h>
// makes PostMessage, SendMessage, SetWindowText, GetWindowText(Length) and
// DefWindowProc macros for their W names, members included; inside a CWnd
// the global functions are called as ::PostMessageW and so on.
#pragma once

#include "platform/win_types.h"

#include "platform/afxdisp.h"
#include "platform/winuser.h"

#include <atomic>

class CWnd;

class CWinApp {
public:
    CWinApp();
    virtual ~CWinApp();
    CWinApp(const CWinApp&) = delete;
    CWinApp& operator=(const CWinApp&) = delete;

    virtual BOOL InitInstance();
    // Runs the message loop while there is a main window; none: returns at once.
    virtual int Run();
    virtual int ExitInstance();

    CWnd* m_pMainWnd = nullptr;
};

CWinApp* AfxGetApp();

// The framework's entry: InitInstance, then Run when it succeeded, then
// ExitInstance. Threads still running when it returns are ended.
int AfxWinMain();

class CPoint : public POINT {
public:
    CPoint() : POINT{0, 0} {}
    CPoint(int initX, int initY) : POINT{initX, initY} {}
};

class CWnd : public CCmdTarget {
public:
    CWnd();
    // Destroys a window it still holds, as the framework does.
    virtual ~CWnd();
    CWnd(const CWnd&) = delete;
    CWnd& operator=(const CWnd&) = delete;

    // The window. Worker threads read it (PostMessage, ShowWindow) while the
    // window thread may clear it when the window goes, hence atomic.
    std::atomic<HWND> m_hWnd{nullptr};

    HWND GetSafeHwnd() const { return m_hWnd; }
    operator HWND() const { return m_hWnd; }

    // The object attached to the window, or a temporary one that lives until
    // the window thread's message loop is next idle.
    static CWnd* FromHandle(HWND hWnd);
    // The object attached to the window, or NULL.
    static CWnd* FromHandlePermanent(HWND hWnd);

    BOOL Attach(HWND hWndNew);
    HWND Detach();
    // Attaches and routes the window's messages through WindowProc; the
    // window's former procedure does the default handling.
    BOOL SubclassWindow(HWND hWnd);
    BOOL SubclassDlgItem(UINT nID, CWnd* pParent);
    HWND UnsubclassWindow();

    // A child window; lpszClassName NULL makes a plain framework window.
    virtual BOOL Create(LPCWSTR lpszClassName, LPCWSTR lpszWindowName, DWORD dwStyle, const RECT& rect,
                        CWnd* pParentWnd, UINT nID);
    virtual BOOL CreateEx(DWORD dwExStyle, LPCWSTR lpszClassName, LPCWSTR lpszWindowName, DWORD dwStyle, int x, int y,
                          int nWidth, int nHeight, HWND hWndParent, HMENU nIDorHMenu, LPVOID lpParam = nullptr);
    BOOL CreateEx(DWORD dwExStyle, LPCWSTR lpszClassName, LPCWSTR lpszWindowName, DWORD dwStyle, const RECT& rect,
                  CWnd* pParentWnd, UINT nID, LPVOID lpParam = nullptr);
    virtual BOOL DestroyWindow();

    BOOL ShowWindow(int nCmdShow);
    BOOL IsWindowVisible() const;
    BOOL EnableWindow(BOOL bEnable = TRUE);
    BOOL IsWindowEnabled() const;
    void MoveWindow(int x, int y, int nWidth, int nHeight, BOOL bRepaint = TRUE);
    void MoveWindow(LPCRECT lpRect, BOOL bRepaint = TRUE);
    // pWndInsertAfter NULL is HWND_TOP (ignored with SWP_NOZORDER).
    BOOL SetWindowPos(const CWnd* pWndInsertAfter, int x, int y, int cx, int cy, UINT nFlags);
    void GetWindowRect(LPRECT lpRect) const;
    void GetClientRect(LPRECT lpRect) const;
    void ScreenToClient(LPPOINT lpPoint) const;
    void ScreenToClient(LPRECT lpRect) const;
    void ClientToScreen(LPPOINT lpPoint) const;
    void ClientToScreen(LPRECT lpRect) const;
    DWORD GetStyle() const;
    DWORD GetExStyle() const;
    // TRUE when the style changed; nFlags non-zero adds a SetWindowPos with
    // them (SWP_FRAMECHANGED, say).
    BOOL ModifyStyle(DWORD dwRemove, DWORD dwAdd, UINT nFlags = 0);
    BOOL ModifyStyleEx(DWORD dwRemove, DWORD dwAdd, UINT nFlags = 0);
    UINT_PTR SetTimer(UINT_PTR nIDEvent, UINT nElapse, TIMERPROC lpfnTimer = nullptr);
    BOOL KillTimer(UINT_PTR nIDEvent);
    CWnd* GetDlgItem(int nID) const;
    int GetDlgCtrlID() const;
    CWnd* GetParent() const;
    void SetWindowText(LPCWSTR lpszString);
    int GetWindowText(LPWSTR lpszStringBuf, int nMaxCount) const;
    int GetWindowTextLength() const;
    BOOL PostMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0);
    LRESULT SendMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0);

    virtual LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    // The window's former procedure (its class's), or DefWindowProcW.
    virtual LRESULT DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    // Called by the message loop before a message of this window or of one of
    // its children (and owned windows) is dispatched; TRUE takes the message.
    virtual BOOL PreTranslateMessage(MSG* pMsg);
    // Before the window is created; FALSE stops the creation.
    virtual BOOL PreCreateWindow(CREATESTRUCTW& cs);
    // When the object is attached to its window, before any message of it.
    virtual void PreSubclassWindow();
    // After the last message of the window (WM_NCDESTROY).
    virtual void PostNcDestroy();
    virtual BOOL OnCommand(WPARAM wParam, LPARAM lParam);

protected:
    // The default handling of the message being handled.
    LRESULT Default();

    virtual int OnCreate(LPCREATESTRUCTW lpCreateStruct);
    virtual void OnDestroy();
    virtual void OnClose();
    virtual void OnTimer(UINT_PTR nIDEvent);
    virtual void OnEnable(BOOL bEnable);
    virtual void OnShowWindow(BOOL bShow, UINT nStatus);
    virtual void OnMove(int x, int y);
    virtual void OnSize(UINT nType, int cx, int cy);
    virtual void OnMouseMove(UINT nFlags, CPoint point);
    virtual void OnLButtonDown(UINT nFlags, CPoint point);
    virtual void OnLButtonUp(UINT nFlags, CPoint point);
    virtual void OnMouseHover(UINT nFlags, CPoint point);
    virtual void OnMouseLeave();
    virtual BOOL OnSetCursor(CWnd* pWnd, UINT nHitTest, UINT message);
    virtual void OnSysCommand(UINT nID, LPARAM lParam);

    // Attaches the object to the window it is creating, before the
    // window's first message.
    void AttachCreated(HWND hWnd);

    WNDPROC m_pfnSuper = nullptr;

private:
    void OnNcDestroy();
};

// The procedure of every window that a CWnd object handles.
LRESULT CALLBACK AfxWndProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);

// One message of the calling thread: retrieved, offered to PreTranslateMessage
// of the window and its parents, dispatched. FALSE on WM_QUIT.
BOOL AfxPumpMessage();

class CDataExchange {
public:
    CDataExchange(CWnd* pDlgWnd, BOOL bSaveAndValidate);

    // The control's window; a dialog without the control fails the exchange.
    HWND PrepareCtrl(int nIDC);
    // Marks the exchange failed: UpdateData returns FALSE.
    void Fail();
    bool Failed() const { return m_bFailed; }

    BOOL m_bSaveAndValidate;
    CWnd* m_pDlgWnd;

private:
    bool m_bFailed = false;
};

// Binds rControl to the dialog's control nIDC (once; later exchanges keep
// the binding): its messages then reach rControl's handlers.
void DDX_Control(CDataExchange* pDX, int nIDC, CWnd& rControl);

class CDialog : public CWnd {
public:
    // The template is looked up by id when the dialog is run (dialog_template.h).
    explicit CDialog(UINT nIDTemplate, CWnd* pParentWnd = nullptr);

    // Makes the dialog from its template, disables the parent's top-level
    // window, shows the dialog once its loop is first idle (unless it is
    // visible already), runs the loop until EndDialog, then destroys the
    // dialog. Returns the EndDialog value; -1 when the template is missing or
    // the dialog could not be made.
    virtual INT_PTR DoModal();
    using CWnd::Create;
    // Modeless: makes the dialog; it shows when its template has WS_VISIBLE.
    virtual BOOL Create(UINT nIDTemplate, CWnd* pParentWnd = nullptr);
    // Ends this dialog's modal loop with nResult (the last value given while
    // the loop runs counts) and hides the dialog. Loops of other dialogs go on.
    void EndDialog(int nResult);

    // Default: the data exchange (UpdateData(FALSE)); a failed exchange ends
    // the dialog with -1.
    virtual BOOL OnInitDialog();
    BOOL UpdateData(BOOL bSaveAndValidate = TRUE);
    // Input messages of the dialog and its controls go through
    // IsDialogMessageW: Enter and Escape become IDOK and IDCANCEL.
    BOOL PreTranslateMessage(MSG* pMsg) override;
    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

    CWnd* m_pParentWnd;

protected:
    // Default: UpdateData(TRUE), then EndDialog(IDOK).
    virtual void OnOK();
    // Default: EndDialog(IDCANCEL).
    virtual void OnCancel();
    // Default: nothing to exchange.
    virtual void DoDataExchange(CDataExchange* pDX);

private:
    bool CreateFromTemplate(HWND owner);

    UINT m_nIDTemplate;
    bool m_bModalLoop = false;      // DoModal's loop runs
    bool m_bContinueModal = false;  // ...and has not been ended
    INT_PTR m_nModalResult = -1;
};
