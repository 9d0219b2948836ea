// The desktop's handler on Linux is xdg-open, found on PATH: a shell script
// of that name goes first on it.
#include "tests/support/recording_opener.h"

#include "tests/support/environment.h"
#include "tests/support/test_files.h"

#include <cstdlib>

namespace fs = std::filesystem;

namespace testsupport {

RecordingOpener::RecordingOpener(const fs::path& folder) : m_record(folder / "opened.txt") {
    const fs::path script = folder / "xdg-open";
    const std::string part = (folder / "opened.tmp").string();
    // Written aside and renamed, so that a record that exists is whole.
    WriteBytes(script,
               "#!/bin/sh\nprintf '%s\\n' \"$@\" > '" + part + "'\nmv '" + part + "' '" + m_record.string() + "'\n");
    fs::permissions(script, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                                fs::perms::others_read | fs::perms::others_exec);
    const char* path = std::getenv("PATH");
    m_replacement = std::make_shared<ScopedVariable>("PATH", folder.string() + ":" + (path ? path : ""));
}

RecordingOpener::~RecordingOpener() = default;

bool RecordingOpener::WasCalled() const {
    return fs::exists(m_record);
}

std::string RecordingOpener::Opened() const {
    return ReadBytes(m_record);
}

}  // namespace testsupport
