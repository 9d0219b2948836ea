#include "app/data_folder_lock.h"

#include "platform/kernel32.h"
#include "platform/text.h"

#include <algorithm>
#include <chrono>
#include <filesystem>

namespace {

constexpr wchar_t kLockFileName[] = L"launcher.lock";
constexpr unsigned kRetryPauseMs = 100;

// The first byte stands for the folder. The file is opened shared and never
// written: a program that opens it for a moment (a virus scanner) does not
// look like a launcher, and a second launcher reads nothing from it.
bool LockFirstByte(HANDLE file) {
    OVERLAPPED at{};
    return LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &at) != FALSE;
}

}  // namespace

DataFolderLock::~DataFolderLock() {
    Release();
}

void DataFolderLock::Release() {
    if (Held())
        CloseHandle(m_file);
    m_file = INVALID_HANDLE_VALUE;
}

DataFolderLock::Outcome DataFolderLock::Take(const std::wstring& dataFolder, unsigned waitMs) {
    Release();
    m_waitedMs = 0;
    m_problem.clear();
    std::error_code ignored;
    std::filesystem::create_directories(platform::NativePath(dataFolder), ignored);
    const std::wstring file = dataFolder + L"\\" + kLockFileName;

    const auto start = std::chrono::steady_clock::now();
    const auto elapsedMs = [start] {
        return static_cast<unsigned>(
            std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count());
    };
    for (bool foundHeld = false;; foundHeld = true) {
        const HANDLE opened = CreateFileW(file.c_str(), GENERIC_READ | GENERIC_WRITE,
                                          FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS,
                                          FILE_ATTRIBUTE_NORMAL, nullptr);
        if (opened == INVALID_HANDLE_VALUE) {
            m_problem = L"cannot open " + file + L": error " + std::to_wstring(GetLastError());
            return Outcome::Unavailable;
        }
        const bool locked = LockFirstByte(opened);
        const DWORD error = GetLastError();
        if (locked) {
            m_file = opened;
            // Found held first: never 0, so that the wait shows.
            if (foundHeld)
                m_waitedMs = std::max(1u, elapsedMs());
            return Outcome::Taken;
        }
        CloseHandle(opened);
        if (error != ERROR_LOCK_VIOLATION) {
            m_problem = L"cannot lock " + file + L": error " + std::to_wstring(error);
            return Outcome::Unavailable;
        }
        m_waitedMs = elapsedMs();
        if (m_waitedMs >= waitMs)
            return Outcome::HeldByAnother;
        Sleep(std::min(kRetryPauseMs, waitMs - m_waitedMs));
    }
}
