// Progress of a long publish on the user's terminal: one line rewritten in
// place on a terminal, a line per tenth of the work otherwise (logs).
#pragma once

#include <cstddef>
#include <cstdint>
#include <ostream>

class PublishProgress {
public:
    PublishProgress(std::ostream& out, bool terminal, std::size_t totalFiles, std::uint64_t totalBytes);

    void FileDone(std::uint64_t bytes);
    void Finish();

private:
    void Print(const char* ending);

    std::ostream& m_out;
    bool m_terminal;
    std::size_t m_totalFiles;
    std::uint64_t m_totalBytes;
    std::size_t m_files = 0;
    std::uint64_t m_bytes = 0;
    int m_printedTenths = 0;
};
