#include "tools/headless/window_snapshots.h"

#include "platform/layered_picture.h"
#include "platform/png_file.h"
#include "platform/window_automation.h"

#include <cstdio>

namespace {
constexpr auto kMinimumGap = std::chrono::seconds(1);
}

WindowSnapshots::WindowSnapshots(std::filesystem::path folder) : m_folder(std::move(folder)) {
    if (!m_folder.empty()) {
        std::error_code ignored;
        std::filesystem::create_directories(m_folder, ignored);
    }
}

void WindowSnapshots::Take(HWND window, const std::string& name) {
    if (m_folder.empty() || !window)
        return;
    const auto info = platform::DescribeWindow(window);
    if (!info || !info->visible || !info->picture)
        return;
    Series& series = m_series[name];
    const auto now = std::chrono::steady_clock::now();
    if (series.count >= kLimit || info->picture == series.last || (series.count > 0 && now - series.when < kMinimumGap))
        return;
    char file[64];
    std::snprintf(file, sizeof file, "%s-%02d.png", name.c_str(), series.count + 1);
    if (platform::SavePng(*info->picture, m_folder / file)) {
        series.last = info->picture;
        series.when = now;
        ++series.count;
    }
}
