// ShellExecuteW "open": the desktop's handler gets the address and the
// caller does not wait for it. A stand-in xdg-open on PATH records what it
// was asked to open.
#include "platform/linux/kernel32/test_folders.h"
#include "platform/shell32.h"
#include "platform/winuser.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>

namespace {

namespace fs = std::filesystem;
using platform::testing::ScratchFolder;

// Puts a folder first on PATH for the scope of a test.
class PathPrefix {
public:
    explicit PathPrefix(const fs::path& folder, bool keepRest = true) {
        const char* path = std::getenv("PATH");
        m_saved = path ? path : "";
        const std::string value = keepRest ? folder.string() + ":" + m_saved : folder.string();
        setenv("PATH", value.c_str(), 1);
    }
    ~PathPrefix() { setenv("PATH", m_saved.c_str(), 1); }
    PathPrefix(const PathPrefix&) = delete;
    PathPrefix& operator=(const PathPrefix&) = delete;

private:
    std::string m_saved;
};

// An xdg-open that writes its arguments to opened.txt beside itself.
void WriteRecordingOpener(const fs::path& folder) {
    const fs::path script = folder / "xdg-open";
    std::ofstream(script) << "#!/bin/sh\n"
                          << "printf '%s\\n' \"$@\" > '" << (folder / "opened.tmp").string() << "'\n"
                          << "mv '" << (folder / "opened.tmp").string() << "' '" << (folder / "opened.txt").string()
                          << "'\n";
    chmod(script.c_str(), 0755);
}

bool EventuallyExists(const fs::path& file) {
    for (int i = 0; i < 6000 && !fs::exists(file); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return fs::exists(file);
}

std::string ReadAll(const fs::path& file) {
    std::ifstream in(file);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::uintptr_t Code(HINSTANCE result) {
    return reinterpret_cast<std::uintptr_t>(result);
}

TEST(ShellExecute, OpenHandsTheAddressToTheDesktopHandler) {
    ScratchFolder folder;
    WriteRecordingOpener(folder.Path());
    PathPrefix path(folder.Path());

    const HINSTANCE result =
        ShellExecuteW(nullptr, L"open", L"http://127.0.0.1/帮助?a=1&b=2", nullptr, nullptr, SW_SHOWNORMAL);
    EXPECT_GT(Code(result), 32u);
    ASSERT_TRUE(EventuallyExists(folder.Path() / "opened.txt"));
    EXPECT_EQ(ReadAll(folder.Path() / "opened.txt"), "http://127.0.0.1/帮助?a=1&b=2\n");
}

TEST(ShellExecute, OnlyOpenWithoutParametersIsOffered) {
    ScratchFolder folder;
    WriteRecordingOpener(folder.Path());
    PathPrefix path(folder.Path());

    EXPECT_EQ(Code(ShellExecuteW(nullptr, L"print", L"http://127.0.0.1/", nullptr, nullptr, SW_SHOWNORMAL)),
              static_cast<std::uintptr_t>(SE_ERR_NOASSOC));
    EXPECT_EQ(Code(ShellExecuteW(nullptr, L"open", L"http://127.0.0.1/", L"-x", nullptr, SW_SHOWNORMAL)),
              static_cast<std::uintptr_t>(SE_ERR_NOASSOC));
    EXPECT_LE(Code(ShellExecuteW(nullptr, L"open", L"", nullptr, nullptr, SW_SHOWNORMAL)), 32u);
    // No operation means open.
    EXPECT_GT(Code(ShellExecuteW(nullptr, nullptr, L"file:///x", nullptr, nullptr, SW_SHOWNORMAL)), 32u);
    ASSERT_TRUE(EventuallyExists(folder.Path() / "opened.txt"));
    EXPECT_EQ(ReadAll(folder.Path() / "opened.txt"), "file:///x\n");
}

TEST(ShellExecute, WithoutAHandlerItReportsFailure) {
    ScratchFolder empty;
    PathPrefix path(empty.Path(), false);
    EXPECT_LE(Code(ShellExecuteW(nullptr, L"open", L"http://127.0.0.1/", nullptr, nullptr, SW_SHOWNORMAL)), 32u);
}

}  // namespace
