// What every system's TestProcess does alike: waiting with a limit by
// polling the system's own non-blocking reap.
#include "tests/support/test_process.h"

#include "tests/support/test_files.h"

#include <thread>

namespace testsupport {

namespace {

constexpr auto kPollPeriod = std::chrono::milliseconds(10);

}  // namespace

bool TestProcess::Running() {
    return !Reap(false);
}

std::optional<int> TestProcess::WaitFor(std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!Reap(false)) {
        if (std::chrono::steady_clock::now() >= deadline)
            return std::nullopt;
        std::this_thread::sleep_for(kPollPeriod);
    }
    return m_exitCode;
}

std::optional<int> RunProcess(const ProcessStart& start, std::chrono::milliseconds limit) {
    TestProcess process(start);
    return process.WaitFor(limit);
}

ProgramResult RunToEnd(const ProcessStart& start, std::chrono::milliseconds limit) {
    const std::optional<int> exitCode = RunProcess(start, limit);
    return {exitCode.value_or(-1), ReadBytes(start.outputFile), ReadBytes(start.errorFile)};
}

}  // namespace testsupport
