#include "tools/cdn/serve/nginx_config.h"

#include "tests/support/temp_dir.h"
#include "tools/cdn/publish/publish_error.h"

#include <gtest/gtest.h>

#include <functional>
#include <utility>
#include <vector>

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

TEST(NginxConfigTest, HttpsWithTheStudiosCertificateAndAnOptionalRedirect) {
    testsupport::TempDir dir;
    dir.Write("cdn/answers/client.txt", "cdn_url=https://cdn.example/cdn/|cdn_path=C1/");
    dir.Write("tls/chain.pem", "certificate");
    dir.Write("tls/key.pem", "key");
    NginxConfigOptions options;
    options.root = dir.Path() / "cdn";
    options.listen = "443";
    options.serverName = "cdn.example.com";
    options.tlsCertificate = dir.Path() / "tls/chain.pem";
    options.tlsKey = dir.Path() / "tls/key.pem";
    const std::string https = NginxServerConfig(options);
    const std::string tls = dir.Path().generic_string() + "/tls/";
    EXPECT_NE(https.find("    listen 443 ssl;\n    server_name cdn.example.com;\n\n    # HTTPS"), std::string::npos)
        << https;
    EXPECT_NE(
        https.find("    ssl_certificate \"" + tls + "chain.pem\";\n    ssl_certificate_key \"" + tls + "key.pem\";\n"),
        std::string::npos)
        << https;
    // One server block: nothing answers plain HTTP unless asked.
    EXPECT_EQ(https.find("server {"), https.rfind("server {"));

    // "ssl" is not doubled; the redirect names a port other than 443.
    options.listen = "127.0.0.1:8443 ssl";
    options.redirectHttp = "127.0.0.1:8080";
    const std::string redirected = NginxServerConfig(options);
    EXPECT_NE(redirected.find("    listen 127.0.0.1:8443 ssl;\n"), std::string::npos) << redirected;
    EXPECT_NE(redirected.find("server {\n    listen 127.0.0.1:8080;\n    server_name cdn.example.com;\n    return 301 "
                              "https://$host:8443$request_uri;\n}\n"),
              std::string::npos)
        << redirected;
    options.listen = "443";
    EXPECT_NE(NginxServerConfig(options).find("return 301 https://$host$request_uri;"), std::string::npos);

    // Half of the options, a missing file, a redirect without HTTPS.
    const std::vector<std::pair<std::function<void(NginxConfigOptions&)>, std::string>> refusals = {
        {[](NginxConfigOptions& o) { o.tlsKey.reset(); }, "--tls-certificate and --tls-key go together"},
        {[&](NginxConfigOptions& o) { o.tlsKey = dir.Path() / "tls/none.pem"; }, "none.pem is not a file"},
        {[&](NginxConfigOptions& o) { o.tlsCertificate = dir.Path() / "tls"; }, "is not a file"},
        {[](NginxConfigOptions& o) { o.tlsCertificate.reset(), o.tlsKey.reset(); }, "--redirect-http needs"},
        {[](NginxConfigOptions& o) { o.redirectHttp = "80; evil"; }, "--redirect-http needs"},
    };
    for (const auto& [edit, problem] : refusals) {
        NginxConfigOptions edited = options;
        edit(edited);
        EXPECT_NE(ProblemOf(edited).find(problem), std::string::npos) << problem << ": " << ProblemOf(edited);
    }
}
