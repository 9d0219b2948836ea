// Progress of a long publish: a line per finished file, with the totals, the
// rate and the time left. On a terminal the totals also stay on the last
// line, rewritten in place. Files finish on several threads; each report is
// one whole line.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <ostream>
#include <string>

class PublishProgress {
public:
    PublishProgress(std::ostream& out, bool terminal, std::size_t totalFiles, std::uint64_t totalBytes);

    // reused: the packed object of an earlier publish was taken as it is.
    void FileDone(const std::string& name, std::uint64_t bytes, bool reused);
    void Finish();

private:
    std::string Totals() const;

    std::mutex m_mutex;
    std::ostream& m_out;
    bool m_terminal;
    std::size_t m_totalFiles;
    std::uint64_t m_totalBytes;
    std::size_t m_files = 0;
    std::uint64_t m_bytes = 0;
    std::chrono::steady_clock::time_point m_start = std::chrono::steady_clock::now();
};
