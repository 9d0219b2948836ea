// The threads that run the update, chained by the update events, and the
// operations the main window uses to start and stop them.
#pragma once

#include "platform/kernel32.h"

#include <string>

DWORD WINAPI VersionCheckThread(LPVOID lpParameter);
DWORD WINAPI LauncherUpdateThread(LPVOID lpParameter);
DWORD WINAPI LauncherFinishThread(LPVOID lpParameter);
DWORD WINAPI ClientCheckThread(LPVOID lpParameter);
DWORD WINAPI ClientPrepareThread(LPVOID lpParameter);
DWORD WINAPI ClientDownloadThread(LPVOID lpParameter);
DWORD WINAPI ClientFinishThread(LPVOID lpParameter);
DWORD WINAPI GameStartThread(LPVOID lpParameter);

// Starts the launcher chain: version check, launcher download, finish.
void StartLauncherCheck();
// Runs on LauncherUpdateThread.
void StopLauncherCheck();
void RestartLauncherCheck(const std::wstring& newVersionUrl);
// Window thread.
void StopClientUpdate();
void StartClientCheck();
// Runs on ClientCheckThread, through CViewBroser::StartClientUpdate.
void StartClientUpdate();
// Starts GameStartThread, which waits for the client to be ready.
void StartGameStart();

// Downloads every pending file, one worker at a time; true when all are done.
// The launcher stage shows its stage text at every pass.
bool RunDriverLoop(bool bLauncherStage);

// Marks the progress dialog, if open, as closed by the launcher, closes it,
// and clears progressActive.
void CloseProgressDialog();
