// The diagnostic log, launcher-diag.log in the launcher's data folder: every
// request with its outcome, bytes and time, what each update stage decided,
// the start role and the copy-and-restart attempts, so that a failure that
// ends in one of the fixed texts can be traced afterwards. It is not the
// page's launcher.log, which stays as it is. Every thread writes to it.
//
// One line an entry: "2025-06-01 12:00:00.123Z [pid] topic: text", and
// "topic (problem): text" for something that went wrong. The file stays
// small: once it passes its size limit it becomes launcher-diag.log.1 (one
// old copy, replacing the previous one) and a new file begins.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

class CDiagLog {
public:
    static constexpr std::uint64_t kDefaultRotateBytes = std::uint64_t{1} << 20;
    static constexpr std::size_t kKeptProblems = 3;

    explicit CDiagLog(std::uint64_t rotateBytes = kDefaultRotateBytes) : m_rotateBytes(rotateBytes) {}

    // Starts writing into folder\launcher-diag.log (the folder is created
    // when missing). Until then lines only reach the echo and the problems.
    void Open(const std::wstring& folder);
    // Every line also goes to echo, without its time (quillmoor-headless
    // --verbose); an empty function ends that.
    void SetEcho(std::function<void(const std::string& line)> echo);

    void Note(std::wstring_view topic, std::wstring_view text);
    void Problem(std::wstring_view topic, std::wstring_view text);

    // The last problems, oldest first, as "topic: text": what lay behind a
    // failure that the player sees as a fixed text.
    std::vector<std::string> RecentProblems() const;
    // The file written to; empty before Open.
    std::wstring File() const;

private:
    void Write(std::wstring_view topic, std::wstring_view text, bool problem);
    void Append(const std::string& line);

    const std::uint64_t m_rotateBytes;
    mutable std::mutex m_lock;
    std::wstring m_file;
    std::function<void(const std::string&)> m_echo;
    std::deque<std::string> m_problems;
};

CDiagLog* GetDiagLog();

// The process-wide log's Note and Problem.
void DiagNote(std::wstring_view topic, std::wstring_view text);
void DiagProblem(std::wstring_view topic, std::wstring_view text);
