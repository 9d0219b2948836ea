// The lines the process-wide diagnostic log writes while an object of this
// class lives, as its echo sees them ("topic: text"), with the times taken
// ("(12 ms)") replaced by "(T)" so that tests can compare whole lines.
#pragma once

#include "state/diag_log.h"

#include <mutex>
#include <regex>
#include <string>
#include <utility>
#include <vector>

namespace testsupport {

class DiagLines {
public:
    DiagLines() {
        GetDiagLog()->SetEcho([this](const std::string& line) {
            std::lock_guard<std::mutex> hold(m_lock);
            m_lines.push_back(std::regex_replace(line, std::regex(R"(\(\d+ ms\))"), "(T)"));
        });
    }
    ~DiagLines() { GetDiagLog()->SetEcho({}); }
    DiagLines(const DiagLines&) = delete;
    DiagLines& operator=(const DiagLines&) = delete;

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
