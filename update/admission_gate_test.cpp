#include "update/admission_gate.h"

#include "platform/conformance/thread_test_helpers.h"
#include "platform/thread_stop.h"

#include <gtest/gtest.h>

#include <atomic>

namespace {

constexpr std::uint64_t kMiB = std::uint64_t{1} << 20;

}  // namespace

TEST(AdmissionGate, DecodersAreAdmittedByCoreAndByMemory) {
    // Two cores, 256 MiB of dictionaries.
    CAdmissionGate gate(2, 256 * kMiB);
    EXPECT_TRUE(gate.TryEnter(160 * kMiB));
    EXPECT_FALSE(gate.TryEnter(160 * kMiB)) << "320 MiB in all";
    EXPECT_TRUE(gate.TryEnter(96 * kMiB)) << "exactly the budget";
    EXPECT_FALSE(gate.TryEnter(0)) << "both cores taken";
    gate.Leave(160 * kMiB);

    // More than the budget runs only alone, and then nothing joins it.
    EXPECT_FALSE(gate.TryEnter(300 * kMiB));
    gate.Leave(96 * kMiB);
    EXPECT_TRUE(gate.TryEnter(300 * kMiB));
    EXPECT_FALSE(gate.TryEnter(0));
    EXPECT_FALSE(gate.TryEnter(kMiB));
    gate.Leave(300 * kMiB);

    // Everything left: the whole budget is free again.
    EXPECT_TRUE(gate.TryEnter(128 * kMiB));
    EXPECT_TRUE(gate.TryEnter(128 * kMiB));
}

TEST(AdmissionGate, WaiterIsAdmittedWhenRoomIsMadeAndAStoppedOneHoldsNothing) {
    CAdmissionGate gate(2, 256 * kMiB);
    AdmissionTicket first(gate, 200 * kMiB);
    std::atomic<bool> admitted{false};
    HANDLE waiter = threadtest::Start([&] {
        const AdmissionTicket second(gate, 100 * kMiB);
        admitted = true;
        return DWORD{1};
    });
    ASSERT_NE(waiter, nullptr);
    // Give the waiter time to find the gate full; it must still be waiting.
    EXPECT_EQ(WaitForSingleObject(waiter, 100), static_cast<DWORD>(WAIT_TIMEOUT));
    EXPECT_FALSE(admitted);
    first.End();
    EXPECT_EQ(WaitForSingleObject(waiter, 5000), WAIT_OBJECT_0);
    EXPECT_TRUE(admitted);
    CloseHandle(waiter);

    // A thread stopped while it waits leaves without taking anything.
    AdmissionTicket whole(gate, 256 * kMiB);
    HANDLE stopped = threadtest::Start([&] {
        const AdmissionTicket never(gate, kMiB);
        admitted = false;
        return DWORD{1};
    });
    ASSERT_NE(stopped, nullptr);
    EXPECT_EQ(WaitForSingleObject(stopped, 50), static_cast<DWORD>(WAIT_TIMEOUT));
    TerminateThread(stopped, 0);
    EXPECT_EQ(WaitForSingleObject(stopped, 5000), WAIT_OBJECT_0);
    CloseHandle(stopped);
    EXPECT_TRUE(admitted);
    whole.End();
    EXPECT_TRUE(gate.TryEnter(256 * kMiB)) << "the stopped waiter took no room";
    platform::EndRemainingThreads();
}
