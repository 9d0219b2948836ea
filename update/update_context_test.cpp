#include "update/update_context.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

TEST(UpdateContext, FreshContextIsEmpty) {
    CUpdateContext context;
    EXPECT_TRUE(context.remoteFiles.empty());
    EXPECT_TRUE(context.pendingFiles.empty());
    EXPECT_TRUE(context.indexMap.empty());
    EXPECT_TRUE(context.diffMap.empty());
    EXPECT_TRUE(context.packSuffix.empty());
    EXPECT_EQ(context.totalBytes, 1);
    EXPECT_EQ(context.launcherUpdatePending, 0);
    EXPECT_EQ(context.lockDepth, 0);
}

TEST(UpdateContext, LockHolderCountsDepthAndExcludesOthers) {
    CUpdateContext context;
    std::atomic<bool> otherGotIn{false};
    std::thread other;
    {
        ContextLockHolder outer(context);
        ContextLockHolder inner(context);
        EXPECT_EQ(context.lockDepth, 2);
        other = std::thread([&] {
            ContextLockHolder hold(context);
            otherGotIn = context.lockDepth == 1;
        });
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        EXPECT_FALSE(otherGotIn);
    }
    other.join();
    EXPECT_TRUE(otherGotIn);
    EXPECT_EQ(context.lockDepth, 0);
}
