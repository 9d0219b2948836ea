// Everything the progress dialog shows, shared between the update threads
// and the window thread under one lock.
#pragma once

#include "platform/critical_section.h"
#include "state/launcher_windows.h"

#include <array>
#include <cstdint>
#include <string>

// One file's part of done 1. Files are installed side by side, so each
// keeps what its transfer and its unpacking added: never more than its
// size, so that the whole never passes the total, and a failed file takes
// back exactly its own part.
struct FileShare {
    std::int64_t size = 0;
    std::int64_t credited = 0;
    // Applied to the bytes its decoder produces: the part of the file its
    // transfer has not accounted for, spread over the unpacked size.
    float unpackScale = 1.0f;
};

// A consistent copy of the counters and texts, taken under the lock.
struct ViewProgress {
    std::wstring stageText;
    std::wstring detailText;
    std::wstring errorText;
    std::int64_t totals[2];
    std::int64_t done[2];
};

class CViewBroser {
public:
    enum Text { kStageText = 0, kDetailText = 1 };

    virtual ~CViewBroser() = default;

    void SetWindows(ILauncherWindow* pMainWindow, IWebPageWindow* pWebPageWindow);
    void SetStageText(const std::wstring& text);
    void SetDetailText(const std::wstring& text);
    // Counters are 64-bit: a game file or a whole update may pass 2 GiB.
    void SetTotal(int index, std::int64_t value);
    void SetDone(int index, std::int64_t value);
    // done 1 += count; while a file is being received, what it adds is that
    // file's (SetReceivingFile).
    void AddDone(std::int64_t count);
    // done 1 += count * the file's unpackScale, truncated toward zero.
    void AddScaledDone(FileShare& share, std::uint32_t count);
    // Navigates the web page window, if there is one yet, to the configured page.
    void ReloadWebPage();
    // Starts the client chain under the lock. The chain's threads live in a
    // layer above this one, which hands over how to start them.
    void StartClientUpdate();
    void SetClientUpdateStarter(void (*starter)());

    // The error text is read by the window thread while a worker may set it,
    // so it is kept under the lock like every other value.
    void SetErrorText(const std::wstring& text);
    std::wstring GetErrorText();

    // A file begins: its range follows the last file's (fileStart, fileEnd)
    // and share starts empty.
    void BeginFile(FileShare& share, std::int64_t size);
    // The file whose transfer AddDone counts for, until EndReceivingFile
    // with the same share (one transfer runs at a time).
    void SetReceivingFile(FileShare& share);
    void EndReceivingFile(const FileShare& share);
    // Before decoding: sets the file's unpackScale; false when its transfer
    // already accounts for all of it (nothing to scale).
    bool BeginFileUnpack(FileShare& share);
    // A matching file counts whole; a failed check takes its part back and
    // clears the transfer's counter.
    void CompleteFile(FileShare& share);
    void RollBackFile(FileShare& share);

    void SetFileRange(std::int64_t fileStart, std::int64_t fileEnd);
    std::int64_t GetFileStart();
    std::int64_t GetFileEnd();
    std::int64_t GetDone(int index);
    std::int64_t GetTotal(int index);
    ViewProgress GetProgress();

    void SetProgressDialog(IProgressWindow* pDialog);
    IProgressWindow* GetProgressDialog();
    void SetProgressActive(int active);
    int GetProgressActive();
    ILauncherWindow* GetMainWindow();
    IWebPageWindow* GetWebPageWindow();

    // Held for a few statements at a time; the caller takes it around a
    // sequence of reads and writes that must be seen together.
    CRITICAL_SECTION& Lock() { return m_lock.Native(); }

private:
    void (*m_clientUpdateStarter)() = nullptr;
    platform::CriticalSection m_lock;
    ILauncherWindow* m_mainWindow = nullptr;
    IWebPageWindow* m_webPageWindow = nullptr;
    IProgressWindow* m_progressDialog = nullptr;
    int m_progressActive = 0;
    std::array<std::wstring, 3> m_texts;
    std::int64_t m_totals[2] = {1, 1};
    std::int64_t m_done[2] = {0, 0};
    std::int64_t m_fileStart = 0;
    std::int64_t m_fileEnd = 0;
    FileShare* m_receiving = nullptr;
    std::wstring m_errorText;
};

CViewBroser* GetViewBroser();
