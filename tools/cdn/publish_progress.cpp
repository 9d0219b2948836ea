#include "tools/cdn/publish_progress.h"

#include <cstdio>

namespace {

constexpr double kMiB = 1024.0 * 1024.0;

}  // namespace

PublishProgress::PublishProgress(std::ostream& out, bool terminal, std::size_t totalFiles, std::uint64_t totalBytes)
    : m_out(out), m_terminal(terminal), m_totalFiles(totalFiles), m_totalBytes(totalBytes) {}

void PublishProgress::FileDone(std::uint64_t bytes) {
    ++m_files;
    m_bytes += bytes;
    if (m_terminal) {
        Print("\r");
        return;
    }
    // Files or bytes, whichever has advanced further.
    const double fileShare = m_totalFiles ? static_cast<double>(m_files) / m_totalFiles : 1.0;
    const double byteShare = m_totalBytes ? static_cast<double>(m_bytes) / m_totalBytes : 1.0;
    const int tenths = static_cast<int>(10 * (fileShare > byteShare ? fileShare : byteShare));
    if (tenths > m_printedTenths && m_files < m_totalFiles) {
        m_printedTenths = tenths;
        Print("\n");
    }
}

void PublishProgress::Finish() {
    Print("\n");
}

void PublishProgress::Print(const char* ending) {
    char line[128];
    std::snprintf(line, sizeof line, "packed %zu/%zu files, %.1f/%.1f MiB", m_files, m_totalFiles,
                  static_cast<double>(m_bytes) / kMiB, static_cast<double>(m_totalBytes) / kMiB);
    m_out << line << ending << std::flush;
}
