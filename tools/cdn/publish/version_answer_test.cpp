#include "tools/cdn/publish/version_answer.h"

#include "tools/cdn/publish/publish_error.h"

#include <gtest/gtest.h>

namespace {

VersionAnswer SomeAnswer() {
    return {"http://h/cdn/", "C1/", "idx", "", "http://h/web/index.html"};
}

TEST(VersionAnswerTest, FieldsInOrderWithoutLineEnd) {
    EXPECT_EQ(AnswerText(SomeAnswer()),
              "cdn_url=http://h/cdn/|cdn_path=C1/|cdn_index=idx|web_url=http://h/web/index.html");
    VersionAnswer withDiff = SomeAnswer();
    withDiff.cdnDiffIndex = "old";
    EXPECT_EQ(AnswerText(withDiff),
              "cdn_url=http://h/cdn/|cdn_path=C1/|cdn_index=idx|cdn_diff_index=old|web_url=http://h/web/index.html");
}

TEST(VersionAnswerTest, RefusesValuesTheLauncherWouldMisread) {
    VersionAnswer answer = SomeAnswer();
    answer.cdnUrl = "http://h/cdn?x=1/";
    EXPECT_THROW(AnswerText(answer), PublishError);
    answer = SomeAnswer();
    answer.webUrl = "http://h/a|b";
    EXPECT_THROW(AnswerText(answer), PublishError);
    answer = SomeAnswer();
    answer.webUrl = "";
    EXPECT_THROW(AnswerText(answer), PublishError);
    answer = SomeAnswer();
    answer.webUrl = "http://h/\n";
    EXPECT_THROW(AnswerText(answer), PublishError);
}

TEST(VersionAnswerTest, RefusesAnswersBeyond1024Bytes) {
    VersionAnswer answer = SomeAnswer();
    answer.webUrl = "http://h/" + std::string(900, 'w');
    EXPECT_NO_THROW(AnswerText(answer));
    // The same length with placeholders leaves no room for the server's address.
    answer.cdnUrl = std::string(kServerPlaceholder) + "/cdn/";
    answer.webUrl = std::string(kServerPlaceholder) + "/" + std::string(900, 'w');
    EXPECT_THROW(AnswerText(answer), PublishError);
}

TEST(VersionAnswerTest, FieldsSplitAsTheLauncherSplitsThem) {
    const auto fields = AnswerFields("||cdn_url=U||cdn_index=a=b|CDN_PATH=x|novalue|web_url=W|cdn_path=late");
    EXPECT_EQ(fields.at("cdn_url"), "U");
    EXPECT_EQ(fields.at("cdn_index"), "a");
    EXPECT_EQ(fields.at("CDN_PATH"), "x");
    EXPECT_EQ(fields.at("web_url"), "W");
    // The sixth field is never read.
    EXPECT_EQ(fields.count("cdn_path"), 0u);
    EXPECT_EQ(fields.count("novalue"), 0u);
}

TEST(VersionAnswerTest, FillsEveryPlaceholder) {
    EXPECT_EQ(FillServerPlaceholder("cdn_url={server}/cdn/|web_url={server}/web/", "http://127.0.0.1:80"),
              "cdn_url=http://127.0.0.1:80/cdn/|web_url=http://127.0.0.1:80/web/");
    EXPECT_EQ(FillServerPlaceholder("no placeholder", "http://x"), "no placeholder");
}

}  // namespace
