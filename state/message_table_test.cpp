#include "state/message_table.h"

#include <gtest/gtest.h>

TEST(MessageTable, SimplifiedAndTraditionalTexts) {
    MessageTable chs;
    chs.Fill(L"chs");
    EXPECT_EQ(chs.fonts[0], L"微软雅黑");
    EXPECT_EQ(chs.fonts[1], L"楷体");
    EXPECT_EQ(chs.entries[0], L"暂时无法更新，请重启微端");
    EXPECT_EQ(chs.entries[13], L"正在下载客户端更新文件，请稍候... ");
    EXPECT_EQ(chs.entries[14], L"下载完毕");

    MessageTable cht;
    cht.Fill(L"cht");
    EXPECT_EQ(cht.fonts[0], L"微軟正黑");
    EXPECT_EQ(cht.fonts[1], L"標楷體");
    EXPECT_EQ(cht.entries[11], L"獲取登入器版本索引失敗，請重啟微端");
    // The traditional table keeps this simplified last character.
    EXPECT_EQ(cht.entries[14], L"下載完毕");
    for (int i = 0; i < MessageTable::kEntryCount; ++i) {
        EXPECT_FALSE(chs.entries[i].empty()) << i;
        EXPECT_NE(chs.entries[i], cht.entries[i]) << i;
    }
}

TEST(MessageTable, TrailingBlanksAreExact) {
    MessageTable chs;
    chs.Fill(L"chs");
    MessageTable cht;
    cht.Fill(L"cht");
    auto endsWithBlank = [](const std::wstring& text) { return !text.empty() && text.back() == L' '; };
    for (int entry : {1, 13}) {
        EXPECT_TRUE(endsWithBlank(chs.entries[entry])) << entry;
        EXPECT_TRUE(endsWithBlank(cht.entries[entry])) << entry;
    }
    // Entry 8 ends with a blank only in the traditional table.
    EXPECT_EQ(chs.entries[8], L"正在更新登陆器，请稍候...");
    EXPECT_EQ(cht.entries[8], L"正在更新登入器，請稍候... ");
    for (int entry : {0, 2, 3, 4, 5, 6, 7, 9, 10, 11, 12, 14})
        EXPECT_FALSE(endsWithBlank(chs.entries[entry])) << entry;
}

TEST(MessageTable, LanguageMustMatchExactly) {
    for (const wchar_t* language : {L"CHS", L"", L"chs ", L"zh"}) {
        MessageTable table;
        table.Fill(language);
        EXPECT_TRUE(table.fonts[0].empty() && table.fonts[1].empty()) << language;
        for (const std::wstring& entry : table.entries)
            EXPECT_TRUE(entry.empty()) << language;
    }
}

TEST(MessageTable, ShortDiskTextNamesTheFiguresAndTheFolderInBothLanguages) {
    MessageTable chs;
    chs.Fill(L"chs");
    // A folder may hold what a format function would read as a directive.
    const std::wstring folder = L"C:\\Users\\100%s\\AppData\\Local\\Quillmoor";
    EXPECT_EQ(chs.DiskShortText(L"2050", L"17", folder),
              L"磁盘空间不足：更新需要 2050 MiB 可用空间，C:\\Users\\100%s\\AppData\\Local\\Quillmoor "
              L"所在磁盘只剩 17 MiB，请清理磁盘后重启微端");
    MessageTable cht;
    cht.Fill(L"cht");
    EXPECT_EQ(cht.DiskShortText(L"2050", L"17", L"D:\\{free}"),
              L"磁碟空間不足：更新需要 2050 MiB 可用空間，D:\\{free} 所在磁碟只剩 17 MiB，請清理磁碟後重啟微端");
    MessageTable none;
    none.Fill(L"CHS");
    EXPECT_EQ(none.DiskShortText(L"2050", L"17", folder), L"");
}
