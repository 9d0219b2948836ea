#include "platform/dialog_template.h"

#include <cmath>

namespace platform {

namespace {

constexpr int kBaseUnitX = 6;
constexpr int kBaseUnitY = 13;

LONG Scale(LONG value, int numerator, int denominator) {
    return static_cast<LONG>(std::lround(static_cast<double>(value) * numerator / denominator));
}

}  // namespace

RECT DialogUnitsToPixels(RECT rect) {
    return RECT{Scale(rect.left, kBaseUnitX, 4), Scale(rect.top, kBaseUnitY, 8), Scale(rect.right, kBaseUnitX, 4),
                Scale(rect.bottom, kBaseUnitY, 8)};
}

}  // namespace platform
