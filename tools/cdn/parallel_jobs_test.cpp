#include "tools/cdn/parallel_jobs.h"

#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

TEST(ParallelJobsTest, EveryTaskRunsOnce) {
    for (unsigned jobs : {1u, 3u, 64u}) {
        std::vector<std::atomic<int>> runs(100);
        RunParallel(runs.size(), jobs, [&](std::size_t index) { ++runs[index]; });
        for (std::size_t i = 0; i < runs.size(); ++i) {
            EXPECT_EQ(runs[i], 1) << "task " << i << " with " << jobs << " jobs";
        }
    }
    RunParallel(0, 4, [](std::size_t) { FAIL() << "no task to run"; });
}

TEST(ParallelJobsTest, TheLowestFailureIsReportedAndNoTaskStartsAfterIt) {
    for (unsigned jobs : {1u, 4u}) {
        std::atomic<std::size_t> started{0};
        try {
            RunParallel(1000, jobs, [&](std::size_t index) {
                ++started;
                if (index == 7 || index == 8) {
                    throw std::runtime_error("task " + std::to_string(index));
                }
            });
            ADD_FAILURE() << "no failure reported";
        } catch (const std::runtime_error& failure) {
            EXPECT_STREQ(failure.what(), "task 7");
        }
        // Those already running when the failure came may finish; no more.
        EXPECT_LE(started, 8u + jobs) << jobs << " jobs";
    }
}

}  // namespace
