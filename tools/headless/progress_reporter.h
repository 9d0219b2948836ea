// Prints what the progress dialog shows: the stage text and its two bars
// (the current file and the whole transfer). On a terminal the line of the
// current stage is redrawn in place; otherwise a line is written whenever
// the stage changes or a bar reaches another tenth, so logs stay short.
#pragma once

#include "state/view_broser.h"

#include <cstdint>
#include <ostream>
#include <string>

// Percentage done of total, truncated; 0 for a total of 0 or less.
std::int64_t ProgressPercent(std::int64_t done, std::int64_t total);

// "<stage>  file [#####.....]  50%  total [##........]  20%"
std::string FormatProgressLine(const ViewProgress& progress);

class ProgressReporter {
public:
    ProgressReporter(std::ostream& out, bool live);
    ~ProgressReporter();
    ProgressReporter(const ProgressReporter&) = delete;
    ProgressReporter& operator=(const ProgressReporter&) = delete;

    // Nothing is written before the launcher names its first stage.
    void Update(const ViewProgress& progress);
    // A line of its own, below the progress line.
    void Note(const std::string& line);
    // Ends the live line, so that other output starts on a line of its own.
    void EndLiveLine();

private:
    std::ostream& m_out;
    const bool m_live;
    bool m_liveLineOpen = false;
    std::string m_lastLine;
    std::wstring m_lastStage;
    std::int64_t m_lastTenths[2] = {-1, -1};
};
