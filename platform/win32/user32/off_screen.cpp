// Windows draws every window it is asked to show: the headless front end's
// dialogs show there as the launcher's do, and it drives them all the same.
#include "platform/window_system.h"

namespace platform {

void KeepWindowsOffScreen() {}

}  // namespace platform
