// ShellExecuteW "open": the desktop's handler gets the address and the
// caller does not wait for it. A stand-in xdg-open on PATH records what it
// was asked to open.
#include "platform/shell32.h"
#include "platform/winuser.h"
#include "tests/support/environment.h"
#include "tests/support/recording_opener.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <string>
#include <thread>

namespace {

namespace fs = std::filesystem;
using testsupport::RecordingOpener;
using testsupport::ScopedVariable;
using testsupport::TempDir;

bool Eventually(const std::function<bool()>& done) {
    for (int i = 0; i < 6000 && !done(); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return done();
}

std::uintptr_t Code(HINSTANCE result) {
    return reinterpret_cast<std::uintptr_t>(result);
}

TEST(ShellExecute, OpenHandsTheAddressToTheDesktopHandler) {
    TempDir folder;
    const RecordingOpener opener(folder.Path());

    const HINSTANCE result =
        ShellExecuteW(nullptr, L"open", L"http://127.0.0.1/帮助?a=1&b=2", nullptr, nullptr, SW_SHOWNORMAL);
    EXPECT_GT(Code(result), 32u);
    ASSERT_TRUE(Eventually([&opener] { return opener.WasCalled(); }));
    EXPECT_EQ(opener.Opened(), "http://127.0.0.1/帮助?a=1&b=2\n");
}

TEST(ShellExecute, OnlyOpenWithoutParametersIsOffered) {
    TempDir folder;
    const RecordingOpener opener(folder.Path());

    EXPECT_EQ(Code(ShellExecuteW(nullptr, L"print", L"http://127.0.0.1/", nullptr, nullptr, SW_SHOWNORMAL)),
              static_cast<std::uintptr_t>(SE_ERR_NOASSOC));
    EXPECT_EQ(Code(ShellExecuteW(nullptr, L"open", L"http://127.0.0.1/", L"-x", nullptr, SW_SHOWNORMAL)),
              static_cast<std::uintptr_t>(SE_ERR_NOASSOC));
    EXPECT_LE(Code(ShellExecuteW(nullptr, L"open", L"", nullptr, nullptr, SW_SHOWNORMAL)), 32u);
    // No operation means open.
    EXPECT_GT(Code(ShellExecuteW(nullptr, nullptr, L"file:///x", nullptr, nullptr, SW_SHOWNORMAL)), 32u);
    ASSERT_TRUE(Eventually([&opener] { return opener.WasCalled(); }));
    EXPECT_EQ(opener.Opened(), "file:///x\n");
}

TEST(ShellExecute, WithoutAHandlerItReportsFailure) {
    TempDir empty;
    const ScopedVariable path("PATH", empty.Str());
    EXPECT_LE(Code(ShellExecuteW(nullptr, L"open", L"http://127.0.0.1/", nullptr, nullptr, SW_SHOWNORMAL)), 32u);
}

}  // namespace
