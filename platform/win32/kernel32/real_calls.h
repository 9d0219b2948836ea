// Internal to the Windows side: included last by the files that implement
// the routed calls (platform/routed_calls.h), so that the plain names there
// are Windows' own again.
#pragma once

#undef CreateThread
#undef TerminateThread
#undef WaitForSingleObject
#undef Sleep
#undef SetEvent
#undef ResetEvent
#undef EnterCriticalSection
#undef HttpSendRequestW
#undef InternetReadFile
#undef InternetCloseHandle
#undef UpdateLayeredWindow
