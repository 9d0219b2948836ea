// Test helpers for the platform's threads, on every system: a CreateThread
// thread running a function, polling, exit codes, and a fixture that ends
// the threads a test leaves.
#pragma once

#include "platform/kernel32.h"
#include "platform/thread_stop.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>
#include <thread>

namespace threadtest {

inline DWORD WINAPI RunFunction(LPVOID parameter) {
    // Owned here, so it is freed on the stop unwinding as well.
    std::unique_ptr<std::function<DWORD()>> function(static_cast<std::function<DWORD()>*>(parameter));
    return (*function)();
}

inline HANDLE Start(std::function<DWORD()> function, DWORD* id = nullptr) {
    auto* owned = new std::function<DWORD()>(std::move(function));
    HANDLE thread = CreateThread(nullptr, 0, RunFunction, owned, 0, id);
    if (!thread)
        delete owned;
    return thread;
}

// Polls until the condition holds or the limit passes.
inline bool Eventually(const std::function<bool()>& condition,
                       std::chrono::milliseconds limit = std::chrono::milliseconds(5000)) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

inline DWORD ExitCode(HANDLE thread) {
    DWORD code = 0;
    EXPECT_TRUE(GetExitCodeThread(thread, &code));
    return code;
}

inline long long MillisecondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
}

// Ends every thread a test started, and gives back real sleeps.
class ThreadTest : public ::testing::Test {
protected:
    void TearDown() override {
        platform::SetSleepHook(nullptr);
        platform::EndRemainingThreads();
    }
};

}  // namespace threadtest
