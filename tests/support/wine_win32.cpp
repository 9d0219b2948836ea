#include "tests/support/wine.h"

#include <windows.h>

namespace testsupport {

// Wine's ntdll exports its version; Windows' does not.
bool UnderWine() {
    const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    return ntdll && GetProcAddress(ntdll, "wine_get_version");
}

}  // namespace testsupport
