// The thread that brings the last pending file up to date: download the
// packed file, unpack it into place, check its digest, retry.
#pragma once

#include "platform/kernel32.h"

// lpParameter is the launcher's main window. Exit code 1: the file is up
// to date or nothing was pending; 0: the file failed, or the launcher is
// closing while offline. The entry leaves pendingFiles except in that last case.
DWORD WINAPI DownloadWorker(LPVOID lpParameter);

// A worker of a CInstallBatch: lpParameter is a std::shared_ptr<CInstallBatch>
// allocated with new, which the worker takes over. It brings the batch's
// files up to date one after the other until the batch gives it no more.
// Exit code 1 when each of them matched, else 0.
DWORD WINAPI BatchWorker(LPVOID lpParameter);

// The stage text of a failed digest check, the same in every language.
extern const wchar_t kVerifyFailedText[];
