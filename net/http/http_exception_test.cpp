#include "net/http/http_exception.h"

#include <gtest/gtest.h>

namespace Drelk {
namespace {

TEST(HttpException, WideTwinsNameTheirClassInWhat) {
    const errmsg_exceptionW plain(L"text");
    const httpclientexceptionW client(L"text", 1, 2);
    EXPECT_STREQ(plain.what(), "errmsg_exceptionW");
    EXPECT_STREQ(client.what(), "httpclientexceptionW");
    // Through the base, the derived class still answers.
    const std::exception& base = client;
    EXPECT_STREQ(base.what(), "httpclientexceptionW");
}

TEST(HttpException, NarrowTwinsAnswerWhatWithTheirMessage) {
    const httpclientexceptionA client("narrow text", 404, 12029);
    EXPECT_STREQ(client.what(), "narrow text");
    EXPECT_EQ(client.GetErrorCode(), 404u);
    EXPECT_EQ(client.GetWin32Error(), 12029u);
    EXPECT_STREQ(errmsg_exceptionA().what(), "NULL");
}

TEST(HttpException, MissingMessageReadsNull) {
    errmsg_exceptionW e;
    EXPECT_STREQ(e.GetMessageText(), L"NULL");
    e.SetMessageText(L"set");
    EXPECT_STREQ(e.GetMessageText(), L"set");
    e.SetMessageText(nullptr);
    EXPECT_STREQ(e.GetMessageText(), L"NULL");
}

TEST(HttpException, CodeAloneTakesTheCodesText) {
    const httpclientexceptionW e(107);
    EXPECT_STREQ(e.GetMessageText(), L"The port number is not valid.");
    EXPECT_EQ(e.GetErrorCode(), 107u);
    EXPECT_EQ(e.GetWin32Error(), 0u);
}

TEST(HttpException, CopyKeepsMessageCodeAndWin32ErrorAndIsIndependent) {
    httpclientexceptionW original(L"first", 406, 12029);
    httpclientexceptionW copy = original;
    original.SetMessageText(L"second");
    EXPECT_STREQ(copy.GetMessageText(), L"first");
    EXPECT_EQ(copy.GetErrorCode(), 406u);
    EXPECT_EQ(copy.GetWin32Error(), 12029u);
    EXPECT_STREQ(original.GetMessageText(), L"second");
}

}  // namespace
}  // namespace Drelk
