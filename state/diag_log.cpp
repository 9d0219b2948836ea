#include "state/diag_log.h"

#include "platform/crt.h"
#include "platform/kernel32.h"
#include "platform/shell32.h"
#include "platform/text.h"
#include "state/single_instance.h"

#include <chrono>
#include <cstdio>
#include <memory>

namespace {

const wchar_t kFileName[] = L"launcher-diag.log";
const wchar_t kOldSuffix[] = L".1";

struct FileCloser {
    void operator()(FILE* file) const { std::fclose(file); }
};
using FilePtr = std::unique_ptr<FILE, FileCloser>;

std::string TwoDigits(unsigned value) {
    return std::string(1, static_cast<char>('0' + value / 10 % 10)) + static_cast<char>('0' + value % 10);
}

// UTC, so that lines of launchers in other time zones or around a clock
// change still sort; computed here rather than through gmtime, which is not
// safe on several threads.
std::string Timestamp() {
    using namespace std::chrono;
    const auto now = time_point_cast<milliseconds>(system_clock::now());
    const auto day = floor<days>(now);
    const year_month_day date{day};
    const auto ms = (now - day).count();
    const auto seconds = ms / 1000;
    const std::string millis = std::to_string(1000 + ms % 1000).substr(1);
    return std::to_string(static_cast<int>(date.year())) + "-" + TwoDigits(static_cast<unsigned>(date.month())) + "-" +
           TwoDigits(static_cast<unsigned>(date.day())) + " " + TwoDigits(static_cast<unsigned>(seconds / 3600)) + ":" +
           TwoDigits(static_cast<unsigned>(seconds / 60 % 60)) + ":" + TwoDigits(static_cast<unsigned>(seconds % 60)) +
           "." + millis + "Z";
}

// One entry, one line, whatever a server or a path put into the text.
std::string OneLine(std::wstring_view text) {
    std::string line = platform::ToUtf8(text);
    for (char& c : line) {
        if (c == '\n' || c == '\r')
            c = ' ';
    }
    return line;
}

// Both launchers of a self-update may write here: unbuffered, each line goes
// out in one write to the end of the file.
FilePtr OpenForAppending(const std::wstring& file) {
    FilePtr opened(_wfopen(file.c_str(), L"ab"));
    if (opened)
        std::setvbuf(opened.get(), nullptr, _IONBF, 0);
    return opened;
}

}  // namespace

void CDiagLog::Open(const std::wstring& folder) {
    // Before the first download makes it: a failing first request is what
    // most needs the log.
    SHCreateDirectoryExW(nullptr, folder.c_str(), nullptr);
    std::lock_guard<std::mutex> hold(m_lock);
    m_file = folder + L"\\" + kFileName;
}

void CDiagLog::SetEcho(std::function<void(const std::string& line)> echo) {
    std::lock_guard<std::mutex> hold(m_lock);
    m_echo = std::move(echo);
}

void CDiagLog::Note(std::wstring_view topic, std::wstring_view text) {
    Write(topic, text, false);
}

void CDiagLog::Problem(std::wstring_view topic, std::wstring_view text) {
    Write(topic, text, true);
}

std::vector<std::string> CDiagLog::RecentProblems() const {
    std::lock_guard<std::mutex> hold(m_lock);
    return std::vector<std::string>(m_problems.begin(), m_problems.end());
}

std::wstring CDiagLog::File() const {
    std::lock_guard<std::mutex> hold(m_lock);
    return m_file;
}

void CDiagLog::Write(std::wstring_view topic, std::wstring_view text, bool problem) {
    const std::string entry = OneLine(topic) + (problem ? " (problem): " : ": ") + OneLine(text);
    const std::string line = Timestamp() + " [" + std::to_string(GetCurrentProcessId()) + "] " + entry + "\n";
    std::lock_guard<std::mutex> hold(m_lock);
    if (problem) {
        m_problems.push_back(OneLine(topic) + ": " + OneLine(text));
        if (m_problems.size() > kKeptProblems)
            m_problems.pop_front();
    }
    if (m_echo)
        m_echo(entry);
    if (!m_file.empty())
        Append(line);
}

void CDiagLog::Append(const std::string& line) {
    FilePtr file = OpenForAppending(m_file);
    if (!file)
        return;
    if (std::fseek(file.get(), 0, SEEK_END) == 0) {
        const long size = std::ftell(file.get());
        if (size > 0 && static_cast<std::uint64_t>(size) + line.size() > m_rotateBytes) {
            file.reset();
            MoveFileExW(m_file.c_str(), (m_file + kOldSuffix).c_str(), MOVEFILE_REPLACE_EXISTING);
            file = OpenForAppending(m_file);
            if (!file)
                return;
        }
    }
    std::fwrite(line.data(), 1, line.size(), file.get());
}

CDiagLog* GetDiagLog() {
    return TSingleInstance<CDiagLog>::Get();
}

void DiagNote(std::wstring_view topic, std::wstring_view text) {
    GetDiagLog()->Note(topic, text);
}

void DiagProblem(std::wstring_view topic, std::wstring_view text) {
    GetDiagLog()->Problem(topic, text);
}
