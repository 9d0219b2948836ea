#include "tools/cdn/publish/answer_urls.h"

#include "tools/cdn/publish/publish_error.h"

#include <gtest/gtest.h>

namespace {

std::string ProblemOf(void (*check)(std::string_view), std::string_view url) {
    try {
        check(url);
    } catch (const PublishError& failure) {
        return failure.what();
    }
    return "";
}

void CheckBase(std::string_view url) {
    CdnBaseUrl(url);
}

TEST(AnswerUrlsTest, BaseUrlsTheLauncherCanFetchEndWithASlash) {
    EXPECT_EQ(CdnBaseUrl("https://cdn.example.com/cdn/"), "https://cdn.example.com/cdn/");
    EXPECT_EQ(CdnBaseUrl("HTTP://10.0.0.1:8080/q"), "HTTP://10.0.0.1:8080/q/");
    EXPECT_EQ(CdnBaseUrl("http://[::1]:81"), "http://[::1]:81/");
    EXPECT_EQ(CdnBaseUrl("{server}/cdn/"), "{server}/cdn/");
    EXPECT_NO_THROW(CheckWebUrl("https://www.example.com/launcher/index.html?lang=chs#news"));
    EXPECT_NO_THROW(CheckWebUrl("{server}/web/index.html"));
}

TEST(AnswerUrlsTest, AnythingElseIsRefusedNamingTheOption) {
    for (const char* url :
         {"", "cdn.example.com/cdn/", "/cdn/", "ftp://h/cdn/", "http://", "http:///cdn/", "https:/h/", "{server}cdn/",
          "http://h/my cdn/", "http://h/\t", "http://h/\"x\"", "http://h/cdn/?v=2", "http://h/cdn/#top"}) {
        const std::string problem = ProblemOf(CheckBase, url);
        EXPECT_EQ(problem.rfind("--base-url \"" + std::string(url) + "\": ", 0), 0u) << url << ": " << problem;
    }
    for (const char* url : {"index.html", "file:///srv/page.html", "http://", "https://h/a b.html"}) {
        const std::string problem = ProblemOf(CheckWebUrl, url);
        EXPECT_EQ(problem.rfind("--web-url \"" + std::string(url) + "\": ", 0), 0u) << url << ": " << problem;
    }
}

TEST(AnswerUrlsTest, PlaceholderWarningNamesTheOptionsStillNeeded) {
    const std::string both = PlaceholderWarning("{server}/cdn/", "{server}/web/index.html").value_or("");
    EXPECT_NE(both.find("\"quillmoor-cdn serve\""), std::string::npos) << both;
    EXPECT_NE(both.find("--base-url and --web-url"), std::string::npos) << both;
    EXPECT_NE(PlaceholderWarning("{server}/cdn/", "https://w/").value_or("").find("give --base-url "),
              std::string::npos);
    EXPECT_NE(PlaceholderWarning("https://c/", "{server}/web/").value_or("").find("give --web-url "),
              std::string::npos);
    EXPECT_FALSE(PlaceholderWarning("https://c/cdn/", "https://w/index.html").has_value());
}

}  // namespace
