// The launcher's texts: fifteen messages, the short-disk text and two font
// family names, filled once at start-up for the configured language and only
// read afterwards.
#pragma once

#include <array>
#include <string>

struct MessageTable {
    static constexpr int kEntryCount = 15;

    std::array<std::wstring, 2> fonts;
    std::array<std::wstring, kEntryCount> entries;
    // Has {needed}, {free} and {folder} where the figures go.
    std::wstring diskShort;

    // "chs" or "cht" (exact, case-sensitive); any other language leaves
    // every text empty.
    void Fill(const std::wstring& language);

    // diskShort with the figures (MiB, as text) and the folder put in; empty
    // when the language has no texts.
    std::wstring DiskShortText(const std::wstring& neededMiB, const std::wstring& freeMiB,
                               const std::wstring& folder) const;
};

// The entries by what they say; the numbers are the table's own.
namespace message {
inline constexpr int kUpdateFailedRestart = 0;          // "暂时无法更新，请重启微端"
inline constexpr int kUpdatingClient = 1;               // "正在更新客户端，请稍候... "
inline constexpr int kStartingClient = 2;               // "正在启动客户端，请稍候..."
inline constexpr int kClientListUnreadable = 3;         // "无法读取游戏版本信息，请重启微端"
inline constexpr int kCheckingLauncher = 4;             // "正在检查登陆器版本，请稍候..."
inline constexpr int kDownloadFailedTryLater = 5;       // "暂时无法下载文件，请稍后再试"
inline constexpr int kDownloadingLauncher = 6;          // "正在下载登陆器更新文件，请稍候..."
inline constexpr int kUpdateFailed = 7;                 // "更新失败，请重启微端"
inline constexpr int kUpdatingLauncher = 8;             // "正在更新登陆器，请稍候..."
inline constexpr int kCheckingClient = 9;               // "正在检查游戏客户端版本，请稍候..."
inline constexpr int kClientVersionUnavailable = 10;    // "获取客户端版本索引失败，请重启微端"
inline constexpr int kLauncherVersionUnavailable = 11;  // "获取登陆器版本索引失败，请重启微端"
inline constexpr int kLauncherListUnreadable = 12;      // "无法读取登陆器版本信息，请重启微端"
inline constexpr int kDownloadingClient = 13;           // "正在下载客户端更新文件，请稍候... "
inline constexpr int kDownloadFinished = 14;            // "下载完毕"
}  // namespace message

extern MessageTable g_messages;
