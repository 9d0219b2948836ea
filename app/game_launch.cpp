#include "app/game_launch.h"

#include "platform/kernel32.h"
#include "platform/shell32.h"
#include "platform/text.h"
#include "state/launcher_settings.h"

#include <cstdio>
#include <vector>

namespace {

constexpr std::size_t kGameDataPieceLength = 999;
CopyRetryPolicy g_copyRetry;

// Starts a program by its bare name from the current directory; a failure is
// not reported, the caller goes on as if it had started.
void StartProcess(const wchar_t* program, std::wstring commandLine) {
    STARTUPINFOW startup{};
    startup.cb = sizeof(STARTUPINFOW);
    PROCESS_INFORMATION process{};
    std::vector<wchar_t> line(commandLine.begin(), commandLine.end());
    line.push_back(L'\0');
    if (CreateProcessW(program, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    }
}

std::wstring Quoted(const std::wstring& text) {
    return L"\"" + text + L"\"";
}

// A list of one name for SHFileOperationW: the name and two terminators.
std::vector<wchar_t> FileOperationList(const std::wstring& name) {
    std::vector<wchar_t> list(name.begin(), name.end());
    list.push_back(L'\0');
    list.push_back(L'\0');
    return list;
}

}  // namespace

std::wstring BuildGameDataArgs(const std::wstring& text) {
    std::wstring args = L"MODE2 \"";
    std::size_t pieceLength = 0;
    for (const wchar_t ch : text) {
        if (pieceLength >= kGameDataPieceLength) {
            args += L"\" \"";
            pieceLength = 0;
        }
        if (ch == L'"')
            args += L"\\\"";
        else
            args += ch;
        ++pieceLength;
    }
    args += L'"';
    return args;
}

void StartGame(const std::wstring& gameArgs) {
    StartProcess(L"qm.exe", gameArgs + L" " + Quoted(g_settings.launcherPath));
}

void StartNewLauncher() {
    StartProcess(L"Launcher.exe", L" " + Quoted(g_settings.launcherPath));
}

void SetCopyRetryPolicy(const CopyRetryPolicy& policy) {
    g_copyRetry = policy;
}

bool CopyAndRestart() {
    std::vector<wchar_t> destination(g_settings.launcherPath.begin(), g_settings.launcherPath.end());
    destination.push_back(L'\0');
    if (!PathRemoveFileSpecW(destination.data()) || destination[0] == L'\0') {
        // Without a folder there is no installed launcher to replace.
        std::fprintf(stderr,
                     "Quillmoor launcher: no folder in the launcher path \"%s\"; the update cannot be installed.\n",
                     platform::ToUtf8(g_settings.launcherPath).c_str());
        return false;
    }
    const std::wstring destinationFolder = destination.data();
    const std::vector<wchar_t> from = FileOperationList(g_settings.startDirectory + L"\\*");
    const std::vector<wchar_t> to = FileOperationList(destinationFolder);

    // The old launcher may still be running and hold its files: retry with a
    // pause long enough to outlast its shutdown, but not forever.
    bool copied = false;
    for (unsigned waited = 0;; waited += g_copyRetry.pauseMs) {
        SHFILEOPSTRUCTW operation{};
        operation.wFunc = FO_COPY;
        operation.pFrom = from.data();
        operation.pTo = to.data();
        operation.fFlags = FOF_SILENT | FOF_NOCONFIRMATION | FOF_NOCONFIRMMKDIR;
        if (SHFileOperationW(&operation) == 0) {
            copied = true;
            break;
        }
        if (waited >= g_copyRetry.totalMs)
            break;
        Sleep(g_copyRetry.pauseMs);
    }
    if (!copied) {
        std::fprintf(stderr,
                     "Quillmoor launcher: the new launcher could not be copied to \"%s\"; "
                     "close every launcher and start it again.\n",
                     platform::ToUtf8(destinationFolder).c_str());
        return false;
    }
    SetCurrentDirectoryW(destinationFolder.c_str());
    StartProcess(L"Launcher.exe", L" \"N:\"");
    return true;
}
