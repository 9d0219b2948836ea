// The application object: reads the configuration, fills the message table
// and takes the role the command line asks for.
#pragma once

#include "app/data_folder_lock.h"
#include "platform/afxwin.h"
#include "state/launcher_settings.h"

class CLauncherApp : public CWinApp {
public:
    BOOL InitInstance() override;
    int ExitInstance() override;

protected:
    // The launcher's windows are for a player to see: without a display it
    // stops at once rather than run unseen. The headless front end runs them
    // in memory.
    virtual bool NeedsDisplay() const { return true; }
    // Another launcher holds the data folder: this one did nothing and ends.
    // `raised`: that launcher's main window was brought to the front.
    virtual void ReportAnotherLauncher(bool raised);
    bool AnotherLauncherRunning() const { return m_anotherLauncherRunning; }

private:
    // One launcher per data folder; false when another holds it. Nothing is
    // written before this, so a second launcher leaves every file alone.
    bool TakeDataFolder(StartRole role);
    // GDI+ for the windows, then the main window, modally.
    void RunMainWindow();
    void CopyAndRestart();
    // Opens the diagnostic log in the data folder and notes how and where
    // this launcher was started.
    void LogStart();
    // Tells the player why the launcher stops (stderr, and a message box
    // where a display shows it) and makes the process end in failure.
    void Fail(const std::wstring& reason);

    // GDI+ runs from the main window's start to ExitInstance.
    ULONG_PTR m_gdiplusToken = 0;
    int m_exitCode = 0;
    // Held until the process ends.
    DataFolderLock m_dataFolderLock;
    bool m_anotherLauncherRunning = false;
};
