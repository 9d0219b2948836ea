#include "tools/cdn/nginx_config.h"

#include "tests/support/temp_dir.h"
#include "tools/cdn/publish_error.h"

#include <gtest/gtest.h>

namespace {

namespace fs = std::filesystem;

std::string ProblemOf(const NginxConfigOptions& options) {
    try {
        NginxServerConfig(options);
    } catch (const PublishError& failure) {
        return failure.what();
    }
    return "";
}

TEST(NginxConfigTest, RoutesOfServeWithAbsoluteQuotedPathsAndThePageOnlyWhenGiven) {
    testsupport::TempDir dir;
    dir.Write("my cdn/answers/client.txt", "cdn_url=https://cdn.example/cdn/|cdn_path=C1/");
    // A release document names files, and a file may be named "{server}".
    dir.Write("my cdn/answers/client.release", "body 00 1 C1/{server}\n");
    dir.Write("page/index.html", "<html></html>");
    const testsupport::CurrentDirectory there(dir.Path());
    NginxConfigOptions options;
    options.root = "my cdn/../my cdn/";
    options.listen = "127.0.0.1:8080";
    options.serverName = "cdn.example.com";
    const std::string root = (dir.Path() / "my cdn").generic_string();
    const std::string plain = NginxServerConfig(options);
    const std::vector<std::string> parts = {
        "    listen 127.0.0.1:8080;\n    server_name cdn.example.com;\n",
        "location ~ \"^/cdn/((?:index|diff|file|tree)/.+)$\" {\n        alias \"" + root + "/$1\";\n",
        "add_header Cache-Control \"public, max-age=31536000, immutable\";",
        "location = /api/launcherversionnew {",
        "root \"" + root + "\";\n        try_files /answers/client.txt =404;",
        "try_files /answers/launcher-$arg_platform.txt =404;",
        "add_header Cache-Control \"no-cache\";",
        "gzip off;",
        "location ~ \"^/api/launcherversionnew(?<release>\\.release(?:\\.sig)?)$\" {",
        "try_files /answers/launcher-$arg_platform$release =404;",
        "location ~ \"^/web/pcversion(?<release>\\.release(?:\\.sig)?)$\" {",
        "root \"" + root + "\";\n        try_files /answers/client$release =404;",
    };
    for (const std::string& part : parts) {
        EXPECT_NE(plain.find(part), std::string::npos) << part << "\n" << plain;
    }
    EXPECT_EQ(plain.find("location /web/"), std::string::npos);
    options.webDir = "page";
    const std::string withPage = NginxServerConfig(options);
    EXPECT_NE(withPage.find("location /web/ {\n        alias \"" + (dir.Path() / "page").generic_string() + "/\";"),
              std::string::npos)
        << withPage;
    EXPECT_FALSE(NginxConfigWarning(options).has_value());
}

TEST(NginxConfigTest, RefusesWhatNginxWouldServeWrongly) {
    testsupport::TempDir dir;
    dir.Write("cdn/answers/client.txt", "cdn_url={server}/cdn/|cdn_path=C1/");
    dir.Write("$HOME/answers/client.txt", "x");
    dir.Write("empty/.keep", "");
    NginxConfigOptions options;
    options.root = dir.Path() / "cdn";
    EXPECT_NE(ProblemOf(options).find("client.txt holds \"{server}\""), std::string::npos) << ProblemOf(options);
    options.root = dir.Path() / "$HOME";
    EXPECT_NE(ProblemOf(options).find("nginx would misread"), std::string::npos) << ProblemOf(options);
    options.root = dir.Path() / "nowhere";
    EXPECT_NE(ProblemOf(options).find("is not a folder"), std::string::npos) << ProblemOf(options);
    options.root = dir.Path() / "empty";
    options.listen = "80; include /etc/passwd";
    EXPECT_NE(ProblemOf(options).find("--listen"), std::string::npos) << ProblemOf(options);
    options.listen = "443 ssl";
    EXPECT_EQ(ProblemOf(options), "");
    options.serverName = "a b";
    EXPECT_NE(ProblemOf(options).find("--server-name"), std::string::npos) << ProblemOf(options);
    EXPECT_NE(NginxConfigWarning(options).value_or("").find("holds no publish yet"), std::string::npos);
}

}  // namespace
