// What /proc/self/status says of this process's memory: the benchmarks
// measure peak memory as VmHWM against VmRSS where a step began.
#pragma once

#include <fstream>
#include <string>

// The field's value in KiB ("VmRSS:", "VmHWM:"); -1 when it is missing.
inline long StatusKiB(const char* field) {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind(field, 0) == 0)
            return std::stol(line.substr(std::string(field).size()));
    return -1;
}
