// Internal to the stand-in: the coordinates a drawing call accepts.
#pragma once

#include "platform/gdiplus_types.h"

#include <cmath>
#include <initializer_list>

namespace platform {

// Cairo keeps device coordinates in 24.8 fixed point; far beyond any window
// they would wrap around instead of failing.
constexpr double kMaxCoordinate = 4194304.0;

inline Gdiplus::Status CheckCoordinates(std::initializer_list<double> values) {
    for (double value : values) {
        if (!std::isfinite(value))
            return Gdiplus::InvalidParameter;
        if (std::fabs(value) > kMaxCoordinate)
            return Gdiplus::ValueOverflow;
    }
    return Gdiplus::Ok;
}

}  // namespace platform
