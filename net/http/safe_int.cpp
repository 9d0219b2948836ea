#include "net/http/safe_int.h"

namespace Drelk {

namespace {
constexpr DWORD kErrorArithmeticOverflow = 534;  // ERROR_ARITHMETIC_OVERFLOW
}

DWORD ArithmeticErrorCode(const SafeIntException& e) noexcept {
    switch (e.Error()) {
        case SafeIntError::Overflow:
            return 112;
        case SafeIntError::DivideByZero:
            return 113;
        case SafeIntError::Other:
            break;
    }
    return 111;
}

DWORD ArithmeticWin32Error(const SafeIntException& e) noexcept {
    return e.Error() == SafeIntError::Overflow ? kErrorArithmeticOverflow : 0;
}

}  // namespace Drelk
