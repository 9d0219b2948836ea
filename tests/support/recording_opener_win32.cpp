// The desktop's handler for addresses on Windows is the "open" command of
// the address's protocol class: for the test's scope, http's and https's
// write their argument to the record instead.
#include "tests/support/recording_opener.h"

#include "tests/support/test_files.h"

#include <windows.h>

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace testsupport {

namespace {

// One protocol's "open" command, replaced for the object's life. The
// machine's class (what HKEY_CLASSES_ROOT shows) is the one the system reads.
class ReplacedCommand {
public:
    ReplacedCommand(const std::wstring& protocol, const std::wstring& command)
        : m_key(L"Software\\Classes\\" + protocol + L"\\shell\\open\\command") {
        HKEY key = nullptr;
        if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, m_key.c_str(), 0, nullptr, 0, KEY_READ | KEY_WRITE, nullptr, &key,
                            nullptr) != ERROR_SUCCESS) {
            return;
        }
        wchar_t previous[2048] = {};
        DWORD size = sizeof previous - sizeof(wchar_t);
        DWORD type = 0;
        if (RegQueryValueExW(key, nullptr, nullptr, &type, reinterpret_cast<BYTE*>(previous), &size) == ERROR_SUCCESS &&
            (type == REG_SZ || type == REG_EXPAND_SZ)) {
            m_previous = std::wstring(previous);
        }
        SetDefault(key, command);
        RegCloseKey(key);
    }
    ~ReplacedCommand() {
        HKEY key = nullptr;
        if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, m_key.c_str(), 0, KEY_WRITE, &key) != ERROR_SUCCESS) {
            return;
        }
        if (m_previous) {
            SetDefault(key, *m_previous);
        } else {
            RegDeleteValueW(key, nullptr);
        }
        RegCloseKey(key);
    }
    ReplacedCommand(const ReplacedCommand&) = delete;
    ReplacedCommand& operator=(const ReplacedCommand&) = delete;

private:
    static void SetDefault(HKEY key, const std::wstring& value) {
        RegSetValueExW(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                       static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
    }

    std::wstring m_key;
    std::optional<std::wstring> m_previous;
};

}  // namespace

RecordingOpener::RecordingOpener(const fs::path& folder) : m_record(folder / "opened.txt") {
    const std::wstring part = (folder / "opened.tmp").wstring();
    // Written aside and moved, so that a record that exists is whole.
    // No blank before &&: cmd would echo it.
    const std::wstring command =
        L"cmd.exe /c echo %1>\"" + part + L"\"&& move /y \"" + part + L"\" \"" + m_record.wstring() + L"\" >nul";
    auto replaced = std::make_shared<std::vector<std::unique_ptr<ReplacedCommand>>>();
    for (const wchar_t* protocol : {L"http", L"https"}) {
        replaced->push_back(std::make_unique<ReplacedCommand>(protocol, command));
    }
    m_replacement = replaced;
}

RecordingOpener::~RecordingOpener() = default;

bool RecordingOpener::WasCalled() const {
    return fs::exists(m_record);
}

// cmd's echo ends the line with CR LF.
std::string RecordingOpener::Opened() const {
    std::string opened = ReadBytes(m_record);
    opened.erase(std::remove(opened.begin(), opened.end(), '\r'), opened.end());
    return opened;
}

}  // namespace testsupport
