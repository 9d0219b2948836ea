#include "tools/cdn/tool_command_line.h"

#include <gtest/gtest.h>

namespace {

using Args = std::vector<std::string>;

std::string UsageErrorOf(const Args& args) {
    try {
        ParseToolCommand(args);
    } catch (const UsageError& failure) {
        return failure.what();
    }
    return "no error";
}

TEST(ToolCommandLineTest, PublishWithDefaults) {
    const ToolCommand command =
        ParseToolCommand({"publish", "--launcher", "l", "--client=c", "--platform", "pv", "--out", "o"});
    const auto* options = std::get_if<PublishOptions>(&command);
    ASSERT_TRUE(options);
    EXPECT_EQ(options->launcherDir, "l");
    EXPECT_EQ(options->clientDir, "c");
    EXPECT_EQ(options->platformCode, "pv");
    EXPECT_EQ(options->outDir, "o");
    EXPECT_FALSE(options->settingsFile);
    EXPECT_FALSE(options->previousDir);
    EXPECT_EQ(options->launcherVersion, "L1");
    EXPECT_EQ(options->clientVersion, "C1");
    EXPECT_EQ(options->baseUrl, "{server}/cdn/");
}

TEST(ToolCommandLineTest, PublishWithEveryOption) {
    const ToolCommand command = ParseToolCommand({"publish",
                                                  "--launcher",
                                                  "l",
                                                  "--client",
                                                  "c",
                                                  "--platform",
                                                  "pv",
                                                  "--out",
                                                  "o",
                                                  "--settings",
                                                  "s.ini",
                                                  "--launcher-version",
                                                  "L2",
                                                  "--client-version",
                                                  "C3",
                                                  "--base-url",
                                                  "http://b/",
                                                  "--web-url=http://w/",
                                                  "--previous",
                                                  "old",
                                                  "--jobs",
                                                  "3",
                                                  "--mirror",
                                                  "http://m1/",
                                                  "--mirror=http://m2/"});
    const auto& options = std::get<PublishOptions>(command);
    EXPECT_EQ(*options.settingsFile, "s.ini");
    EXPECT_EQ(*options.previousDir, "old");
    EXPECT_EQ(options.launcherVersion, "L2");
    EXPECT_EQ(options.clientVersion, "C3");
    EXPECT_EQ(options.baseUrl, "http://b/");
    EXPECT_EQ(options.webUrl, "http://w/");
    EXPECT_EQ(options.jobs, 3u);
    EXPECT_EQ(options.mirrors, (std::vector<std::string>{"http://m1/", "http://m2/"}));
}

TEST(ToolCommandLineTest, Serve) {
    const auto serve = std::get<ServeCommand>(ParseToolCommand(
        {"serve", "--root", "r", "--port", "8080", "--host", "0.0.0.0", "--web", "w", "--port-file", "p"}));
    EXPECT_EQ(serve.server.root, "r");
    EXPECT_EQ(serve.server.port, 8080);
    EXPECT_EQ(serve.server.host, "0.0.0.0");
    EXPECT_EQ(*serve.server.webDir, "w");
    EXPECT_EQ(*serve.portFile, "p");
    const auto defaults = std::get<ServeCommand>(ParseToolCommand({"serve", "--root", "r"}));
    EXPECT_EQ(defaults.server.port, 0);
    EXPECT_EQ(defaults.server.host, "127.0.0.1");
    EXPECT_FALSE(defaults.server.webDir);
}

TEST(ToolCommandLineTest, NginxConf) {
    const auto conf = std::get<NginxConfigOptions>(ParseToolCommand(
        {"nginx-conf", "--root", "r", "--listen", "8080", "--server-name", "cdn.example", "--web", "w"}));
    EXPECT_EQ(conf.root, "r");
    EXPECT_EQ(conf.listen, "8080");
    EXPECT_EQ(conf.serverName, "cdn.example");
    EXPECT_EQ(*conf.webDir, "w");
    const auto defaults = std::get<NginxConfigOptions>(ParseToolCommand({"nginx-conf", "--root", "r"}));
    EXPECT_EQ(defaults.listen, "80");
    EXPECT_EQ(defaults.serverName, "_");
    EXPECT_FALSE(defaults.webDir);
    EXPECT_NE(std::get<HelpRequest>(ParseToolCommand({"nginx-conf", "--help"})).text.find("--server-name"),
              std::string::npos);
    EXPECT_EQ(UsageErrorOf({"nginx-conf"}), "--root is required");
    EXPECT_FALSE(defaults.tlsCertificate || defaults.tlsKey || defaults.redirectHttp);
    // HTTPS listens on 443 unless told otherwise.
    const auto https = std::get<NginxConfigOptions>(ParseToolCommand(
        {"nginx-conf", "--root", "r", "--tls-certificate", "c.pem", "--tls-key", "k.pem", "--redirect-http", "80"}));
    EXPECT_EQ(https.listen, "443");
    EXPECT_EQ(*https.tlsCertificate, "c.pem");
    EXPECT_EQ(*https.tlsKey, "k.pem");
    EXPECT_EQ(*https.redirectHttp, "80");
}

TEST(ToolCommandLineTest, PruneTakesAFlagWithoutAValue) {
    const auto dry = std::get<PruneOptions>(ParseToolCommand({"prune", "--dry-run", "--out", "o", "--keep", "2"}));
    EXPECT_EQ(dry.outDir, "o");
    EXPECT_EQ(dry.keep, 2u);
    EXPECT_TRUE(dry.dryRun);
    EXPECT_FALSE(std::get<PruneOptions>(ParseToolCommand({"prune", "--out", "o", "--keep", "1"})).dryRun);
    EXPECT_EQ(UsageErrorOf({"prune", "--out", "o", "--keep", "0"}), "--keep \"0\": a number of releases, at least 1");
    EXPECT_EQ(UsageErrorOf({"prune", "--out", "o"}), "--keep is required");
    EXPECT_EQ(UsageErrorOf({"prune", "--out", "o", "--keep", "1", "--dry-run=yes"}), "--dry-run takes no value");
}

TEST(ToolCommandLineTest, SigningKeysRepeatForPublishAndSignKeygenNeedsAFolder) {
    const auto publish = std::get<PublishOptions>(
        ParseToolCommand({"publish", "--launcher", "l", "--client", "c", "--platform", "pv", "--out", "o", "--sign-key",
                          "a.key", "--sign-key=b.key", "--expires", "7"}));
    EXPECT_EQ(publish.signing.keyFiles, (std::vector<std::filesystem::path>{"a.key", "b.key"}));
    EXPECT_EQ(publish.signing.expiresDays, 7u);
    const auto unsignedPublish = std::get<PublishOptions>(
        ParseToolCommand({"publish", "--launcher", "l", "--client", "c", "--platform", "pv", "--out", "o"}));
    EXPECT_TRUE(unsignedPublish.signing.keyFiles.empty());

    const auto sign = std::get<SignOptions>(ParseToolCommand({"sign", "--out", "o", "--sign-key", "a.key"}));
    EXPECT_EQ(sign.outDir, "o");
    EXPECT_EQ(sign.signing.keyFiles, std::vector<std::filesystem::path>{"a.key"});
    EXPECT_EQ(sign.signing.expiresDays, 30u);
    EXPECT_FALSE(sign.platformCode);
    EXPECT_EQ(*std::get<SignOptions>(ParseToolCommand({"sign", "--out", "o", "--sign-key", "a", "--platform", "pv"}))
                   .platformCode,
              "pv");
    EXPECT_EQ(UsageErrorOf({"sign", "--out", "o"}), "--sign-key is required");
    EXPECT_EQ(UsageErrorOf({"sign", "--out", "o", "--sign-key", "a", "--expires", "0"}),
              "--expires \"0\": a number of days from 1 to 3650");
    EXPECT_EQ(UsageErrorOf(
                  {"publish", "--launcher", "l", "--client", "c", "--platform", "pv", "--out", "o", "--expires", "7"}),
              "--expires needs --sign-key: only signed releases expire");
    EXPECT_EQ(UsageErrorOf({"sign", "--out", "o", "--out", "p", "--sign-key", "a"}), "--out given twice");

    EXPECT_EQ(std::get<KeygenOptions>(ParseToolCommand({"keygen", "--out", "keys"})).outDir, "keys");
    EXPECT_EQ(UsageErrorOf({"keygen"}), "--out is required");
}

TEST(ToolCommandLineTest, HelpForTheToolAndEachCommand) {
    EXPECT_NE(std::get<HelpRequest>(ParseToolCommand({"--help"})).text.find("publish"), std::string::npos);
    EXPECT_NE(std::get<HelpRequest>(ParseToolCommand({"publish", "--help"})).text.find("--previous"),
              std::string::npos);
    EXPECT_NE(std::get<HelpRequest>(ParseToolCommand({"serve", "-h"})).text.find("--port-file"), std::string::npos);
    EXPECT_NE(std::get<HelpRequest>(ParseToolCommand({"sign", "--help"})).text.find("--expires"), std::string::npos);
    EXPECT_NE(std::get<HelpRequest>(ParseToolCommand({"keygen", "--help"})).text.find("release.pub"),
              std::string::npos);
}

TEST(ToolCommandLineTest, UnknownOptionIsNamedAsOneAlsoWhenLast) {
    EXPECT_EQ(UsageErrorOf({"serve", "--root", "r", "--bogus"}), "unknown option --bogus");
    EXPECT_EQ(UsageErrorOf({"serve", "--bogus", "--root", "r"}), "unknown option --bogus");
    EXPECT_EQ(UsageErrorOf({"serve", "--root"}), "--root needs a value");
}

TEST(ToolCommandLineTest, MistakesAreUsageErrors) {
    const std::vector<Args> mistakes = {
        {},
        {"pubish"},
        {"publish", "--launcher", "l", "--client", "c", "--platform", "pv"},
        {"publish", "--launcher", "l", "--client", "c", "--platform", "pv", "--out", "o", "--bogus", "x"},
        {"publish", "--launcher", "l", "--launcher", "m", "--client", "c", "--platform", "pv", "--out", "o"},
        {"publish", "--launcher", "l", "--client", "c", "--platform", "pv", "--out"},
        {"publish", "l", "c"},
        {"publish", "--launcher", "l", "--client", "c", "--platform", "pv", "--out", "o", "--jobs", "0"},
        {"publish", "--launcher", "l", "--client", "c", "--platform", "pv", "--out", "o", "--jobs", "2x"},
        {"serve"},
        {"serve", "--root", "r", "--port", "65536"},
        {"serve", "--root", "r", "--port", "80x"},
        {"serve", "--root", "r", "--port", "-1"},
    };
    for (const Args& args : mistakes) {
        std::string joined;
        for (const std::string& arg : args) {
            joined += arg + " ";
        }
        EXPECT_THROW(ParseToolCommand(args), UsageError) << joined;
    }
}

}  // namespace
