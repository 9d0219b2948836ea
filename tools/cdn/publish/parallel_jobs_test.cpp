#include "tools/cdn/publish/parallel_jobs.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <stdexcept>
#include <string>
#include <thread>
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
                if (index > 8) {
                    std::this_thread::sleep_for(std::chrono::milliseconds(2));
                }
            });
            ADD_FAILURE() << "no failure reported";
        } catch (const std::runtime_error& failure) {
            EXPECT_STREQ(failure.what(), "task 7");
        }
        if (jobs == 1) {
            EXPECT_EQ(started, 8u);
        } else {
            // The others go on taking tasks only while the failure unwinds
            // to where it is recorded: a moment, however loaded the machine,
            // against the two seconds the remaining tasks take.
            EXPECT_LT(started, 300u) << jobs << " jobs";
        }
    }
}

}  // namespace
