#include "net/http/safe_int.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

namespace Drelk {
namespace {

SafeIntError ErrorOf(auto&& operation) {
    try {
        operation();
    } catch (const SafeIntException& e) {
        return e.Error();
    }
    ADD_FAILURE() << "no fault raised";
    return SafeIntError::Other;
}

TEST(SafeInt, CheckedOperationsWorkUpToTheLimit) {
    constexpr auto kMax = std::numeric_limits<std::size_t>::max();
    EXPECT_EQ(SafeAdd(kMax - 1, std::size_t{1}), kMax);
    EXPECT_EQ(SafeMul(kMax / 2, std::size_t{2}), kMax - 1);
    EXPECT_EQ(SafeMul(std::size_t{0}, kMax), 0u);
    EXPECT_EQ(SafeCast<DWORD>(std::size_t{0xFFFFFFFFu}), 0xFFFFFFFFu);
    EXPECT_EQ(SafeCast<int>(std::size_t{0x7FFFFFFF}), 0x7FFFFFFF);
}

TEST(SafeInt, OverflowIsRaised) {
    constexpr auto kMax = std::numeric_limits<std::size_t>::max();
    EXPECT_EQ(ErrorOf([] { SafeAdd(kMax, std::size_t{1}); }), SafeIntError::Overflow);
    EXPECT_EQ(ErrorOf([] { SafeMul(kMax / 2 + 1, std::size_t{2}); }), SafeIntError::Overflow);
    EXPECT_EQ(ErrorOf([] { SafeCast<DWORD>(std::uint64_t{0x100000000}); }), SafeIntError::Overflow);
    EXPECT_EQ(ErrorOf([] { SafeCast<int>(std::size_t{0x80000000u}); }), SafeIntError::Overflow);
}

TEST(SafeInt, FaultsMapToTheLayersCodes) {
    const SafeIntException overflow(SafeIntError::Overflow);
    const SafeIntException divide(SafeIntError::DivideByZero);
    const SafeIntException other(SafeIntError::Other);
    EXPECT_EQ(ArithmeticErrorCode(overflow), 112u);
    EXPECT_EQ(ArithmeticWin32Error(overflow), 534u);
    EXPECT_EQ(ArithmeticErrorCode(divide), 113u);
    EXPECT_EQ(ArithmeticErrorCode(other), 111u);
}

}  // namespace
}  // namespace Drelk
