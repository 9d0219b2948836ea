#include "platform/kernel32.h"
#include "platform/winuser.h"

#include <gtest/gtest.h>

namespace {

// The kernel functions know user32.dll only through what the window
// functions offered while the program started.
TEST(User32Module, ResolvesLayeredAttributesByNameOnly) {
    HMODULE user32 = LoadLibraryW(L"User32.DLL");
    ASSERT_NE(user32, nullptr);
    EXPECT_EQ(GetProcAddress(user32, "SetLayeredWindowAttributes"),
              reinterpret_cast<FARPROC>(&SetLayeredWindowAttributes));
    EXPECT_EQ(GetProcAddress(user32, "setlayeredwindowattributes"), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PROC_NOT_FOUND));
    EXPECT_TRUE(FreeLibrary(user32));
}

}  // namespace
