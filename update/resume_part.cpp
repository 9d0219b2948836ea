#include "update/resume_part.h"

#include "platform/crt.h"
#include "platform/kernel32.h"
#include "platform/shell32.h"
#include "platform/text.h"

#include <algorithm>
#include <cstdio>
#include <memory>
#include <string_view>

namespace {

constexpr wchar_t kPartSuffix[] = L".part";
constexpr wchar_t kRecordSuffix[] = L".part.info";
constexpr std::string_view kFirstLine = "quillmoor part 1";
// A record is a few lines; anything larger is not one.
constexpr std::size_t kMostRecordBytes = 8192;

struct FileCloser {
    void operator()(FILE* file) const { std::fclose(file); }
};
using FilePtr = std::unique_ptr<FILE, FileCloser>;

bool ParseNumber(std::string_view text, std::uint64_t& value) {
    if (text.empty() || text.size() > 18)
        return false;
    value = 0;
    for (const char digit : text) {
        if (digit < '0' || digit > '9')
            return false;
        value = value * 10 + static_cast<std::uint64_t>(digit - '0');
    }
    return true;
}

}  // namespace

ResumePart::ResumePart(const std::wstring& packedFile) : m_part(packedFile) {
    if (packedFile.size() + std::size(kRecordSuffix) - 1 < MAX_PATH) {
        m_part = packedFile + kPartSuffix;
        m_record = packedFile + kRecordSuffix;
        // As the product saves them: Windows makes no folder of a path with
        // '/' in it.
        std::replace(m_part.begin(), m_part.end(), L'/', L'\\');
        std::replace(m_record.begin(), m_record.end(), L'/', L'\\');
    }
}

std::uint64_t ResumePart::PartSize() const {
    FilePtr file(_wfopen(m_part.c_str(), L"rb"));
    const std::int64_t size = file ? platform::CFileSize(file.get()) : -1;
    return size > 0 ? static_cast<std::uint64_t>(size) : 0;
}

std::optional<PartRecord> ResumePart::Read() const {
    if (!Resumable())
        return std::nullopt;
    FilePtr file(_wfopen(m_record.c_str(), L"rb"));
    if (!file)
        return std::nullopt;
    std::string text(kMostRecordBytes + 1, '\0');
    text.resize(std::fread(text.data(), 1, text.size(), file.get()));
    if (text.size() > kMostRecordBytes)
        return std::nullopt;

    PartRecord record;
    bool first = true;
    unsigned seen = 0;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos)
            return std::nullopt;  // cut short while it was written
        const std::string_view line(text.data() + start, end - start);
        start = end + 1;
        if (first) {
            if (line != kFirstLine)
                return std::nullopt;
            first = false;
            continue;
        }
        const std::size_t equals = line.find('=');
        if (equals == std::string_view::npos)
            return std::nullopt;
        const std::string_view key = line.substr(0, equals);
        const std::string_view value = line.substr(equals + 1);
        std::uint64_t number = 0;
        if (key == "url") {
            record.url = platform::FromUtf8(value);
            seen |= 1;
        } else if (key == "validator") {
            record.validator = platform::FromUtf8(value);
            seen |= 2;
        } else if (key == "held" && ParseNumber(value, number)) {
            record.held = number;
            seen |= 4;
        } else if (key == "total" && ParseNumber(value, number)) {
            record.total = number;
            seen |= 8;
        } else if (key == "listed" && ParseNumber(value, number)) {
            record.listed = static_cast<std::int64_t>(number);
            seen |= 16;
        } else {
            return std::nullopt;
        }
    }
    if (first || seen != 31)
        return std::nullopt;
    return record;
}

std::optional<PartRecord> ResumePart::Find(const std::wstring& url, std::int64_t listed) const {
    std::optional<PartRecord> record = Read();
    const std::uint64_t size = PartSize();
    if (record && record->url == url && record->listed == listed && !record->validator.empty() &&
        record->held <= size && size != 0 && size < record->total) {
        record->held = size;
        return record;
    }
    Drop();
    return std::nullopt;
}

std::uint64_t ResumePart::Held(std::int64_t listed) const {
    // Asked for every pending file: the part is only looked at beside a
    // record.
    const std::optional<PartRecord> record = Read();
    if (!record)
        return 0;
    const std::uint64_t size = PartSize();
    if (record->listed != listed || record->validator.empty() || record->held > size || size >= record->total)
        return 0;
    return size;
}

bool ResumePart::Record(const PartRecord& record) const {
    if (!Resumable())
        return false;
    const std::string text =
        std::string(kFirstLine) + "\nurl=" + platform::ToUtf8(record.url) + "\nheld=" + std::to_string(record.held) +
        "\nvalidator=" + platform::ToUtf8(record.validator) + "\ntotal=" + std::to_string(record.total) +
        "\nlisted=" + std::to_string(record.listed) + "\n";
    if (text.size() > kMostRecordBytes || record.validator.find_first_of(L"\r\n") != std::wstring::npos ||
        record.url.find_first_of(L"\r\n") != std::wstring::npos) {
        Forget();
        return false;
    }
    // Written before the body, whose save makes the folder otherwise.
    std::wstring folder = m_record;
    if (PathRemoveFileSpecW(folder.data()))
        SHCreateDirectoryExW(nullptr, folder.c_str(), nullptr);
    FilePtr file(_wfopen(m_record.c_str(), L"wb"));
    const bool written = file && std::fwrite(text.data(), 1, text.size(), file.get()) == text.size();
    const bool closed = file && std::fclose(file.release()) == 0;
    if (written && closed)
        return true;
    Forget();
    return false;
}

void ResumePart::Forget() const {
    if (Resumable())
        DeleteFileW(m_record.c_str());
}

void ResumePart::Drop() const {
    Forget();
    if (Resumable())
        DeleteFileW(m_part.c_str());
}
