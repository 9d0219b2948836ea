#include "state/diag_log.h"

#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <sstream>
#include <thread>

namespace {

using testsupport::ReadBytes;
using testsupport::TempDir;

// "2025-06-01 12:00:00.123Z [4242] ", digit for digit.
bool StartsWithTimeAndProcess(const std::string& line) {
    const std::string shape = "dddd-dd-dd dd:dd:dd.dddZ [";
    if (line.size() < shape.size() + 3)
        return false;
    for (std::size_t i = 0; i < shape.size(); ++i) {
        const bool digit = line[i] >= '0' && line[i] <= '9';
        if (shape[i] == 'd' ? !digit : line[i] != shape[i])
            return false;
    }
    const std::size_t close = line.find_first_not_of("0123456789", shape.size());
    return close > shape.size() && close != std::string::npos && line.compare(close, 2, "] ") == 0;
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream stream(text);
    for (std::string line; std::getline(stream, line);)
        lines.push_back(line);
    return lines;
}

TEST(DiagLog, LinesCarryTimeProcessTopicAndProblemsAreKeptForTheCause) {
    TempDir dir;
    CDiagLog log;
    log.Note(L"start", L"before the folder is known");
    log.Open((dir.Path() / "data").wstring());
    log.Note(L"request", L"GET http://h/a -> 206\nsecond line");
    for (int i = 1; i <= 4; ++i)
        log.Problem(L"file", L"获取 " + std::to_wstring(i));

    const std::vector<std::string> lines = Lines(ReadBytes(dir.Path() / "data" / "launcher-diag.log"));
    ASSERT_EQ(lines.size(), 5u);
    for (const std::string& line : lines)
        EXPECT_TRUE(StartsWithTimeAndProcess(line)) << line;
    EXPECT_NE(lines[0].find("] request: GET http://h/a -> 206 second line"), std::string::npos) << lines[0];
    EXPECT_NE(lines[4].find("] file (problem): 获取 4"), std::string::npos) << lines[4];
    EXPECT_EQ(log.RecentProblems(), (std::vector<std::string>{"file: 获取 2", "file: 获取 3", "file: 获取 4"}));
}

TEST(DiagLog, PastItsLimitTheFileBecomesTheOneOldCopy) {
    TempDir dir;
    CDiagLog log(400);
    log.Open(dir.Path().wstring());
    for (int i = 0; i < 30; ++i)
        log.Note(L"stage", L"entry " + std::to_wstring(i) + std::wstring(20, L'x'));
    const std::string current = ReadBytes(dir.Path() / "launcher-diag.log");
    const std::string old = ReadBytes(dir.Path() / "launcher-diag.log.1");
    EXPECT_LE(current.size(), 400u);
    EXPECT_LE(old.size(), 400u);
    EXPECT_GT(old.size(), 300u);
    // Nothing but the newest entries: the last one in the current file, the
    // ones just before it in the old copy.
    EXPECT_NE(current.find("entry 29x"), std::string::npos);
    const std::vector<std::string> oldLines = Lines(old);
    const std::vector<std::string> currentLines = Lines(current);
    const int firstCurrent = 30 - static_cast<int>(currentLines.size());
    EXPECT_NE(oldLines.back().find("entry " + std::to_string(firstCurrent - 1) + "x"), std::string::npos)
        << oldLines.back();
    EXPECT_FALSE(std::filesystem::exists(dir.Path() / "launcher-diag.log.1.1"));
}

TEST(DiagLog, ThreadsWriteWholeLinesAndTheEchoSeesEachOnce) {
    TempDir dir;
    CDiagLog log;
    log.Open(dir.Path().wstring());
    std::mutex echoLock;
    std::vector<std::string> echoed;
    log.SetEcho([&](const std::string& line) {
        std::lock_guard<std::mutex> hold(echoLock);
        echoed.push_back(line);
    });
    constexpr int kThreads = 4;
    constexpr int kLines = 200;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&log, t] {
            for (int i = 0; i < kLines; ++i)
                log.Note(L"thread" + std::to_wstring(t), std::wstring(100, static_cast<wchar_t>(L'a' + t)));
        });
    }
    for (std::thread& thread : threads)
        thread.join();
    const std::vector<std::string> lines = Lines(ReadBytes(dir.Path() / "launcher-diag.log"));
    ASSERT_EQ(lines.size(), static_cast<std::size_t>(kThreads * kLines));
    for (const std::string& line : lines) {
        const std::size_t colon = line.find("] thread");
        ASSERT_NE(colon, std::string::npos) << line;
        const char letter = static_cast<char>('a' + (line[colon + 8] - '0'));
        EXPECT_EQ(line.substr(line.size() - 100), std::string(100, letter)) << line;
    }
    EXPECT_EQ(echoed.size(), lines.size());
    EXPECT_EQ(echoed.front().rfind("thread", 0), 0u) << echoed.front();
}

}  // namespace
