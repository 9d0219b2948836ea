#include "tools/headless/progress_reporter.h"

#include <gtest/gtest.h>

#include <sstream>

namespace {

ViewProgress Progress(const std::wstring& stage, std::int64_t fileDone, std::int64_t fileTotal, std::int64_t allDone,
                      std::int64_t allTotal) {
    ViewProgress progress;
    progress.stageText = stage;
    progress.done[0] = fileDone;
    progress.totals[0] = fileTotal;
    progress.done[1] = allDone;
    progress.totals[1] = allTotal;
    return progress;
}

}  // namespace

TEST(ProgressLine, ShowsStageBarsAndPercentages) {
    EXPECT_EQ(FormatProgressLine(Progress(L"正在更新客户端", 50, 200, 3, 3)),
              "正在更新客户端  file [#####...............]  25%  total [####################] 100%");
}

TEST(ProgressLine, PercentTruncatesAndSurvivesOddTotals) {
    EXPECT_EQ(ProgressPercent(1, 3), 33);
    EXPECT_EQ(ProgressPercent(199, 200), 99);
    // Counters are 64-bit: a product of a large count and 100 must not wrap.
    EXPECT_EQ(ProgressPercent(std::int64_t{3} << 40, std::int64_t{4} << 40), 75);
    EXPECT_EQ(ProgressPercent(5, 0), 0);
    EXPECT_EQ(ProgressPercent(5, -1), 0);
    // More done than the total shows above 100 while the bar stays full.
    EXPECT_EQ(FormatProgressLine(Progress(L"s", 0, 0, 300, 200)),
              "s  file [....................]   0%  total [####################] 150%");
}

TEST(ProgressReporter, PlainOutputWritesALinePerStageAndTenth) {
    std::ostringstream out;
    {
        ProgressReporter reporter(out, false);
        reporter.Update(Progress(L"", 0, 1, 0, 1));  // no stage yet: nothing
        reporter.Update(Progress(L"checking", 0, 1, 0, 1));
        reporter.Update(Progress(L"checking", 0, 1, 0, 1));
        reporter.Update(Progress(L"downloading", 0, 100, 0, 1000));
        reporter.Update(Progress(L"downloading", 5, 100, 50, 1000));    // same tenths
        reporter.Update(Progress(L"downloading", 10, 100, 99, 1000));   // the file bar reaches 10%
        reporter.Update(Progress(L"downloading", 15, 100, 100, 1000));  // the total bar reaches 10%
        reporter.Note("page: hello");
    }
    EXPECT_EQ(out.str(),
              "checking  file [....................]   0%  total [....................]   0%\n"
              "downloading  file [....................]   0%  total [....................]   0%\n"
              "downloading  file [##..................]  10%  total [#...................]   9%\n"
              "downloading  file [###.................]  15%  total [##..................]  10%\n"
              "page: hello\n");
}

TEST(ProgressReporter, LiveOutputRedrawsALinePerStageAndEndsItForNotes) {
    std::ostringstream out;
    {
        ProgressReporter reporter(out, true);
        reporter.Update(Progress(L"a", 1, 4, 0, 1));
        reporter.Update(Progress(L"a", 1, 4, 0, 1));  // unchanged: not redrawn
        reporter.Update(Progress(L"a", 2, 4, 0, 1));
        reporter.Note("note");
        reporter.Update(Progress(L"a", 2, 4, 0, 1));  // drawn again below the note
        reporter.Update(Progress(L"b", 0, 4, 1, 1));  // a new stage: a new line
    }
    EXPECT_EQ(out.str(),
              "\ra  file [#####...............]  25%  total [....................]   0%\x1b[K"
              "\ra  file [##########..........]  50%  total [....................]   0%\x1b[K"
              "\nnote\n"
              "\ra  file [##########..........]  50%  total [....................]   0%\x1b[K"
              "\n\rb  file [....................]   0%  total [####################] 100%\x1b[K"
              "\n");
}
