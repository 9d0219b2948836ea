// LoadLibraryW, GetProcAddress and LoadStringW over the few system DLLs the
// launcher resolves functions or texts from at run time. Module handles are
// the addresses of objects here; modules are never unloaded.
#include "platform/linux/kernel32/system_modules.h"
#include "platform/kernel32.h"
#include "platform/winuser.h"

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cwctype>
#include <string>
#include <string_view>

namespace {

char g_advapi32;
char g_user32;
// The browser's resources: its texts, no code.
char g_shdoclc;

HMODULE HandleOf(char& module) {
    return reinterpret_cast<HMODULE>(&module);
}

bool EqualNoCase(std::wstring_view a, std::wstring_view b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                      [](wchar_t x, wchar_t y) { return std::towlower(x) == std::towlower(y); });
}

// As on Windows, a name without an extension means the ".dll".
bool NamesModule(std::wstring_view name, std::wstring_view module) {
    return EqualNoCase(name, module) || EqualNoCase(std::wstring(name) + L".dll", module);
}

// Set during static initialisation, possibly before this file's statics:
// constant-initialised, so it is valid from the start.
constinit std::atomic<platform::ModuleExports> g_user32Exports{nullptr};

FARPROC User32Export(std::string_view name) {
    const platform::ModuleExports exports = g_user32Exports.load(std::memory_order_acquire);
    return exports ? exports(name) : nullptr;
}

}  // namespace

namespace platform {

void OfferUser32Exports(ModuleExports exports) {
    g_user32Exports.store(exports, std::memory_order_release);
}

}  // namespace platform

HMODULE LoadLibraryW(LPCWSTR lpLibFileName) {
    if (lpLibFileName && NamesModule(lpLibFileName, L"advapi32.dll")) {
        return HandleOf(g_advapi32);
    }
    if (lpLibFileName && NamesModule(lpLibFileName, L"user32.dll")) {
        return HandleOf(g_user32);
    }
    if (lpLibFileName && NamesModule(lpLibFileName, L"shdoclc.dll")) {
        return HandleOf(g_shdoclc);
    }
    SetLastError(ERROR_MOD_NOT_FOUND);
    return nullptr;
}

FARPROC GetProcAddress(HMODULE hModule, LPCSTR lpProcName) {
    if (hModule != HandleOf(g_advapi32) && hModule != HandleOf(g_user32)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    // Export names are case-sensitive; ordinals (values below 0x10000) are
    // not offered.
    const std::string_view name =
        reinterpret_cast<std::uintptr_t>(lpProcName) > 0xFFFF ? std::string_view(lpProcName) : std::string_view();
    const FARPROC procedure = hModule == HandleOf(g_advapi32) ? platform::Advapi32Export(name) : User32Export(name);
    if (!procedure) {
        SetLastError(ERROR_PROC_NOT_FOUND);
    }
    return procedure;
}

BOOL FreeLibrary(HMODULE hLibModule) {
    if (hLibModule != HandleOf(g_advapi32) && hLibModule != HandleOf(g_user32) && hLibModule != HandleOf(g_shdoclc)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    return TRUE;
}

int LoadStringW(HINSTANCE hInstance, UINT uID, LPWSTR lpBuffer, int cchBufferMax) {
    const std::wstring_view text = hInstance == HandleOf(g_shdoclc) && uID == platform::kBrowserMessageCaptionId
                                       ? platform::kBrowserMessageCaption
                                       : std::wstring_view();
    if (text.empty()) {
        SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
        return 0;
    }
    if (!lpBuffer || cchBufferMax <= 0) {
        return 0;
    }
    // Cut to fit, always terminated.
    const std::size_t copied = std::min<std::size_t>(text.size(), static_cast<std::size_t>(cchBufferMax - 1));
    text.copy(lpBuffer, copied);
    lpBuffer[copied] = L'\0';
    return static_cast<int>(copied);
}
