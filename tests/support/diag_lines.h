// The lines the process-wide diagnostic log writes while an object of this
// class lives, as its echo sees them ("topic: text"), with the times taken
// ("(12 ms)") replaced by "(T)" so that tests can compare whole lines.
#pragma once

#include "state/diag_log.h"

#include <mutex>
#include <string>
#include <utility>
#include <vector>

namespace testsupport {

class DiagLines {
public:
    DiagLines() {
        GetDiagLog()->SetEcho([this](const std::string& line) {
            std::lock_guard<std::mutex> hold(m_lock);
            m_lines.push_back(WithoutTimes(line));
        });
    }
    ~DiagLines() { GetDiagLog()->SetEcho({}); }
    DiagLines(const DiagLines&) = delete;
    DiagLines& operator=(const DiagLines&) = delete;

    // " (12 ms)" as " (T)". (std::regex would do, but its inlined code warns
    // under the sanitizers.)
    static std::string WithoutTimes(std::string line) {
        for (std::size_t open = line.find('('); open != std::string::npos; open = line.find('(', open + 1)) {
            const std::size_t digits = line.find_first_not_of("0123456789", open + 1);
            if (digits != open + 1 && digits != std::string::npos && line.compare(digits, 4, " ms)") == 0)
                line.replace(open, digits + 4 - open, "(T)");
        }
        return line;
    }

    // The lines since the last call.
    std::vector<std::string> Take() {
        std::lock_guard<std::mutex> hold(m_lock);
        return std::exchange(m_lines, {});
    }

private:
    std::mutex m_lock;
    std::vector<std::string> m_lines;
};

}  // namespace testsupport
