#include "state/message_table.h"

#include <cwchar>
#include <utility>

namespace {

struct LanguageTexts {
    const wchar_t* language;
    const wchar_t* fonts[2];
    const wchar_t* entries[MessageTable::kEntryCount];
    const wchar_t* diskShort;
};

// Several entries end with a blank after the dots: they are part of the text.
constexpr LanguageTexts kLanguages[] = {
    {L"chs",
     {L"微软雅黑", L"楷体"},
     {
         L"暂时无法更新，请重启微端",
         L"正在更新客户端，请稍候... ",
         L"正在启动客户端，请稍候...",
         L"无法读取游戏版本信息，请重启微端",
         L"正在检查登陆器版本，请稍候...",
         L"暂时无法下载文件，请稍后再试",
         L"正在下载登陆器更新文件，请稍候...",
         L"更新失败，请重启微端",
         L"正在更新登陆器，请稍候...",
         L"正在检查游戏客户端版本，请稍候...",
         L"获取客户端版本索引失败，请重启微端",
         L"获取登陆器版本索引失败，请重启微端",
         L"无法读取登陆器版本信息，请重启微端",
         L"正在下载客户端更新文件，请稍候... ",
         L"下载完毕",
     },
     L"磁盘空间不足：更新需要 {needed} MiB 可用空间，{folder} 所在磁盘只剩 {free} MiB，请清理磁盘后重启微端"},
    {L"cht",
     {L"微軟正黑", L"標楷體"},
     {
         L"暫時無法更新，請重啟微端",
         L"正在更新用戶端，請稍候... ",
         L"正在啟動用戶端，請稍候...",
         L"無法讀取遊戲版本資訊，請重啟微端",
         L"正在檢查登入器版本，請稍候...",
         L"暫時無法下載檔案，請稍後再試",
         L"正在下載登入器更新檔，請稍候...",
         L"更新失敗，請重啟微端",
         L"正在更新登入器，請稍候... ",
         L"正在檢查遊戲用戶端版本，請稍候...",
         L"獲取用戶端版本索引失敗，請重啟微端",
         L"獲取登入器版本索引失敗，請重啟微端",
         L"無法讀取登入器版本資訊，請重啟微端",
         L"正在下載用戶端更新檔，請稍候... ",
         L"下載完毕",
     },
     L"磁碟空間不足：更新需要 {needed} MiB 可用空間，{folder} 所在磁碟只剩 {free} MiB，請清理磁碟後重啟微端"},
};

}  // namespace

MessageTable g_messages;

void MessageTable::Fill(const std::wstring& language) {
    for (const LanguageTexts& texts : kLanguages) {
        if (language != texts.language)
            continue;
        for (int i = 0; i < 2; ++i)
            fonts[i] = texts.fonts[i];
        for (int i = 0; i < kEntryCount; ++i)
            entries[i] = texts.entries[i];
        diskShort = texts.diskShort;
        return;
    }
}

std::wstring MessageTable::DiskShortText(const std::wstring& neededMiB, const std::wstring& freeMiB,
                                         const std::wstring& folder) const {
    // Put in by hand rather than through a format function: the wide
    // formats read %s differently on Windows, and a folder may hold a %.
    std::wstring text = diskShort;
    for (const auto& [mark, value] : {std::pair<const wchar_t*, const std::wstring&>{L"{needed}", neededMiB},
                                      {L"{free}", freeMiB},
                                      {L"{folder}", folder}}) {
        const std::size_t at = text.find(mark);
        if (at != std::wstring::npos)
            text.replace(at, std::wcslen(mark), value);
    }
    return text;
}
