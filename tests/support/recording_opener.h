// The desktop's handler for addresses (what ShellExecuteW "open" hands an
// address to) replaced, for the scope of a test, by one that records what it
// was asked to open. The interface is the same everywhere; how the handler
// is replaced is the system's own (recording_opener_posix.cpp: an xdg-open
// first on PATH; recording_opener_win32.cpp: the address protocols' "open"
// command).
#pragma once

#include <filesystem>
#include <memory>
#include <string>

namespace testsupport {

class RecordingOpener {
public:
    // Keeps its files in `folder`.
    explicit RecordingOpener(const std::filesystem::path& folder);
    ~RecordingOpener();
    RecordingOpener(const RecordingOpener&) = delete;
    RecordingOpener& operator=(const RecordingOpener&) = delete;

    // True once the handler ran; the record is whole by then.
    bool WasCalled() const;
    // What it was given, one argument a line; empty before it ran.
    std::string Opened() const;

private:
    std::filesystem::path m_record;
    // Undoes the replacement when it goes.
    std::shared_ptr<void> m_replacement;
};

}  // namespace testsupport
