#include "state/single_instance.h"
#include "state/controller.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

namespace {

std::atomic<int> g_constructions{0};

// Slow to build, so racing first callers really overlap.
struct SlowToBuild {
    SlowToBuild() {
        ++g_constructions;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
};

}  // namespace

TEST(SingleInstance, RacingFirstCallersShareOneInstance) {
    std::atomic<bool> go{false};
    std::vector<SlowToBuild*> seen(8, nullptr);
    std::vector<std::thread> threads;
    for (std::size_t i = 0; i < seen.size(); ++i)
        threads.emplace_back([&, i] {
            while (!go)
                std::this_thread::yield();
            seen[i] = TSingleInstance<SlowToBuild>::Get();
        });
    go = true;
    for (std::thread& thread : threads)
        thread.join();

    EXPECT_EQ(g_constructions.load(), 1);
    for (SlowToBuild* instance : seen)
        EXPECT_EQ(instance, seen[0]);
    EXPECT_EQ(TSingleInstance<SlowToBuild>::Get(), seen[0]);
}

TEST(SingleInstance, ControllerStartsOpen) {
    CController* controller = GetController();
    EXPECT_EQ(controller, GetController());
    EXPECT_EQ(controller->closing.load(), 0);
    EXPECT_EQ(controller->product.load(), nullptr);
}
