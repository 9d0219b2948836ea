#include "app/data_folder_lock.h"

#include "platform/text.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <thread>

namespace fs = std::filesystem;
using testsupport::TempDir;
using Outcome = DataFolderLock::Outcome;

namespace {

using Clock = std::chrono::steady_clock;

long long MillisecondsSince(Clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

}  // namespace

TEST(DataFolderLock, OneHolderAtATimeAndTheNextTakesItOnceReleased) {
    const TempDir dir;
    // A first start: the folder is made for the lock.
    const std::wstring folder = dir.WidePath("Local/Quillmoor");
    DataFolderLock first;
    ASSERT_EQ(first.Take(folder, 0), Outcome::Taken) << platform::ToUtf8(first.Problem());
    EXPECT_TRUE(first.Held());
    EXPECT_TRUE(fs::is_regular_file(dir.Path("Local/Quillmoor/launcher.lock")));

    DataFolderLock second;
    const auto start = Clock::now();
    EXPECT_EQ(second.Take(folder, 0), Outcome::HeldByAnother);
    EXPECT_LT(MillisecondsSince(start), 1000);
    EXPECT_FALSE(second.Held());
    // Another folder is another launcher's.
    DataFolderLock elsewhere;
    EXPECT_EQ(elsewhere.Take(dir.WidePath("Other"), 0), Outcome::Taken);

    first.Release();
    EXPECT_FALSE(first.Held());
    EXPECT_EQ(second.Take(folder, 0), Outcome::Taken);
    {
        DataFolderLock scoped;
        EXPECT_EQ(scoped.Take(dir.WidePath("Scoped"), 0), Outcome::Taken);
    }
    EXPECT_EQ(first.Take(dir.WidePath("Scoped"), 0), Outcome::Taken) << "the lock outlived its object";
}

TEST(DataFolderLock, AWaitingTakeGetsTheLockOnceItsHolderEndsAndGivesUpAtItsBound) {
    const TempDir dir;
    const std::wstring folder = dir.Path().wstring();
    DataFolderLock holder;
    ASSERT_EQ(holder.Take(folder, 0), Outcome::Taken);
    std::thread ending([&holder] {
        std::this_thread::sleep_for(std::chrono::milliseconds(400));
        holder.Release();
    });
    DataFolderLock waiting;
    EXPECT_EQ(waiting.Take(folder, 20000), Outcome::Taken);
    ending.join();
    EXPECT_GE(waiting.WaitedMs(), 250u);
    EXPECT_LT(waiting.WaitedMs(), 10000u);

    DataFolderLock late;
    const auto start = Clock::now();
    EXPECT_EQ(late.Take(folder, 300), Outcome::HeldByAnother);
    EXPECT_GE(MillisecondsSince(start), 300);
    EXPECT_LT(MillisecondsSince(start), 5000);
    EXPECT_GE(late.WaitedMs(), 300u);
}

TEST(DataFolderLock, AFolderThatCannotHoldTheLockIsReportedNotTakenForAnother) {
    const TempDir dir;
    dir.Write("Quillmoor", "a file where the folder should be");
    DataFolderLock lock;
    EXPECT_EQ(lock.Take(dir.WidePath("Quillmoor"), 1000), Outcome::Unavailable);
    EXPECT_FALSE(lock.Held());
    EXPECT_NE(lock.Problem().find(L"launcher.lock"), std::wstring::npos);
}
