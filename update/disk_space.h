// Room on the data folder's volume: what the pending files need as the
// download worker writes them, against what the volume has free, so that a
// short disk ends the update before a transfer instead of failing each file.
#pragma once

#include "update/update_context.h"

#include <cstdint>
#include <string>

// The most a packed file may take on disk: the worker's body limit.
std::uint64_t PackedSizeLimit(const FileEntry& entry);
// Where the worker keeps an entry's packed file: dataFolder\Update\cdn_path +
// path + the pack suffix.
std::wstring PackedFileOf(const CUpdateContext& context, const FileEntry& entry);
// Where the worker installs an entry: dataFolder\cdn_path + path.
std::wstring TargetFileOf(const FileEntry& entry);

struct DiskSpace {
    // Bytes the pending files need at the worst moment of their install.
    std::uint64_t needed = 0;
    // Bytes this user may still write on the data folder's volume; false
    // known when the volume would not tell, which never counts as short.
    std::uint64_t available = 0;
    bool known = false;
    std::wstring folder;

    bool Short() const { return known && available < needed; }
};

// Measures for pendingFiles, taken from the back; the bytes that a part
// kept for a resume holds (resume_part.h) count as held. reusable: bytes of
// our own files that the next step overwrites anyway, counted as free.
// inFlight: how many files are installed side by side, each with its packed
// and new copies on the disk at once.
DiskSpace MeasureDiskSpace(const CUpdateContext& context, std::uint64_t reusable = 0, int inFlight = 1);

// The player's text (the message table's, with the figures in MiB) and the
// diagnostic line (in bytes) for a shortage.
std::wstring DiskShortText(const DiskSpace& space);
std::wstring DiskShortLine(const DiskSpace& space);
