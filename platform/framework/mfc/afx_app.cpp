#include "platform/afxwin.h"

#include "platform/framework/mfc/framework_loop.h"
#include "platform/thread_stop.h"
#include "platform/window_system.h"

namespace {
CWinApp* g_app = nullptr;
}

CWinApp::CWinApp() {
    g_app = this;
}

CWinApp::~CWinApp() {
    if (g_app == this)
        g_app = nullptr;
}

BOOL CWinApp::InitInstance() {
    return TRUE;
}

int CWinApp::Run() {
    // The loop lasts as long as the main window: its WM_NCDESTROY clears
    // m_pMainWnd. Without a main window there is nothing to wait for.
    platform::RunFrameworkLoop([this] { return m_pMainWnd && ::IsWindow(m_pMainWnd->GetSafeHwnd()); }, {});
    return ExitInstance();
}

int CWinApp::ExitInstance() {
    return 0;
}

CWinApp* AfxGetApp() {
    return g_app;
}

int AfxWinMain() {
    // The display, if there is one, before the application makes its first window.
    platform::InstallDisplayBackend();
    CWinApp* app = AfxGetApp();
    int exitCode = -1;
    if (app) {
        if (app->InitInstance())
            exitCode = app->Run();
        else
            exitCode = app->ExitInstance();
    }
    platform::EndRemainingThreads();
    return exitCode;
}
