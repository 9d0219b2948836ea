// Saves what the launcher's windows show, as PNG files, while a run without
// a display goes on: the only way to look at them there.
#pragma once

#include <chrono>
#include <filesystem>
#include <map>
#include <memory>
#include <string>

#include "platform/winuser.h"

namespace platform {
struct LayeredPicture;
}

class WindowSnapshots {
public:
    // An empty folder saves nothing.
    explicit WindowSnapshots(std::filesystem::path folder);

    // Saves the window's current picture as <name>-NN.png when it changed
    // since the last one saved and a second has passed; at most kLimit files
    // per name.
    void Take(HWND window, const std::string& name);

    static constexpr int kLimit = 30;

private:
    struct Series {
        std::shared_ptr<const platform::LayeredPicture> last;
        std::chrono::steady_clock::time_point when;
        int count = 0;
    };
    std::filesystem::path m_folder;
    std::map<std::string, Series> m_series;
};
