#include "platform/base/handle_table.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>

namespace {

std::uintptr_t ValueOf(const void* handle) {
    return reinterpret_cast<std::uintptr_t>(handle);
}

TEST(HandleTable, HandlesCountUpAndAClosedOneStaysUnknown) {
    platform::HandleTable<std::shared_ptr<std::string>> table(0x100);
    void* first = table.Insert(std::make_shared<std::string>("first"));
    void* second = table.Insert(std::make_shared<std::string>("second"));
    EXPECT_EQ(ValueOf(first), 0x100u);
    EXPECT_EQ(ValueOf(second), 0x104u);
    ASSERT_TRUE(table.Lookup(second));
    EXPECT_EQ(**table.Lookup(second), "second");

    auto taken = table.Take(first);
    ASSERT_TRUE(taken);
    EXPECT_EQ(**taken, "first");
    EXPECT_FALSE(table.Take(first));
    EXPECT_FALSE(table.Lookup(first));
    // The value is not handed out again, so the stale handle finds nothing.
    EXPECT_EQ(ValueOf(table.Insert(std::make_shared<std::string>("third"))), 0x108u);
    EXPECT_FALSE(table.Lookup(first));
    EXPECT_FALSE(table.Lookup(reinterpret_cast<void*>(0x102)));
}

TEST(HandleTable, StepsUnderOneLockSeeAndChangeObjectsInPlace) {
    platform::HandleTable<int> table(4);
    void* one = table.Insert(1);
    void* two = table.Insert(2);
    void* three = table.Insert(3);
    {
        auto locked = table.Lock();
        ASSERT_NE(locked.Find(two), nullptr);
        *locked.Find(two) = 20;
        const auto odd = locked.TakeIf([](int value) { return value % 2 == 1; });
        EXPECT_EQ(odd.size(), 2u);
        EXPECT_EQ(locked.Find(one), nullptr);
        EXPECT_EQ(locked.Find(three), nullptr);
    }
    EXPECT_EQ(table.Lookup(two), 20);
}

}  // namespace
