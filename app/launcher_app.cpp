#include "app/launcher_app.h"

#include "app/message_table.h"
#include "platform/text.h"

#include <cstdio>

BOOL CLauncherApp::InitInstance()
{
    CWinApp::InitInstance();
    g_settings.ReadConfiguration();
    g_messages.Fill(g_settings.language);

    const StartRole role = DecideStartRole(g_settings);
    if (role == StartRole::CopyAndRestart)
        CopyAndRestart();
    else
        RunMainWindow(role);
    return TRUE;
}

int CLauncherApp::ExitInstance()
{
    return CWinApp::ExitInstance();
}

void CLauncherApp::RunMainWindow(StartRole role)
{
    // The windows are not part of this build yet: say what would open.
    std::fprintf(stderr,
                 "Quillmoor launcher: %s start, platform \"%s\", language \"%s\", page %s, version service %s\n"
                 "The launcher window is not available in this build.\n",
                 role == StartRole::MainWindow ? "plain" : "after-update",
                 platform::ToUtf8(g_settings.platform).c_str(), platform::ToUtf8(g_settings.language).c_str(),
                 platform::ToUtf8(g_settings.webUrl).c_str(), platform::ToUtf8(g_settings.versionUrl).c_str());
}

void CLauncherApp::CopyAndRestart()
{
    std::fprintf(stderr, "Quillmoor launcher: replacing the launcher at %s is not available in this build.\n",
                 platform::ToUtf8(g_settings.launcherPath).c_str());
}
