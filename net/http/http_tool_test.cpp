#include "net/http/http_tool.h"

#include "platform/kernel32.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

namespace Drelk {
namespace {

// Never used as a handle: every check below refuses the call before WinINet.
const HINTERNET kSomeHandle = reinterpret_cast<HINTERNET>(std::uintptr_t{0x10});
constexpr char kRefusedCodePage[] = "CP_UTF8 and CP_UTF7 can not be used for the CodePage parameter.";

template <typename Exception>
std::string CheckMessage(const std::function<void()>& call) {
    try {
        call();
    } catch (const Exception& e) {
        EXPECT_EQ(e.GetErrorCode(), 0u);
        const auto* text = e.GetMessageText();
        return std::string(text, text + std::char_traits<std::remove_cvref_t<decltype(*text)>>::length(text));
    }
    return "(accepted)";
}

const auto WideCheck = CheckMessage<httpclientexceptionW>;
const auto NarrowCheck = CheckMessage<httpclientexceptionA>;

TEST(HttpTool, Unicode2AnsiConvertsToTheAnsiCodePage) {
    EXPECT_EQ(CHttpToolW::Unicode2Ansi(nullptr, CP_ACP), nullptr);
    EXPECT_STREQ(CHttpToolW::Unicode2Ansi(L"", CP_ACP).get(), "");
    EXPECT_STREQ(CHttpToolW::Unicode2Ansi(L"bytes=0-", CP_ACP).get(), "bytes=0-");
    EXPECT_STREQ(CHttpToolW::Unicode2Ansi(L"文件", CP_ACP).get(), "\xE6\x96\x87\xE4\xBB\xB6");
    EXPECT_EQ(WideCheck([] { CHttpToolW::Unicode2Ansi(L"a", CP_UTF8); }),
              std::string("CHttpToolW::Unicode2Ansi: ") + kRefusedCodePage);
}

TEST(HttpTool, StringHelpers) {
    EXPECT_EQ(CHttpToolW::StringICompare(L"Range", L"rANGE"), 0);
    EXPECT_LT(CHttpToolW::StringICompare(L"accept", L"B"), 0);
    EXPECT_GT(CHttpToolW::StringICompare(L"Rangex", L"range"), 0);
    EXPECT_EQ(CHttpToolW::StringCopy(nullptr), nullptr);
    EXPECT_STREQ(CHttpToolW::StringCopy(L"host/path", 4).get(), L"host");
}

TEST(HttpTool, WideChecksComeBeforeAnyWinInetCall) {
    EXPECT_EQ(WideCheck([] { CHttpToolW::OpenConnection(nullptr, L"h", 80); }),
              "CHttpToolW::OpenConnection: hInternet can not be NULL.");
    EXPECT_EQ(WideCheck([] { CHttpToolW::OpenConnection(kSomeHandle, nullptr, 80); }),
              "CHttpToolW::OpenConnection: szServerAddr can not be NULL.");
    EXPECT_EQ(WideCheck([] { CHttpToolW::OpenConnection(kSomeHandle, L"", 80); }),
              "CHttpToolW::OpenConnection: szServerAddr can not be an empty string.");

    EXPECT_EQ(WideCheck([] { CHttpToolW::OpenRequest(nullptr, L"/", 0, CP_ACP); }),
              "CHttpToolW::OpenRequest: hConnection can not be NULL.");
    EXPECT_EQ(WideCheck([] { CHttpToolW::OpenRequest(kSomeHandle, nullptr, 0, CP_ACP); }),
              "CHttpToolW::OpenRequest: szObjectName can not be NULL.");
    EXPECT_EQ(WideCheck([] { CHttpToolW::OpenRequest(kSomeHandle, L"", 0, CP_ACP); }),
              "CHttpToolW::OpenRequest: szObjectName can not be an empty string.");
    EXPECT_EQ(WideCheck([] { CHttpToolW::OpenRequest(kSomeHandle, L"/", 0, CP_UTF7); }),
              std::string("CHttpToolW::OpenRequest: ") + kRefusedCodePage);

    EXPECT_EQ(WideCheck([] { CHttpToolW::AddHeader(nullptr, L"n", L"v", CP_ACP); }),
              "CHttpToolW::AddHeader: hRequest can not be NULL.");
    EXPECT_EQ(WideCheck([] { CHttpToolW::AddHeader(kSomeHandle, nullptr, L"v", CP_ACP); }),
              "CHttpToolW::AddHeader: szName can not be NULL.");
    EXPECT_EQ(WideCheck([] { CHttpToolW::AddHeader(kSomeHandle, L"n", L"v", CP_UTF8); }),
              std::string("CHttpToolW::AddHeader: ") + kRefusedCodePage);

    EXPECT_EQ(WideCheck([] { CHttpToolW::SendRequest(nullptr, CP_ACP); }),
              "CHttpToolW::SendRequest: hRequest can not be NULL.");
    EXPECT_EQ(WideCheck([] { CHttpToolW::SendRequest(kSomeHandle, CP_UTF8); }),
              std::string("CHttpToolW::SendRequest: ") + kRefusedCodePage);
}

TEST(HttpTool, NarrowChecksRaiseTheNarrowException) {
    EXPECT_EQ(NarrowCheck([] { CHttpToolA::OpenRequest(nullptr, "GET", "/", 0); }),
              "CHttpToolA::OpenRequest: hConnection can not be NULL.");
    EXPECT_EQ(NarrowCheck([] { CHttpToolA::OpenRequest(kSomeHandle, "GET", nullptr, 0); }),
              "CHttpToolA::OpenRequest: szObjectName can not be NULL.");
    EXPECT_EQ(NarrowCheck([] { CHttpToolA::OpenRequest(kSomeHandle, "GET", "", 0); }),
              "CHttpToolA::OpenRequest: szObjectName can not be an empty string.");
    EXPECT_EQ(NarrowCheck([] { CHttpToolA::AddHeader(nullptr, "n", "v"); }),
              "CHttpToolA::AddHeader: hRequest can not be NULL.");
    EXPECT_EQ(NarrowCheck([] { CHttpToolA::AddHeader(kSomeHandle, nullptr, "v"); }),
              "CHttpToolA::AddHeader: szName can not be NULL.");
}

TEST(HttpTool, NarrowFailuresAreRaisedAgainAsWideOnes) {
    try {
        CHttpToolW::ThrowException(httpclientexceptionA("::HttpOpenRequest failed.", 404, 12005));
    } catch (const httpclientexceptionW& e) {
        EXPECT_STREQ(e.GetMessageText(), L"::HttpOpenRequest failed.");
        EXPECT_EQ(e.GetErrorCode(), 404u);
        EXPECT_EQ(e.GetWin32Error(), 12005u);
    }
}

}  // namespace
}  // namespace Drelk
