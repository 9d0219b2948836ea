// What /proc/self/status says of this process's memory: the benchmarks
// measure peak memory as VmHWM against VmRSS where a step began. And what a
// forked step reports back through its pipe.
#pragma once

#include <unistd.h>

#include <fstream>
#include <string>

// Everything a pipe holds until its writer closes it.
inline std::string ReadToEnd(int fd) {
    std::string text;
    char buffer[256];
    for (ssize_t count; (count = read(fd, buffer, sizeof buffer)) > 0;)
        text.append(buffer, static_cast<std::size_t>(count));
    return text;
}

// The field's value in KiB ("VmRSS:", "VmHWM:"); -1 when it is missing.
inline long StatusKiB(const char* field) {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind(field, 0) == 0)
            return std::stol(line.substr(std::string(field).size()));
    return -1;
}
