// Shared by the kit's and the launcher windows' tests: GDI+ for the test,
// pictures written as PNG files, reading the picture a layered window got,
// and running the window thread until something happened.
#pragma once

#include "platform/base/gdiplus_test_helpers.h"
#include "platform/gdiplus_startup.h"
#include "platform/png_file.h"
#include "platform/window_automation.h"
#include "tests/support/wine.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <thread>

namespace kit_test {

// Long enough never to be reached by a passing test.
constexpr DWORD kPatience = 10000;

// A plain background colour the kit tests draw on and look for.
constexpr std::uint32_t kGrey = 0xFF404040;

using platform::testing::GdiplusSession;

// A rectangle of a picture in a colour; colours are ARGB, not premultiplied.
struct Area {
    int x, y, width, height;
    std::uint32_t argb;
};

// Writes a PNG of width x height filled with background, then with each
// area in turn (an area replaces what is under it, transparency included).
inline void WritePng(const std::filesystem::path& file, int width, int height, std::uint32_t background,
                     std::initializer_list<Area> areas = {}) {
    const auto premultiplied = [](std::uint32_t argb) {
        const std::uint32_t alpha = argb >> 24;
        const auto channel = [alpha](std::uint32_t value) { return ((value & 0xFF) * alpha + 127) / 255; };
        return alpha << 24 | channel(argb >> 16) << 16 | channel(argb >> 8) << 8 | channel(argb);
    };
    platform::LayeredPicture picture;
    picture.size = SIZE{width, height};
    picture.pixels.assign(static_cast<std::size_t>(width) * static_cast<std::size_t>(height),
                          premultiplied(background));
    for (const Area& area : areas)
        for (int y = std::max(area.y, 0); y < std::min(area.y + area.height, height); ++y)
            for (int x = std::max(area.x, 0); x < std::min(area.x + area.width, width); ++x)
                picture.pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) +
                               static_cast<std::size_t>(x)] = premultiplied(area.argb);
    std::filesystem::create_directories(file.parent_path());
    EXPECT_TRUE(platform::SavePng(picture, file));
}

// The last picture the layered window received.
inline std::shared_ptr<const platform::LayeredPicture> PictureOf(HWND hwnd) {
    const auto info = platform::DescribeWindow(hwnd);
    return info ? info->picture : nullptr;
}

// A pixel of the window's picture (premultiplied ARGB; opaque colours read
// as they were written); 0 where there is none.
inline std::uint32_t PixelAt(HWND hwnd, int x, int y) {
    const auto picture = PictureOf(hwnd);
    if (!picture || x < 0 || y < 0 || x >= picture->size.cx || y >= picture->size.cy)
        return 0;
    return picture->pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(picture->size.cx) +
                           static_cast<std::size_t>(x)];
}

inline RECT WindowRect(HWND hwnd) {
    const auto info = platform::DescribeWindow(hwnd);
    return info ? info->windowRect : RECT{};
}

// Runs the calling thread's messages until the condition holds.
inline bool PumpUntil(const std::function<bool()>& done) {
    return done() || platform::RunMessagesUntil(done, kPatience);
}

// For a thread that does not own the windows: waits until the condition
// holds, looking again every millisecond.
inline bool WaitUntil(const std::function<bool()>& done) {
    for (DWORD waited = 0; waited < kPatience; ++waited) {
        if (done())
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return done();
}

// GDI+ on Windows blends the outer half source pixel of a stretched picture
// with the transparent outside of its source (Wine's GDI+ does so too); the
// Linux stand-in clamps to the edge. A stretched picture's edge columns are
// checked where they are drawn crisp.
inline bool CrispStretchedEdges() {
    return !testsupport::UnderWine();
}

// The screen point at a client point of a window.
inline POINT At(HWND hwnd, int x, int y) {
    return platform::ClientPointToScreen(hwnd, POINT{x, y});
}

}  // namespace kit_test
