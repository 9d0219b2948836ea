#include "app/game_launch.h"

#include "app/copied_folder.h"
#include "platform/kernel32.h"
#include "platform/shell32.h"
#include "platform/text.h"
#include "state/diag_log.h"
#include "state/launcher_settings.h"

#include <cwctype>
#include <filesystem>
#include <vector>

namespace {

constexpr std::size_t kGameDataPieceLength = 999;
CopyRetryPolicy g_copyRetry;
const wchar_t kTopic[] = L"process";

// Starts a program by its bare name from the current directory; a failure is
// not reported, the caller goes on as if it had started.
void StartProcess(const wchar_t* program, std::wstring commandLine) {
    STARTUPINFOW startup{};
    startup.cb = sizeof(STARTUPINFOW);
    PROCESS_INFORMATION process{};
    std::vector<wchar_t> line(commandLine.begin(), commandLine.end());
    line.push_back(L'\0');
    const std::wstring started = std::wstring(program) + L" with \"" + commandLine + L"\"";
    if (CreateProcessW(program, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
        DiagNote(kTopic, L"started " + started);
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    } else {
        DiagProblem(kTopic, L"cannot start " + started + L": error " + std::to_wstring(GetLastError()));
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

bool IsLauncherFileName(const std::wstring& name) {
    const std::wstring expected = L"launcher.exe";
    if (name.size() != expected.size())
        return false;
    for (std::size_t i = 0; i < name.size(); ++i) {
        if (std::towlower(name[i]) != static_cast<wint_t>(expected[i]))
            return false;
    }
    return true;
}

// Why a command line must not make this process copy its folder: any stray
// argument takes the copy-and-restart role, and a copy aimed anywhere but at
// an installed launcher would spread the start folder over the player's disk.
std::wstring CopyRefusal(const std::wstring& destinationFolder) {
    namespace fs = std::filesystem;
    const std::wstring& path = g_settings.launcherPath;
    const std::wstring quoted = Quoted(path);
    if (destinationFolder.empty())
        return L"no folder in the launcher path " + quoted + L"; the update cannot be installed.";
    std::error_code error;
    if (!IsLauncherFileName(PathFindFileNameW(path.c_str())) || !fs::is_regular_file(platform::NativePath(path), error))
        return quoted + L" is not an installed Launcher.exe; nothing was copied. Start Launcher.exe without arguments.";
    const std::wstring ownLauncher = g_settings.startDirectory + L"\\Launcher.exe";
    if (!fs::is_regular_file(platform::NativePath(ownLauncher), error))
        return L"this folder holds no Launcher.exe to install; nothing was copied.";
    if (fs::equivalent(platform::NativePath(destinationFolder), platform::NativePath(g_settings.startDirectory), error))
        return quoted + L" is this launcher's own folder; nothing was copied. Start Launcher.exe without arguments.";
    return std::wstring();
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

std::wstring CopyAndRestart() {
    std::vector<wchar_t> destination(g_settings.launcherPath.begin(), g_settings.launcherPath.end());
    destination.push_back(L'\0');
    if (!PathRemoveFileSpecW(destination.data()))
        destination[0] = L'\0';
    const std::wstring destinationFolder = destination.data();
    // The caller reports a refusal, to the player and the diagnostic log.
    if (std::wstring refusal = CopyRefusal(destinationFolder); !refusal.empty())
        return refusal;
    DiagNote(kTopic, L"copy-and-restart: copying " + g_settings.startDirectory + L" over " + destinationFolder);
    const std::vector<wchar_t> from = FileOperationList(g_settings.startDirectory + L"\\*");
    const std::vector<wchar_t> to = FileOperationList(destinationFolder);

    // The old launcher may still be running and hold its files: retry with a
    // pause long enough to outlast its shutdown, but not forever.
    bool copied = false;
    int attempts = 0;
    for (unsigned waited = 0;; waited += g_copyRetry.pauseMs) {
        ++attempts;
        SHFILEOPSTRUCTW operation{};
        operation.wFunc = FO_COPY;
        operation.pFrom = from.data();
        operation.pTo = to.data();
        operation.fFlags = FOF_SILENT | FOF_NOCONFIRMATION | FOF_NOCONFIRMMKDIR;
        if (SHFileOperationW(&operation) == 0) {
            const std::wstring notCopied = FirstFileNotCopied(g_settings.startDirectory, destinationFolder);
            if (notCopied.empty()) {
                copied = true;
                break;
            }
            DiagProblem(kTopic, L"copy-and-restart: attempt " + std::to_wstring(attempts) + L" said done, but " +
                                    notCopied + L" is not the new launcher's");
        }
        if (waited >= g_copyRetry.totalMs)
            break;
        Sleep(g_copyRetry.pauseMs);
    }
    if (!copied) {
        DiagProblem(kTopic, L"copy-and-restart: the copy failed " + std::to_wstring(attempts) + L" times");
        return L"the new launcher could not be copied to " + Quoted(destinationFolder) +
               L"; close every launcher and start it again.";
    }
    DiagNote(kTopic, L"copy-and-restart: copied at attempt " + std::to_wstring(attempts));
    SetCurrentDirectoryW(destinationFolder.c_str());
    StartProcess(L"Launcher.exe", L" \"N:\"");
    return std::wstring();
}
