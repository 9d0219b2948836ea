// A packed download that broke off, kept for the next attempt and the next
// start: "<packed file>.part" holds the bytes received so far, and beside it
// "<packed file>.part.info" a small record of what they are part of (the
// URL, the size so far, the server's validator — its ETag, else its
// Last-Modified — the object's size the server announced, and the size the
// file list gives). A part is continued only while all of that still
// matches; anything else starts the file over.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

struct PartRecord {
    std::wstring url;
    // Bytes in the part when the record was written; the part only grows
    // after that (a killed launcher wrote more than it recorded).
    std::uint64_t held = 0;
    std::wstring validator;
    // The whole object's size, as the server announced it.
    std::uint64_t total = 0;
    // The entry's size in the file list.
    std::int64_t listed = 0;
};

// Where a packed file's download goes first, and what it keeps beside it.
// Without room for these names below MAX_PATH the download goes to the
// packed file itself and nothing is kept (Resumable() is false).
class ResumePart {
public:
    explicit ResumePart(const std::wstring& packedFile);

    bool Resumable() const { return !m_record.empty(); }
    // The file the body is saved to.
    const std::wstring& PartFile() const { return m_part; }

    // Where to continue for this URL and listed size: the part's size and
    // the recorded validator. A part or record that does not match (another
    // URL or listed size, no validator, a part smaller than recorded or not
    // smaller than the object) is removed, and none is returned.
    std::optional<PartRecord> Find(const std::wstring& url, std::int64_t listed) const;
    // Bytes a matching part holds for the listed size, whatever the URL;
    // 0 without one. Nothing is removed.
    std::uint64_t Held(std::int64_t listed) const;
    // Records what the part file is part of; false when it cannot be written.
    bool Record(const PartRecord& record) const;
    // Removes the record: the part is then no longer continued.
    void Forget() const;
    // Removes the part and its record.
    void Drop() const;

private:
    std::optional<PartRecord> Read() const;
    std::uint64_t PartSize() const;

    std::wstring m_part;
    std::wstring m_record;
};
