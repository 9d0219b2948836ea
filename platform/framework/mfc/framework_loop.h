// Internal to the stand-in: the framework's message loop, shared by modal
// dialogs and CWinApp::Run.
#pragma once

#include <functional>

namespace platform {

// Pumps the calling thread's messages (AfxPumpMessage) while keepRunning()
// holds, checked before each message. Each time the queue is empty the
// temporary CWnd objects go and onIdle (if set) runs. False when WM_QUIT
// ended the loop.
bool RunFrameworkLoop(const std::function<bool()>& keepRunning, const std::function<void()>& onIdle);
// Deletes the calling thread's temporary CWnd objects (CWnd::FromHandle).
void DeleteTemporaryWindows();

}  // namespace platform
