#include "net/web_url.h"

#include "platform/text.h"

#include <gtest/gtest.h>

TEST(WebUrl, AbsoluteHttpAndHttpsWithAHostPass) {
    for (const wchar_t* url :
         {L"http://example.com", L"https://example.com/page.html?x=1#top", L"HTTP://127.0.0.1:8080/", L"http://h"})
        EXPECT_TRUE(IsWebUrl(url)) << platform::ToUtf8(url);
}

TEST(WebUrl, EverythingElseIsRefused) {
    for (const wchar_t* url :
         {L"", L"http://", L"https:///path", L"http://:80/x", L"javascript:alert(1)", L"javascript://h/%0aalert(1)",
          L"file:///etc/passwd", L"--help", L"-e", L"/home/player/.local/share/Quillmoor/C1/qm.exe",
          L"C:\\Games\\qm.exe", L"example.com/page", L"ftp://example.com/", L"http:example.com",
          L"http://exa mple.com/", L"http://example.com/\npage", L" http://example.com/"})
        EXPECT_FALSE(IsWebUrl(url)) << platform::ToUtf8(url);
}
