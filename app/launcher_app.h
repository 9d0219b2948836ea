// The application object: reads the configuration, fills the message table
// and takes the role the command line asks for.
#pragma once

#include "app/launcher_settings.h"
#include "platform/afxwin.h"

class CLauncherApp : public CWinApp {
public:
    BOOL InitInstance() override;
    int ExitInstance() override;

private:
    void RunMainWindow(StartRole role);
    void CopyAndRestart();
};
