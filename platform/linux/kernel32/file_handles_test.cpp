// File handles and their locks: what the launcher's one-per-data-folder lock
// stands on.
#include "platform/kernel32.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <signal.h>

#include <string>
#include <vector>

namespace {

using testsupport::CurrentDirectory;
using testsupport::TempDir;

HANDLE Open(const std::wstring& file, DWORD disposition) {
    return CreateFileW(file.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                       disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
}

BOOL Lock(HANDLE file, DWORD offset, DWORD flags = LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY) {
    OVERLAPPED at{};
    at.Offset = offset;
    return LockFileEx(file, flags, 0, 1, 0, &at);
}

}  // namespace

TEST(FileHandles, CreationDispositionsAnswerAsWindowsDoes) {
    const TempDir dir;
    const std::wstring file = dir.Path().wstring() + L"\\made.lock";
    SetLastError(ERROR_INVALID_FUNCTION);
    EXPECT_EQ(Open(file, OPEN_EXISTING), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));

    HANDLE made = Open(file, OPEN_ALWAYS);
    ASSERT_NE(made, INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SUCCESS));
    HANDLE again = Open(file, OPEN_ALWAYS);
    ASSERT_NE(again, INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
    EXPECT_EQ(Open(file, CREATE_NEW), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_EXISTS));
    EXPECT_TRUE(CloseHandle(made));
    EXPECT_TRUE(CloseHandle(again));
    EXPECT_FALSE(CloseHandle(made));
}

TEST(FileHandles, ALockBelongsToItsHandleAndEndsWithIt) {
    const TempDir dir;
    const std::wstring file = dir.Path().wstring() + L"/shared.lock";
    HANDLE first = Open(file, OPEN_ALWAYS);
    HANDLE second = Open(file, OPEN_ALWAYS);
    ASSERT_NE(first, INVALID_HANDLE_VALUE);
    ASSERT_NE(second, INVALID_HANDLE_VALUE);

    ASSERT_TRUE(Lock(first, 0));
    // Another handle of the same process conflicts, exclusive or shared; the
    // byte beside is free.
    EXPECT_FALSE(Lock(second, 0));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_LOCK_VIOLATION));
    EXPECT_FALSE(Lock(second, 0, LOCKFILE_FAIL_IMMEDIATELY));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_LOCK_VIOLATION));
    EXPECT_TRUE(Lock(second, 1));
    // A lock that would wait is not offered.
    EXPECT_FALSE(Lock(second, 2, LOCKFILE_EXCLUSIVE_LOCK));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_FALSE(Lock(INVALID_HANDLE_VALUE, 0));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));

    // A program started while the lock is held does not keep it: once the
    // handle is closed the lock is free, with that program still running.
    const TempDir programs;
    testsupport::WriteBytes(programs.Path() / "waiter", "#!/bin/sh\nexec sleep 60\n");
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION child{};
    std::wstring line = L"waiter";
    {
        CurrentDirectory there(programs.Path());
        ASSERT_TRUE(
            CreateProcessW(L"waiter", line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &child));
    }
    EXPECT_TRUE(CloseHandle(first));
    EXPECT_TRUE(Lock(second, 0));
    kill(static_cast<pid_t>(child.dwProcessId), SIGKILL);
    EXPECT_EQ(WaitForSingleObject(child.hProcess, 10000), WAIT_OBJECT_0);
    CloseHandle(child.hThread);
    CloseHandle(child.hProcess);
    EXPECT_TRUE(CloseHandle(second));
}
