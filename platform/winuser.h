// user32: windows, messages, dialogs, timers, mouse input and the few system
// values the launcher's windows ask for.
//
// Windows belong to the thread that created them. Every message a window
// receives is handled on that thread: posted messages through its message
// loop in posting order, messages sent from another thread while the owner
// waits in GetMessageW, PeekMessageW or a SendMessageW of its own. Window
// handles are never reused, so a stale handle always fails cleanly.
#pragma once

#include "platform/win_types.h"

#ifdef _WIN32
#include <windows.h>

// _TrackMouseEvent (declared here on every system) is comctl32's.
#include <commctrl.h>

// <windowsx.h> has these too, but also function-like macros
// (SubclassWindow, ...) that collide with the framework's members.
#define GET_X_LPARAM(lp) ((int)(short)LOWORD(lp))
#define GET_Y_LPARAM(lp) ((int)(short)HIWORD(lp))
#else
#include "platform/gdi.h"
#include "platform/kernel32.h"

using ATOM = WORD;
using INT_PTR = std::intptr_t;
using HMENU = struct HMENU__*;
using HICON = struct HICON__*;
using HCURSOR = HICON;
using PVOID = void*;

struct POINT {
    LONG x;
    LONG y;
};
using LPPOINT = POINT*;
struct SIZE {
    LONG cx;
    LONG cy;
};
using LPSIZE = SIZE*;
struct RECT {
    LONG left;
    LONG top;
    LONG right;
    LONG bottom;
};
using LPRECT = RECT*;
using LPCRECT = const RECT*;

struct MSG {
    HWND hwnd;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    DWORD time;
    POINT pt;
};
using LPMSG = MSG*;

using WNDPROC = LRESULT(CALLBACK*)(HWND, UINT, WPARAM, LPARAM);
using TIMERPROC = void(CALLBACK*)(HWND, UINT, UINT_PTR, DWORD);

struct WNDCLASSW {
    UINT style;
    WNDPROC lpfnWndProc;
    int cbClsExtra;
    int cbWndExtra;
    HINSTANCE hInstance;
    HICON hIcon;
    HCURSOR hCursor;
    HBRUSH hbrBackground;
    LPCWSTR lpszMenuName;
    LPCWSTR lpszClassName;
};

struct CREATESTRUCTW {
    LPVOID lpCreateParams;
    HINSTANCE hInstance;
    HMENU hMenu;
    HWND hwndParent;
    int cy;
    int cx;
    int y;
    int x;
    LONG style;
    LPCWSTR lpszName;
    LPCWSTR lpszClass;
    DWORD dwExStyle;
};
using LPCREATESTRUCTW = CREATESTRUCTW*;

struct TRACKMOUSEEVENT {
    DWORD cbSize;
    DWORD dwFlags;
    HWND hwndTrack;
    DWORD dwHoverTime;
};
using LPTRACKMOUSEEVENT = TRACKMOUSEEVENT*;

struct OSVERSIONINFOW {
    DWORD dwOSVersionInfoSize;
    DWORD dwMajorVersion;
    DWORD dwMinorVersion;
    DWORD dwBuildNumber;
    DWORD dwPlatformId;
    WCHAR szCSDVersion[128];
};
using LPOSVERSIONINFOW = OSVERSIONINFOW*;

// ---- helpers
#define LOWORD(l) ((WORD)(((DWORD_PTR)(l)) & 0xffff))
#define HIWORD(l) ((WORD)((((DWORD_PTR)(l)) >> 16) & 0xffff))
#define MAKELONG(a, b) \
    ((LONG)(((WORD)(((DWORD_PTR)(a)) & 0xffff)) | ((DWORD)((WORD)(((DWORD_PTR)(b)) & 0xffff))) << 16))
#define MAKEWPARAM(l, h) ((WPARAM)(DWORD)MAKELONG(l, h))
#define MAKELPARAM(l, h) ((LPARAM)(DWORD)MAKELONG(l, h))
#define GET_X_LPARAM(lp) ((int)(short)LOWORD(lp))
#define GET_Y_LPARAM(lp) ((int)(short)HIWORD(lp))
#define MAKEINTRESOURCEW(i) ((LPWSTR)((ULONG_PTR)((WORD)(i))))
#define IS_INTRESOURCE(r) ((((ULONG_PTR)(r)) >> 16) == 0)

// ---- errors of this module
#define ERROR_INVALID_WINDOW_HANDLE 1400L
#define ERROR_TLW_WITH_WSCHILD 1406L
#define ERROR_CANNOT_FIND_WND_CLASS 1407L
#define ERROR_WINDOW_OF_OTHER_THREAD 1408L
#define ERROR_CLASS_ALREADY_EXISTS 1410L
#define ERROR_INVALID_INDEX 1413L
#define ERROR_CONTROL_ID_NOT_FOUND 1421L
#define ERROR_RESOURCE_NAME_NOT_FOUND 1814L

// ---- messages
#define WM_NULL 0x0000
#define WM_CREATE 0x0001
#define WM_DESTROY 0x0002
#define WM_MOVE 0x0003
#define WM_SIZE 0x0005
#define WM_ENABLE 0x000A
#define WM_PAINT 0x000F
#define WM_CLOSE 0x0010
#define WM_QUIT 0x0012
#define WM_ERASEBKGND 0x0014
#define WM_SHOWWINDOW 0x0018
#define WM_SETCURSOR 0x0020
#define WM_MOUSEACTIVATE 0x0021
#define WM_NCDESTROY 0x0082
#define WM_NCHITTEST 0x0084
#define WM_KEYFIRST 0x0100
#define WM_KEYDOWN 0x0100
#define WM_KEYUP 0x0101
#define WM_KEYLAST 0x0109
#define WM_INITDIALOG 0x0110
#define WM_COMMAND 0x0111
#define WM_SYSCOMMAND 0x0112
#define WM_TIMER 0x0113
#define WM_CTLCOLORDLG 0x0136
#define WM_MOUSEFIRST 0x0200
#define WM_MOUSEMOVE 0x0200
#define WM_LBUTTONDOWN 0x0201
#define WM_LBUTTONUP 0x0202
#define WM_MOUSELAST 0x020E
#define WM_MOUSEHOVER 0x02A1
#define WM_MOUSELEAVE 0x02A3
#define WM_USER 0x0400

// WM_SIZE kinds; WM_SHOWWINDOW reasons
#define SIZE_RESTORED 0
#define SIZE_MINIMIZED 1
#define SW_PARENTCLOSING 1
#define SW_PARENTOPENING 3

// WM_SYSCOMMAND commands (the low four bits belong to the system)
#define SC_MOVE 0xF010
#define SC_MINIMIZE 0xF020
#define SC_CLOSE 0xF060
#define SC_RESTORE 0xF120

// WM_NCHITTEST results
#define HTERROR (-2)
#define HTTRANSPARENT (-1)
#define HTNOWHERE 0
#define HTCLIENT 1
#define HTCAPTION 2

// mouse key state (wParam of mouse messages)
#define MK_LBUTTON 0x0001

// virtual keys
#define VK_TAB 0x09
#define VK_RETURN 0x0D
#define VK_ESCAPE 0x1B
#define VK_SPACE 0x20

// ---- window styles
#define WS_OVERLAPPED 0x00000000L
#define WS_POPUP 0x80000000L
#define WS_CHILD 0x40000000L
#define WS_MINIMIZE 0x20000000L
#define WS_VISIBLE 0x10000000L
#define WS_DISABLED 0x08000000L
#define WS_CLIPSIBLINGS 0x04000000L
#define WS_CLIPCHILDREN 0x02000000L
#define WS_CAPTION 0x00C00000L
#define WS_BORDER 0x00800000L
#define WS_DLGFRAME 0x00400000L
#define WS_SYSMENU 0x00080000L
#define WS_THICKFRAME 0x00040000L
#define WS_GROUP 0x00020000L
#define WS_TABSTOP 0x00010000L
#define WS_MINIMIZEBOX 0x00020000L
#define WS_MAXIMIZEBOX 0x00010000L
#define WS_OVERLAPPEDWINDOW (WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX)

#define WS_EX_DLGMODALFRAME 0x00000001L
#define WS_EX_TOPMOST 0x00000008L
#define WS_EX_TRANSPARENT 0x00000020L
#define WS_EX_TOOLWINDOW 0x00000080L
#define WS_EX_WINDOWEDGE 0x00000100L
#define WS_EX_CLIENTEDGE 0x00000200L
#define WS_EX_STATICEDGE 0x00020000L
#define WS_EX_APPWINDOW 0x00040000L
#define WS_EX_LAYERED 0x00080000L
#define WS_EX_NOACTIVATE 0x08000000L

// dialog template styles
#define DS_FIXEDSYS 0x0008L
#define DS_SETFONT 0x0040L
#define DS_MODALFRAME 0x0080L
#define DS_CENTER 0x0800L
#define DS_SHELLFONT (DS_SETFONT | DS_FIXEDSYS)

// controls
#define WC_BUTTONW L"Button"
#define WC_STATICW L"Static"
#define PROGRESS_CLASSW L"msctls_progress32"
#define BS_PUSHBUTTON 0x00000000L
#define BS_DEFPUSHBUTTON 0x00000001L
#define BS_CHECKBOX 0x00000002L
#define BS_AUTOCHECKBOX 0x00000003L
#define BS_RADIOBUTTON 0x00000004L
#define BS_AUTORADIOBUTTON 0x00000009L
#define BS_TYPEMASK 0x0000000FL
#define BN_CLICKED 0
#define SS_LEFT 0x00000000L
#define SS_NOTIFY 0x00000100L

// dialog results and message boxes
#define IDOK 1
#define IDCANCEL 2
#define IDABORT 3
#define IDRETRY 4
#define IDIGNORE 5
#define IDYES 6
#define IDNO 7
#define MB_OK 0x00000000L
#define MB_OKCANCEL 0x00000001L
#define MB_ABORTRETRYIGNORE 0x00000002L
#define MB_YESNOCANCEL 0x00000003L
#define MB_YESNO 0x00000004L
#define MB_RETRYCANCEL 0x00000005L
#define MB_CANCELTRYCONTINUE 0x00000006L
#define MB_TYPEMASK 0x0000000FL
#define MB_ICONERROR 0x00000010L
#define MB_ICONQUESTION 0x00000020L
#define MB_ICONWARNING 0x00000030L
#define MB_ICONINFORMATION 0x00000040L

// ---- ShowWindow
#define SW_HIDE 0
#define SW_SHOWNORMAL 1
#define SW_NORMAL 1
#define SW_SHOWMINIMIZED 2
#define SW_SHOWNOACTIVATE 4
#define SW_SHOW 5
#define SW_MINIMIZE 6
#define SW_SHOWMINNOACTIVE 7
#define SW_SHOWNA 8
#define SW_RESTORE 9

// ---- SetWindowPos
#define SWP_NOSIZE 0x0001
#define SWP_NOMOVE 0x0002
#define SWP_NOZORDER 0x0004
#define SWP_NOREDRAW 0x0008
#define SWP_NOACTIVATE 0x0010
#define SWP_FRAMECHANGED 0x0020
#define SWP_SHOWWINDOW 0x0040
#define SWP_HIDEWINDOW 0x0080
#define SWP_NOOWNERZORDER 0x0200
#define HWND_TOP ((HWND)0)
#define HWND_BOTTOM ((HWND)1)
#define HWND_TOPMOST ((HWND)-1)
#define HWND_NOTOPMOST ((HWND)-2)

// ---- window longs
#define GWLP_WNDPROC (-4)
#define GWL_ID (-12)
#define GWLP_ID (-12)
#define GWL_STYLE (-16)
#define GWL_EXSTYLE (-20)
#define GWLP_USERDATA (-21)

// ---- layered windows
#define LWA_COLORKEY 0x00000001
#define LWA_ALPHA 0x00000002
#define ULW_COLORKEY 0x00000001
#define ULW_ALPHA 0x00000002
#define ULW_OPAQUE 0x00000004

// ---- messages in the queue
#define PM_NOREMOVE 0x0000
#define PM_REMOVE 0x0001
#define USER_TIMER_MINIMUM 0x0000000A

// ---- mouse
#define TME_HOVER 0x00000001
#define TME_LEAVE 0x00000002
#define TME_CANCEL 0x80000000
#define HOVER_DEFAULT 0xFFFFFFFF
#define IDC_ARROW MAKEINTRESOURCEW(32512)
#define IDC_HAND MAKEINTRESOURCEW(32649)

// ---- system values
#define SPI_GETWORKAREA 0x0030
#define SPI_GETMOUSEHOVERTIME 0x0066
#define VER_PLATFORM_WIN32_NT 2

// ---- window classes and windows
LRESULT CALLBACK DefWindowProcW(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam);
LRESULT CallWindowProcW(WNDPROC lpPrevWndFunc, HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam);
// Only lpfnWndProc and lpszClassName are used; class names compare without
// regard to case. "Button", "Static", "msctls_progress32" and the dialog
// class "#32770" are there from the start.
ATOM RegisterClassW(const WNDCLASSW* lpWndClass);
// A window of another thread's parent may be created; it belongs to the
// creating thread. WM_CREATE returning -1 destroys it again and fails.
HWND CreateWindowExW(DWORD dwExStyle, LPCWSTR lpClassName, LPCWSTR lpWindowName, DWORD dwStyle, int X, int Y,
                     int nWidth, int nHeight, HWND hWndParent, HMENU hMenu, HINSTANCE hInstance, LPVOID lpParam);
// Owner thread only. Destroys the windows it owns, then sends WM_DESTROY
// (parent before children) and WM_NCDESTROY (children before parent); the
// messages still queued for them are dropped.
BOOL DestroyWindow(HWND hWnd);
BOOL IsWindow(HWND hWnd);
BOOL IsChild(HWND hWndParent, HWND hWnd);
// The parent of a child window, the owner of a popup, NULL otherwise.
HWND GetParent(HWND hWnd);
HWND GetDlgItem(HWND hDlg, int nIDDlgItem);
int GetDlgCtrlID(HWND hWnd);
// A top-level window by class (without regard to case) and text; NULL
// matches any. Windows live in their process here, so another program's
// window is never found.
HWND FindWindowW(LPCWSTR lpClassName, LPCWSTR lpWindowName);

// ---- messages
// From any thread. hWnd NULL posts to the calling thread's own queue. FALSE
// for a window that does not exist (any more), and on a thread that was
// asked to stop: a stopped thread posts nothing.
BOOL PostMessageW(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam);
// On the owner thread a direct call. From another thread the message is
// handled on the owner thread while the caller waits; a caller that owns
// windows itself handles the messages sent to it meanwhile, and a caller
// asked to stop stops waiting. 0 when the window does not exist or its
// thread has ended.
LRESULT SendMessageW(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam);
// FALSE when WM_QUIT was retrieved.
BOOL GetMessageW(LPMSG lpMsg, HWND hWnd, UINT wMsgFilterMin, UINT wMsgFilterMax);
BOOL PeekMessageW(LPMSG lpMsg, HWND hWnd, UINT wMsgFilterMin, UINT wMsgFilterMax, UINT wRemoveMsg);
LRESULT DispatchMessageW(const MSG* lpMsg);
// Enter sends WM_COMMAND IDOK, Escape WM_COMMAND IDCANCEL to the dialog;
// every other message of the dialog or its controls is dispatched. FALSE for
// messages of other windows. There is no keyboard navigation.
BOOL IsDialogMessageW(HWND hDlg, LPMSG lpMsg);

// ---- visibility, state and placement
// From any thread; from a thread other than the owner's the change is made
// on the owner thread in order with the messages posted to it, and the call
// returns at once (as ShowWindowAsync), so a worker never waits for the
// window thread. A stopped thread changes nothing. Returns the previous
// visibility.
BOOL ShowWindow(HWND hWnd, int nCmdShow);
// The window and every parent have WS_VISIBLE.
BOOL IsWindowVisible(HWND hWnd);
BOOL IsIconic(HWND hWnd);
// Brings a top-level window to the top of the z-order.
BOOL SetForegroundWindow(HWND hWnd);
// Sends WM_ENABLE when the state changes. Returns the previous disabled state.
BOOL EnableWindow(HWND hWnd, BOOL bEnable);
BOOL IsWindowEnabled(HWND hWnd);
// Child windows are placed in their parent's client coordinates, others in
// screen coordinates. WM_MOVE and WM_SIZE follow a change of the client area.
BOOL SetWindowPos(HWND hWnd, HWND hWndInsertAfter, int X, int Y, int cx, int cy, UINT uFlags);
BOOL MoveWindow(HWND hWnd, int X, int Y, int nWidth, int nHeight, BOOL bRepaint);
BOOL GetWindowRect(HWND hWnd, LPRECT lpRect);
BOOL GetClientRect(HWND hWnd, LPRECT lpRect);
BOOL ScreenToClient(HWND hWnd, LPPOINT lpPoint);
BOOL ClientToScreen(HWND hWnd, LPPOINT lpPoint);
// Frame sizes: border 1, dialog frame 3, sizing frame 4, caption 19 pixels;
// WS_EX_CLIENTEDGE adds 2 more, a menu bar 19.
BOOL AdjustWindowRect(LPRECT lpRect, DWORD dwStyle, BOOL bMenu);
BOOL AdjustWindowRectEx(LPRECT lpRect, DWORD dwStyle, BOOL bMenu, DWORD dwExStyle);
// Dialog units to pixels with the fixed base unit of 6 x 13 pixels
// (x * 6 / 4, y * 13 / 8), whatever the template's font.
BOOL MapDialogRect(HWND hDlg, LPRECT lpRect);
HWND WindowFromPoint(POINT Point);

BOOL SetWindowTextW(HWND hWnd, LPCWSTR lpString);
int GetWindowTextW(HWND hWnd, LPWSTR lpString, int nMaxCount);
int GetWindowTextLengthW(HWND hWnd);
// GWL_STYLE, GWL_EXSTYLE and GWL_ID. WS_VISIBLE and WS_DISABLED are the
// window's state; change them with ShowWindow and EnableWindow.
LONG GetWindowLongW(HWND hWnd, int nIndex);
LONG SetWindowLongW(HWND hWnd, int nIndex, LONG dwNewLong);
// Adds GWLP_WNDPROC and GWLP_USERDATA to the above.
LONG_PTR GetWindowLongPtrW(HWND hWnd, int nIndex);
LONG_PTR SetWindowLongPtrW(HWND hWnd, int nIndex, LONG_PTR dwNewLong);
// Needs WS_EX_LAYERED. With LWA_COLORKEY the window is transparent to the
// mouse except over its child windows.
BOOL SetLayeredWindowAttributes(HWND hwnd, COLORREF crKey, BYTE bAlpha, DWORD dwFlags);
// Needs WS_EX_LAYERED and no SetLayeredWindowAttributes; owner thread. The
// window shows the psize part at pptSrc of the DIB section selected into
// hdcSrc (premultiplied alpha with ULW_ALPHA and AC_SRC_ALPHA, otherwise
// opaque; ULW_COLORKEY makes crKey transparent), moves to pptDst when given
// and takes the picture's size. The mouse passes where a pixel's alpha is 0.
BOOL UpdateLayeredWindow(HWND hWnd, HDC hdcDst, POINT* pptDst, SIZE* psize, HDC hdcSrc, POINT* pptSrc, COLORREF crKey,
                         BLENDFUNCTION* pblend, DWORD dwFlags);

// ---- timers
// Owner thread only; needs a window. WM_TIMER with the id arrives on the
// window's thread when no other message waits, once per timer however many
// periods passed. Setting an existing id restarts it; KillTimer stops it and
// no WM_TIMER of it is retrieved afterwards.
UINT_PTR SetTimer(HWND hWnd, UINT_PTR nIDEvent, UINT uElapse, TIMERPROC lpTimerFunc);
BOOL KillTimer(HWND hWnd, UINT_PTR uIDEvent);

// ---- mouse
BOOL GetCursorPos(LPPOINT lpPoint);
HCURSOR SetCursor(HCURSOR hCursor);
HCURSOR GetCursor();
// System cursors only (hInstance NULL): IDC_ARROW and IDC_HAND.
HCURSOR LoadCursorW(HINSTANCE hInstance, LPCWSTR lpCursorName);
HWND SetCapture(HWND hWnd);
BOOL ReleaseCapture();
HWND GetCapture();
// TME_HOVER, TME_LEAVE and TME_CANCEL. WM_MOUSEHOVER comes once the mouse
// rested over the window for the hover time; WM_MOUSELEAVE when it leaves
// (at once when it is not over the window). Both end their tracking.
BOOL TrackMouseEvent(LPTRACKMOUSEEVENT lpEventTrack);
BOOL _TrackMouseEvent(LPTRACKMOUSEEVENT lpEventTrack);

// ---- system
// SPI_GETWORKAREA (RECT) and SPI_GETMOUSEHOVERTIME (UINT).
BOOL SystemParametersInfoW(UINT uiAction, UINT uiParam, PVOID pvParam, UINT fWinIni);
// Windows 6.2 (build 9200), as Windows reports to programs that do not
// declare a newer version.
BOOL GetVersionExW(LPOSVERSIONINFOW lpVersionInformation);
// Shown by the display backend; without a display it is recorded and
// answered with its first button (IDOK for MB_OK and MB_OKCANCEL).
int MessageBoxW(HWND hWnd, LPCWSTR lpText, LPCWSTR lpCaption, UINT uType);
// A string resource of a module (LoadLibraryW); its length, 0 when missing.
int LoadStringW(HINSTANCE hInstance, UINT uID, LPWSTR lpBuffer, int cchBufferMax);
#endif

// A layered window's picture is kept for window_automation.h, as on Linux.
#include "platform/routed_calls.h"
