// One launcher per data folder: a lock on launcher.lock in the data folder,
// held for the whole run. The system ends it with the process, so a launcher
// that crashed or was killed never keeps the next one out. A launcher that
// finds it held leaves the folder to the one holding it.
#pragma once

#include "platform/win_types.h"

#include <string>

class DataFolderLock {
public:
    enum class Outcome {
        Taken,
        HeldByAnother,
        // The lock file cannot be opened (the folder is unusable): nothing
        // guards the folder, and whatever needs it will fail on its own.
        Unavailable,
    };

    DataFolderLock() = default;
    ~DataFolderLock();
    DataFolderLock(const DataFolderLock&) = delete;
    DataFolderLock& operator=(const DataFolderLock&) = delete;

    // Takes the lock of `dataFolder`, made when missing. While another
    // launcher holds it, it is tried again until `waitMs` have passed; 0
    // tries once.
    Outcome Take(const std::wstring& dataFolder, unsigned waitMs);
    void Release();
    bool Held() const { return m_file != INVALID_HANDLE_VALUE; }

    // How long the last Take waited for another launcher to end.
    unsigned WaitedMs() const { return m_waitedMs; }
    // Why the last Take was Unavailable.
    const std::wstring& Problem() const { return m_problem; }

private:
    HANDLE m_file = INVALID_HANDLE_VALUE;
    unsigned m_waitedMs = 0;
    std::wstring m_problem;
};
