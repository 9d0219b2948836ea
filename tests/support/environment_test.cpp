#include "tests/support/environment.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace testsupport {
namespace {

std::optional<std::string> Value(const char* name) {
    const char* value = std::getenv(name);
    return value ? std::optional<std::string>(value) : std::nullopt;
}

TEST(ScopedVariable, SetsForItsScopeAndPutsTheOldValueBack) {
    const ScopedVariable outer("QM_SCOPED_TEST_VARIABLE", "outer");
    EXPECT_EQ(outer.Previous(), std::nullopt);
    {
        const ScopedVariable inner("QM_SCOPED_TEST_VARIABLE", "inner");
        EXPECT_EQ(Value("QM_SCOPED_TEST_VARIABLE"), "inner");
        EXPECT_EQ(inner.Previous(), "outer");
    }
    EXPECT_EQ(Value("QM_SCOPED_TEST_VARIABLE"), "outer");
}

TEST(ScopedVariable, AVariableThatWasNotSetIsRemovedAgain) {
    ASSERT_EQ(Value("QM_SCOPED_TEST_ABSENT"), std::nullopt);
    {
        const ScopedVariable set("QM_SCOPED_TEST_ABSENT", "x");
        EXPECT_EQ(Value("QM_SCOPED_TEST_ABSENT"), "x");
    }
    EXPECT_EQ(Value("QM_SCOPED_TEST_ABSENT"), std::nullopt);
}

}  // namespace
}  // namespace testsupport
