// What holds for the stand-in's kernel objects only: the protocol its other
// waitable kinds plug into, and handles Windows gives another meaning or
// leaves undefined. What Windows does too is tested in
// platform/conformance/kernel32/.
#include "platform/linux/kernel32/kernel_object.h"
#include "platform/conformance/thread_test_helpers.h"
#include "platform/thread_stop.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;

using threadtest::Eventually;
using threadtest::Start;

class StandInKernelObjects : public ::testing::Test {
protected:
    void TearDown() override { platform::EndRemainingThreads(); }
};

// Windows' INVALID_HANDLE_VALUE is the process itself, which a wait waits
// for to end; here it is no handle at all.
TEST_F(StandInKernelObjects, InvalidHandleValueIsNoHandle) {
    SetLastError(0);
    EXPECT_EQ(WaitForSingleObject(INVALID_HANDLE_VALUE, INFINITE), WAIT_FAILED);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
}

// Windows leaves a wait on a handle closed meanwhile undefined; here the
// object lives on for the wait.
TEST_F(StandInKernelObjects, CloseHandleWhileAnotherThreadWaits) {
    HANDLE event = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    std::atomic<bool> waiting{false};
    std::atomic<DWORD> result{12345};
    std::thread waiter([&] {
        waiting = true;
        result = WaitForSingleObject(event, 150);
    });
    ASSERT_TRUE(Eventually([&] { return waiting.load(); }));
    std::this_thread::sleep_for(20ms);
    EXPECT_TRUE(CloseHandle(event));
    waiter.join();
    EXPECT_EQ(result, WAIT_TIMEOUT);
}

// ---- the protocol for other waitable kinds (processes)

class Latch : public platform::KernelObject {
public:
    bool IsWaitable() const override { return true; }
    void Open() {
        std::lock_guard<std::mutex> lock(platform::KernelLock());
        m_open = true;
        WakeWaitersLocked();
    }

protected:
    bool TryAcquireLocked() override { return m_open; }

private:
    bool m_open = false;
};

TEST_F(StandInKernelObjects, OtherWaitableKindsPlugIn) {
    auto latch = std::make_shared<Latch>();
    HANDLE handle = platform::InsertHandle(latch);
    EXPECT_EQ(platform::LookupHandle<Latch>(handle), latch);
    EXPECT_EQ(WaitForSingleObject(handle, 20), WAIT_TIMEOUT);
    std::atomic<int> released{0};
    std::vector<HANDLE> threads;
    for (int i = 0; i < 3; ++i) {
        threads.push_back(Start([&] {
            EXPECT_EQ(WaitForSingleObject(handle, INFINITE), WAIT_OBJECT_0);
            ++released;
            return DWORD{0};
        }));
    }
    std::this_thread::sleep_for(30ms);
    std::thread opener([&] { latch->Open(); });
    opener.join();
    ASSERT_TRUE(Eventually([&] { return released == 3; }));
    EXPECT_EQ(WaitForSingleObject(handle, 0), WAIT_OBJECT_0);
    for (HANDLE thread : threads) {
        CloseHandle(thread);
    }
    // A non-waitable kind is refused.
    HANDLE plain = platform::InsertHandle(std::make_shared<platform::KernelObject>());
    SetLastError(0);
    EXPECT_EQ(WaitForSingleObject(plain, 0), WAIT_FAILED);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    CloseHandle(plain);
    CloseHandle(handle);
}

}  // namespace
