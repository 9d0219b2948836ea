#include "platform/command_line.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Args = std::vector<std::wstring>;

TEST(SplitCommandLine, ArgumentZero) {
    // The launcher's restart line: a blank, then "N:".
    EXPECT_EQ(platform::SplitCommandLine(L" \"N:\""), (Args{L"", L"N:"}));
    EXPECT_EQ(platform::SplitCommandLine(L"\"C:\\path with blank\\Launcher.exe\""),
              (Args{L"C:\\path with blank\\Launcher.exe"}));
    EXPECT_EQ(platform::SplitCommandLine(L""), (Args{L""}));
    EXPECT_EQ(platform::SplitCommandLine(L"qm.exe\targ"), (Args{L"qm.exe", L"arg"}));
    // Argument 0 knows no escapes: backslashes stay, the first quote ends it.
    EXPECT_EQ(platform::SplitCommandLine(L"\"C:\\dir\\\" x"), (Args{L"C:\\dir\\", L"x"}));
    EXPECT_EQ(platform::SplitCommandLine(L"\"unterminated arg0"), (Args{L"unterminated arg0"}));
    EXPECT_EQ(platform::SplitCommandLine(L"\"a\"b c"), (Args{L"a", L"b", L"c"}));
}

TEST(SplitCommandLine, LaterArguments) {
    EXPECT_EQ(platform::SplitCommandLine(L"p  a\t\tb  "), (Args{L"p", L"a", L"b"}));
    EXPECT_EQ(platform::SplitCommandLine(L"p \"a b\" c\"d e\"f"), (Args{L"p", L"a b", L"cd ef"}));
    EXPECT_EQ(platform::SplitCommandLine(L"p \"\" x"), (Args{L"p", L"", L"x"}));
    // The game line: MODE2 with an escaped quote inside the quoted piece.
    EXPECT_EQ(platform::SplitCommandLine(L"MODE2 \"a\\\"b\" \"C:\\games\\Launcher.exe\""),
              (Args{L"MODE2", L"a\"b", L"C:\\games\\Launcher.exe"}));
}

TEST(SplitCommandLine, BackslashRules) {
    EXPECT_EQ(platform::SplitCommandLine(L"p a\\b\\\\c"), (Args{L"p", L"a\\b\\\\c"}));  // literal
    EXPECT_EQ(platform::SplitCommandLine(L"p a\\\\\"b c\""), (Args{L"p", L"a\\b c"}));  // 2n: toggles
    EXPECT_EQ(platform::SplitCommandLine(L"p a\\\\\\\"b"), (Args{L"p", L"a\\\"b"}));    // 2n+1: literal
    EXPECT_EQ(platform::SplitCommandLine(L"p \"a\\\\\""), (Args{L"p", L"a\\"}));
    EXPECT_EQ(platform::SplitCommandLine(L"p trailing\\"), (Args{L"p", L"trailing\\"}));
}

TEST(JoinCommandLine, RoundTrips) {
    const std::vector<Args> cases = {
        {L"", L"N:"},
        {L"/opt/with blank/Launcher", L"/installed/Launcher.exe"},
        {L"p", L""},
        {L"p", L"a b", L"tab\there"},
        {L"p", L"quote\"inside", L"\"", L"ends with\\", L"\\\\\"", L"a\\\\b"},
        {L"p", L"MODE2", L"x\\\"y z"},
    };
    for (const auto& args : cases) {
        const std::wstring line = platform::JoinCommandLine(args);
        EXPECT_EQ(platform::SplitCommandLine(line), args) << "line: " << testing::PrintToString(line);
    }
    // Plain arguments are written as they are.
    EXPECT_EQ(platform::JoinCommandLine({L"p", L"a", L"b"}), L"p a b");
    EXPECT_EQ(platform::JoinCommandLine({L"", L"N:"}), L"\"\" N:");
}

}  // namespace
