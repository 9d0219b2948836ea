#include "tools/headless/progress_reporter.h"

#include "platform/text.h"

#include <algorithm>

namespace {

constexpr int kBarWidth = 20;

std::string Bar(std::int64_t done, std::int64_t total) {
    const std::int64_t filled = std::clamp<std::int64_t>(ProgressPercent(done, total) * kBarWidth / 100, 0, kBarWidth);
    return "[" + std::string(static_cast<std::size_t>(filled), '#') +
           std::string(static_cast<std::size_t>(kBarWidth - filled), '.') + "]";
}

std::string Percent(std::int64_t done, std::int64_t total) {
    std::string text = std::to_string(ProgressPercent(done, total)) + "%";
    return std::string(text.size() < 4 ? 4 - text.size() : 0, ' ') + text;
}

}  // namespace

std::int64_t ProgressPercent(std::int64_t done, std::int64_t total) {
    return total > 0 ? done * 100 / total : 0;
}

std::string FormatProgressLine(const ViewProgress& progress) {
    return platform::ToUtf8(progress.stageText) + "  file " + Bar(progress.done[0], progress.totals[0]) + " " +
           Percent(progress.done[0], progress.totals[0]) + "  total " + Bar(progress.done[1], progress.totals[1]) +
           " " + Percent(progress.done[1], progress.totals[1]);
}

ProgressReporter::ProgressReporter(std::ostream& out, bool live) : m_out(out), m_live(live) {}

ProgressReporter::~ProgressReporter() {
    EndLiveLine();
}

void ProgressReporter::Update(const ViewProgress& progress) {
    if (progress.stageText.empty())
        return;
    const std::string line = FormatProgressLine(progress);
    if (m_live) {
        if (line == m_lastLine)
            return;
        // Each stage keeps its last line on the screen.
        if (progress.stageText != m_lastStage)
            EndLiveLine();
        m_lastStage = progress.stageText;
        // Erasing to the end of the line removes what a longer line left.
        m_out << '\r' << line << "\x1b[K" << std::flush;
        m_liveLineOpen = true;
        m_lastLine = line;
        return;
    }
    bool changed = progress.stageText != m_lastStage;
    for (int i = 0; i < 2; ++i) {
        const std::int64_t tenths = ProgressPercent(progress.done[i], progress.totals[i]) / 10;
        changed = changed || tenths != m_lastTenths[i];
        m_lastTenths[i] = tenths;
    }
    m_lastStage = progress.stageText;
    if (changed)
        m_out << line << '\n' << std::flush;
}

void ProgressReporter::Note(const std::string& line) {
    EndLiveLine();
    m_out << line << '\n' << std::flush;
}

void ProgressReporter::EndLiveLine() {
    if (!m_liveLineOpen)
        return;
    m_out << '\n' << std::flush;
    m_liveLineOpen = false;
    // The next update starts a fresh line, even with the same content.
    m_lastLine.clear();
}
