// Where the launcher's windows place their controls over these pictures.
// The windows take their sizes from the pictures, so the pictures are drawn
// around these places.
#pragma once

#include "tools/styles/paint.h"

namespace layout {

inline constexpr int kMainWidth = 870;
inline constexpr int kMainHeight = 520;
// The web page lies over this part of the main window.
inline constexpr Box kWebView{75, 69, 718, 398};

inline constexpr int kProgressWidth = 440;
inline constexpr int kProgressHeight = 200;

inline constexpr int kButtonSize = 25;

inline constexpr int kBarWidth = 332;
inline constexpr int kBarHeight = 18;
// The bar draws its fill here, under the frame picture.
inline constexpr Box kFillGroove{8, 6, 316, 5};

// The bar shows only the top-left 15 x 15 pixels of its slider picture.
inline constexpr int kSliderSize = 15;

}  // namespace layout
