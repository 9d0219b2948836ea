#include "tools/headless/headless_options.h"

#include "ui/web/page_messages.h"

#include <gtest/gtest.h>

namespace {

HeadlessOptions Parse(const std::vector<std::string>& args) {
    return std::get<HeadlessOptions>(ParseHeadlessCommand(args));
}

std::string UsageErrorOf(const std::vector<std::string>& args) {
    try {
        ParseHeadlessCommand(args);
    } catch (const HeadlessUsageError& failure) {
        return failure.what();
    }
    return "no error";
}

}  // namespace

TEST(HeadlessOptions, VersionUrlAndStartTextBecomeTheirMessages) {
    const HeadlessOptions options =
        Parse({"--pc-version", "http://127.0.0.1:8/web/index.html", "--start-game", "-demo -realm 余烬谷"});
    EXPECT_FALSE(options.afterUpdate);
    ASSERT_TRUE(options.version.has_value());
    EXPECT_EQ(options.version->message, 0x0402u);
    EXPECT_EQ(options.version->method, "PCVersion");
    EXPECT_EQ(options.version->text, L"http://127.0.0.1:8/web/index.html");
    EXPECT_EQ(options.start.message, 0x0401u);
    EXPECT_EQ(options.start.method, "StartGame");
    EXPECT_EQ(options.start.text, L"-demo -realm 余烬谷");
    EXPECT_EQ(options.timeout.count(), 0);
}

TEST(HeadlessOptions, DataCallsAfterUpdateAndTimeout) {
    const HeadlessOptions options = Parse(
        {"--start-game-data", "", "--after-update", "--pc-version-data", "cdn_url=x|cdn_path=C1/", "--timeout", "90"});
    EXPECT_TRUE(options.afterUpdate);
    ASSERT_TRUE(options.version.has_value());
    EXPECT_EQ(options.version->message, 0x0403u);
    EXPECT_EQ(options.version->text, L"cdn_url=x|cdn_path=C1/");
    EXPECT_EQ(options.start.message, 0x0404u);
    EXPECT_EQ(options.start.text, L"");
    EXPECT_EQ(options.timeout, std::chrono::seconds(90));
}

TEST(HeadlessOptions, AValueMayLookLikeAnOption) {
    const HeadlessOptions options = Parse({"--start-game", "--help", "--pc-version-data", "--bogus"});
    EXPECT_EQ(options.start.text, L"--help");
    EXPECT_EQ(options.version->text, L"--bogus");
}

TEST(HeadlessOptions, HelpNamesEveryOptionAndExitCode) {
    const auto help = std::get<HeadlessHelp>(ParseHeadlessCommand({"--pc-version", "u", "--help"}));
    for (const char* option : {"--after-update", "--pc-version URL", "--pc-version-data TEXT", "--start-game TEXT",
                               "--start-game-data TEXT", "--timeout SECONDS", "--snapshots FOLDER", "--help"}) {
        EXPECT_NE(help.text.find(option), std::string::npos) << option;
        // The usage lines name every option too.
        const std::string usage = help.text.substr(0, help.text.find("\n\n"));
        const std::string name = std::string(option).substr(0, std::string(option).find(' '));
        EXPECT_TRUE(name == "--help" || usage.find(name) != std::string::npos) << name;
    }
    for (const char* code : {"  0  ", "  1  ", "  2  ", "  3  ", "  4  ", "  5  "})
        EXPECT_NE(help.text.find(code), std::string::npos) << code;
}

TEST(HeadlessOptions, RefusesWhatCannotRun) {
    EXPECT_NE(UsageErrorOf({}).find("--start-game"), std::string::npos);
    EXPECT_NE(UsageErrorOf({"--pc-version", "u"}).find("--start-game"), std::string::npos);
    // Without a version call the game start would wait forever.
    EXPECT_NE(UsageErrorOf({"--start-game", "a", "--timeout", "5"}).find("--pc-version or --pc-version-data is needed"),
              std::string::npos);
    // An unknown option is named as one wherever it stands, also last.
    EXPECT_NE(UsageErrorOf({"--start-game", "a", "--bogus"}).find("unknown option --bogus"), std::string::npos);
    EXPECT_NE(UsageErrorOf({"--start-game", "a", "--start-game-data", "b"}).find("only one start"), std::string::npos);
    EXPECT_NE(
        UsageErrorOf({"--pc-version", "a", "--pc-version-data", "b", "--start-game", "c"}).find("only one version"),
        std::string::npos);
    EXPECT_NE(UsageErrorOf({"--start-game"}).find("needs a value"), std::string::npos);
    EXPECT_NE(UsageErrorOf({"--start-game", "a", "--colour", "red"}).find("unknown option --colour"),
              std::string::npos);
    EXPECT_NE(UsageErrorOf({"--start-game", "a", "extra"}).find("unexpected argument \"extra\""), std::string::npos);
    for (const char* seconds : {"0", "-1", "ten", "5s", "86401"})
        EXPECT_NE(UsageErrorOf({"--start-game", "a", "--timeout", seconds}).find("--timeout"), std::string::npos)
            << seconds;
    EXPECT_NE(UsageErrorOf({"--start-game", "a", "--timeout", "1", "--timeout", "2"}).find("twice"), std::string::npos);
}

TEST(HeadlessOptions, EveryPageCommandIsPlayedByItsOptionAndDescribed) {
    const std::string help = std::get<HeadlessHelp>(ParseHeadlessCommand({"--help"})).text;
    for (const PageCommand& command : kPageCommands) {
        const std::string option = command.headlessOption;
        const std::size_t line = help.find("\n  " + option + " ");
        ASSERT_NE(line, std::string::npos) << option;
        EXPECT_EQ(help.find("window.external." + std::string(command.name) + "(", line), help.find("window", line))
            << option;
        const bool starts = command.kind == PageCommandKind::kStart;
        const HeadlessOptions options = Parse(starts ? std::vector<std::string>{"--pc-version", "u", option, "t"}
                                                     : std::vector<std::string>{option, "t", "--start-game", "s"});
        const PageCall& call = starts ? options.start : *options.version;
        EXPECT_EQ(call.message, command.message) << option;
        EXPECT_EQ(call.method, command.name);
        EXPECT_EQ(call.text, L"t");
    }
}
