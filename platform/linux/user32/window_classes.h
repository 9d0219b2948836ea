// Internal to the stand-in: the registered window classes.
#pragma once

#include "platform/winuser.h"

#include <string>

namespace platform {

// The class's registered name and procedure; false when there is no such class.
bool FindWindowClass(LPCWSTR className, std::wstring& registeredName, WNDPROC& proc);

}  // namespace platform
