// The application framework: one CWinApp object per process, run by
// AfxWinMain from main().
#pragma once

#include "platform/win_types.h"

#ifdef _WIN32
#include <afxwin.h>
#else

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
#endif
