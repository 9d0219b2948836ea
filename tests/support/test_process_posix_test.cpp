#include "tests/support/test_process.h"

#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

using namespace std::chrono_literals;

namespace testsupport {
namespace {

TEST(TestProcess, RunsInItsFolderWithItsEnvironmentAndOutputFiles) {
    const TempDir work;
    ProcessStart start;
    start.argv = {"sh", "-c", "pwd; echo \"$QM_TEST_VALUE\"; echo \"[$HOME]\"; echo oops >&2; exit 3"};
    start.folder = work.Path();
    start.environment = {{"QM_TEST_VALUE", "a value"}, {"HOME", ""}};
    start.outputFile = work.Path() / "out";
    start.errorFile = work.Path() / "err";
    EXPECT_EQ(RunProcess(start, 30s), std::optional<int>(3));
    EXPECT_EQ(ReadBytes(work.Path() / "out"), work.Str() + "\na value\n[]\n");
    EXPECT_EQ(ReadBytes(work.Path() / "err"), "oops\n");
}

TEST(TestProcess, KeepsOnlyTheDescriptorAskedFor) {
    const TempDir work;
    int kept[2];
    int other[2];
    ASSERT_EQ(pipe(kept), 0);
    ASSERT_EQ(pipe(other), 0);
    ProcessStart start;
    // The child writes to both numbers; only the kept one reaches a pipe.
    start.argv = {"sh", "-c",
                  "echo kept >&" + std::to_string(kept[1]) + "; echo other >&" + std::to_string(other[1]) + "; true"};
    start.keepFd = kept[1];
    EXPECT_EQ(RunProcess(start, 30s), std::optional<int>(0));
    close(kept[1]);
    close(other[1]);
    char buffer[16] = {};
    EXPECT_EQ(read(kept[0], buffer, sizeof buffer), 5);
    EXPECT_EQ(std::string(buffer, 5), "kept\n");
    EXPECT_EQ(read(other[0], buffer, sizeof buffer), 0);
    close(kept[0]);
    close(other[0]);
}

TEST(TestProcess, WaitingHasALimitAndStoppingEndsTheProgram) {
    ProcessStart start;
    start.argv = {"sleep", "30"};
    TestProcess sleeper(start);
    EXPECT_TRUE(sleeper.Running());
    EXPECT_EQ(sleeper.WaitFor(50ms), std::nullopt);
    EXPECT_TRUE(sleeper.Running());
    // Ended by SIGTERM: 128 + 15.
    EXPECT_EQ(sleeper.Stop(), 143);
    EXPECT_FALSE(sleeper.Running());
    EXPECT_EQ(sleeper.WaitFor(0ms), std::optional<int>(143));
}

TEST(TestProcess, AProgramThatCannotBeFoundIsAnError) {
    EXPECT_FALSE(FindProgram("quillmoor-no-such-program"));
    EXPECT_TRUE(FindProgram("sh"));
    ProcessStart start;
    start.argv = {"quillmoor-no-such-program"};
    EXPECT_THROW(TestProcess{start}, std::runtime_error);
}

TEST(TestProcess, AnOwnProcessGroupHoldsWhatTheProgramStarts) {
    ProcessStart start;
    start.argv = {"sh", "-c", "sleep 30 & wait"};
    start.ownProcessGroup = true;
    TestProcess shell(start);
    EXPECT_EQ(getpgid(shell.Pid()), shell.Pid());
    // Stopping the whole group ends the shell and its child alike.
    kill(-shell.Pid(), SIGTERM);
    EXPECT_TRUE(shell.WaitFor(10s));
}

TEST(TestProcess, AnAdoptedProcessIsWaitedFor) {
    // A child that ends with a code gives it.
    const pid_t child = fork();
    if (child == 0)
        _exit(7);
    ASSERT_GT(child, 0);
    EXPECT_EQ(WaitForAdopted(child, 10s), std::optional<int>(7));
    // One that does not end in time is killed and reaped.
    const pid_t slow = fork();
    if (slow == 0) {
        pause();
        _exit(0);
    }
    ASSERT_GT(slow, 0);
    EXPECT_EQ(WaitForAdopted(slow, 100ms), std::nullopt);
    EXPECT_NE(kill(slow, 0), 0) << "still there";
    // A process that is not this one's child, this one's parent, is left
    // alone.
    EXPECT_EQ(WaitForAdopted(getppid(), 100ms), std::nullopt);
    EXPECT_EQ(kill(getppid(), 0), 0);
}

}  // namespace
}  // namespace testsupport
