#include "update/version_service.h"

#include <gtest/gtest.h>

#include <string>

TEST(ClientVersionUrl, ReplacesTheLastComponentAndReportsChanges) {
    std::wstring stored;
    EXPECT_TRUE(SetClientVersionUrl(L"http://h/web/page.html", stored));
    EXPECT_EQ(stored, L"http://h/web/pcversion");
    EXPECT_FALSE(SetClientVersionUrl(L"http://h/web/page.html", stored));
    EXPECT_FALSE(SetClientVersionUrl(L"http://h/web/other.html", stored));  // same derived URL
    EXPECT_TRUE(SetClientVersionUrl(L"no-slash-here", stored));
    EXPECT_EQ(stored, L"no-slash-here");
    EXPECT_TRUE(SetClientVersionUrl(L"http://h/web/", stored));
    EXPECT_EQ(stored, L"http://h/web/pcversion");
}

TEST(PageAnswer, ChangesOnlyWithNewText) {
    CUpdateContext context;
    EXPECT_TRUE(SetPageAnswer(context, L"cdn_url=x|cdn_path=y|cdn_index=z|web_url=w"));
    EXPECT_FALSE(SetPageAnswer(context, L"cdn_url=x|cdn_path=y|cdn_index=z|web_url=w"));
    EXPECT_TRUE(SetPageAnswer(context, L""));
    EXPECT_TRUE(context.pageAnswer.empty());
}

class ParseAnswer : public ::testing::Test {
protected:
    void SetUp() override {
        cdn_url = L"old-url";
        cdn_path = L"old-path/";
        web_url = L"old-web";
        context.indexMap["0000000000"] = "stale";
        context.diffMap["0000000000"] = "stale";
    }
    void TearDown() override {
        cdn_url.clear();
        cdn_path.clear();
        web_url.clear();
    }
    CUpdateContext context;
};

TEST_F(ParseAnswer, ThreeFieldsAssignNothingButClearTheManifests) {
    EXPECT_FALSE(ParseVersionAnswer(L"cdn_url=U|cdn_path=p/|cdn_index=I", L"", context));
    EXPECT_EQ(cdn_url, L"old-url");
    EXPECT_EQ(cdn_path, L"old-path/");
    EXPECT_TRUE(context.indexMap.empty());
    EXPECT_TRUE(context.diffMap.empty());
}

TEST_F(ParseAnswer, KeysAreExactAndOnlyFiveFieldsCount) {
    // No index is named among the first five fields, so the parse fails, but
    // the values it did read are taken.
    EXPECT_FALSE(
        ParseVersionAnswer(L"CDN_URL=X| web_url=Y|cdn_path=p/|web_url=W|other=1|cdn_index=I", L"launcher/", context));
    EXPECT_EQ(cdn_url, L"old-url");
    EXPECT_EQ(cdn_path, L"launcher/p/");
    EXPECT_EQ(web_url, L"W");
}

TEST_F(ParseAnswer, ByteOrderMarkSpoilsTheFirstKey) {
    EXPECT_FALSE(ParseVersionAnswer(L"\uFEFFcdn_url=U|cdn_path=p/|web_url=W|x=y", L"", context));
    EXPECT_EQ(cdn_url, L"old-url");
    EXPECT_EQ(web_url, L"W");
}

TEST_F(ParseAnswer, PathsLeavingTheDataFolderAreRefused) {
    for (const wchar_t* answer :
         {L"cdn_url=U|cdn_path=../../x/|cdn_index=I|web_url=W", L"cdn_url=U|cdn_path=/etc/|cdn_index=I|web_url=W",
          L"cdn_url=U|cdn_path=C:/x/|cdn_index=I|web_url=W"}) {
        EXPECT_FALSE(ParseVersionAnswer(answer, L"", context)) << answer;
        EXPECT_EQ(cdn_path, L"old-path/") << answer;
    }
    const std::wstring tooLong = L"cdn_url=U|cdn_path=" + std::wstring(260, L'a') + L"/|cdn_index=I|web_url=W";
    EXPECT_FALSE(ParseVersionAnswer(tooLong, L"", context));
    EXPECT_EQ(cdn_path, L"old-path/");
}
