#include "net/rate_budget.h"

#include <gtest/gtest.h>

namespace {

using Clock = CRateBudget::Clock;
using std::chrono::milliseconds;
using std::chrono::seconds;

const Clock::time_point kStart{};

TEST(RateBudget, FirstReadMayTakeTheGraceAndItsBytesAtTheMinimumRate) {
    const CRateBudget budget(1024, seconds(60), kStart);
    EXPECT_EQ(budget.ReadDeadline(10240), kStart + seconds(70));
    EXPECT_EQ(budget.ReadDeadline(0), kStart + seconds(60));
}

TEST(RateBudget, KeepingUpPassesFallingBehindByMoreThanTheGraceFails) {
    // 10 KiB every 10 s is exactly 1 KiB/s: on time forever.
    CRateBudget steady(1024, seconds(60), kStart);
    for (int i = 1; i <= 1000; ++i)
        ASSERT_TRUE(steady.Record(kStart + seconds(10 * i), 10240)) << i;

    // 10 KiB every 20 s: 10 KiB behind per read, 60 KiB of grace, so the
    // seventh read is one too late, not the first and not the hundredth.
    CRateBudget half(1024, seconds(60), kStart);
    int reads = 0;
    while (half.Record(kStart + seconds(20 * (reads + 1)), 10240))
        ++reads;
    EXPECT_EQ(reads, 6);
}

TEST(RateBudget, FastStartBanksOneGraceOnly) {
    CRateBudget budget(1024, seconds(60), kStart);
    // 100 MiB in the first second would pay for a day's trickle; only one
    // grace is kept.
    ASSERT_TRUE(budget.Record(kStart + seconds(1), 100 << 20));
    EXPECT_EQ(budget.ReadDeadline(10240), kStart + seconds(71));
    EXPECT_FALSE(budget.Record(kStart + seconds(72), 10240));
}

TEST(RateBudget, LongReadAboveTheRateIsJudgedWhenItEnds) {
    // 1 MiB in one read at 2 KiB/s takes 512 s, far beyond the grace, and
    // keeps the rate.
    CRateBudget budget(1024, seconds(10), kStart);
    EXPECT_GE(budget.ReadDeadline(1 << 20), kStart + seconds(512));
    EXPECT_TRUE(budget.Record(kStart + seconds(512), 1 << 20));
    EXPECT_FALSE(CRateBudget(1024, seconds(10), kStart).Record(kStart + milliseconds(1034001), 1 << 20));
}

}  // namespace
