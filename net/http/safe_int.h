// Checked size arithmetic. A fault raises SafeIntException; the layer turns
// it into its own error code (ArithmeticErrorCode) at the operation that
// computed the size.
#pragma once

#include "platform/win_types.h"

#include <exception>
#include <limits>
#include <type_traits>

namespace Drelk {

enum class SafeIntError { Overflow, DivideByZero, Other };

// Derived from std::exception so that one which escapes an operation still
// ends as an ordinary failure of the layer instead of ending the process.
class SafeIntException : public std::exception {
public:
    explicit SafeIntException(SafeIntError error) noexcept : m_error(error) {}
    const char* what() const noexcept override { return "SafeIntException"; }
    SafeIntError Error() const noexcept { return m_error; }

private:
    SafeIntError m_error;
};

// 112 for an overflow, 113 for a division by zero, 111 for anything else.
DWORD ArithmeticErrorCode(const SafeIntException& e) noexcept;
// The operating system's error for the fault (534 for an overflow), else 0.
DWORD ArithmeticWin32Error(const SafeIntException& e) noexcept;

template <typename T>
T SafeAdd(T a, T b) {
    static_assert(std::is_unsigned_v<T>);
    if (a > std::numeric_limits<T>::max() - b)
        throw SafeIntException(SafeIntError::Overflow);
    return static_cast<T>(a + b);
}

template <typename T>
T SafeMul(T a, T b) {
    static_assert(std::is_unsigned_v<T>);
    if (a != 0 && b > std::numeric_limits<T>::max() / a)
        throw SafeIntException(SafeIntError::Overflow);
    return static_cast<T>(a * b);
}

// A count as a narrower type (a WinINet DWORD, a Win32 int length).
template <typename To, typename From>
To SafeCast(From value) {
    static_assert(std::is_integral_v<To> && std::is_unsigned_v<From>);
    if (value > static_cast<std::make_unsigned_t<To>>(std::numeric_limits<To>::max()))
        throw SafeIntException(SafeIntError::Overflow);
    return static_cast<To>(value);
}

}  // namespace Drelk
