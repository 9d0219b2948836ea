#include "tools/cdn/publish/publish_progress.h"

#include <cstdio>

namespace {

constexpr double kMiB = 1024.0 * 1024.0;
// Clears the terminal line that shows the totals.
constexpr const char* kClearLine = "\r\x1b[K";

}  // namespace

PublishProgress::PublishProgress(std::ostream& out, bool terminal, std::size_t totalFiles, std::uint64_t totalBytes)
    : m_out(out), m_terminal(terminal), m_totalFiles(totalFiles), m_totalBytes(totalBytes) {}

void PublishProgress::FileDone(const std::string& name, std::uint64_t bytes, bool reused) {
    std::lock_guard<std::mutex> lock(m_mutex);
    ++m_files;
    m_bytes += bytes;
    char size[32];
    std::snprintf(size, sizeof size, "%.1f MiB", static_cast<double>(bytes) / kMiB);
    const std::string line = name + " (" + size + (reused ? ", reused)" : ")");
    if (m_terminal) {
        m_out << kClearLine << line << '\n' << Totals() << std::flush;
    } else {
        m_out << line << "; " << Totals() << '\n' << std::flush;
    }
}

void PublishProgress::Finish() {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_terminal) {
        m_out << kClearLine;
    }
    m_out << Totals() << '\n' << std::flush;
}

std::string PublishProgress::Totals() const {
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - m_start).count();
    const double rate = seconds > 0 ? static_cast<double>(m_bytes) / seconds : 0;
    char line[160];
    int length =
        std::snprintf(line, sizeof line, "packed %zu/%zu files, %.1f/%.1f MiB, %.1f MiB/s", m_files, m_totalFiles,
                      static_cast<double>(m_bytes) / kMiB, static_cast<double>(m_totalBytes) / kMiB, rate / kMiB);
    if (rate > 0 && m_bytes < m_totalBytes) {
        const auto left = static_cast<unsigned long long>(static_cast<double>(m_totalBytes - m_bytes) / rate);
        std::snprintf(line + length, sizeof line - length, ", %llu:%02llu left", left / 60, left % 60);
    }
    return line;
}
