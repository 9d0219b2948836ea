// The six auto-reset events that chain the update threads. Created, not
// signalled, before the application object runs; never closed.
#pragma once

#include "platform/kernel32.h"

extern const HANDLE VersionKnownEvent;
extern const HANDLE LauncherCheckedEvent;
extern const HANDLE ClientCheckReadyEvent;
extern const HANDLE ClientListReadyEvent;
extern const HANDLE ClientDownloadedEvent;
extern const HANDLE ClientReadyEvent;
