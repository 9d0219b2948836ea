#include "update/disk_space.h"

#include "platform/kernel32.h"
#include "platform/shell32.h"
#include "platform/text.h"
#include "state/launcher_settings.h"
#include "state/message_table.h"
#include "update/resume_part.h"

#include <algorithm>
#include <cwchar>
#include <deque>
#include <filesystem>
#include <system_error>

namespace {

// Files take whole blocks; a page is the largest block in common use.
constexpr std::uint64_t kBlock = 4096;
// The diagnostic log grows during the install and rotates at 1 MiB.
constexpr std::uint64_t kLogRoom = std::uint64_t{1} << 20;
constexpr std::uint64_t kMiB = std::uint64_t{1} << 20;

std::uint64_t InBlocks(std::uint64_t bytes) {
    return (bytes + kBlock - 1) / kBlock * kBlock;
}

std::uint64_t ListedSize(const FileEntry& entry) {
    return static_cast<std::uint64_t>(std::max<std::int64_t>(entry.size, 0));
}

// What an earlier install left at the target; the worker frees it when the
// new copy takes its place.
std::uint64_t InstalledSize(const FileEntry& entry) {
    std::error_code error;
    const std::uintmax_t size =
        std::filesystem::file_size(std::filesystem::path(platform::NativePath(TargetFileOf(entry))), error);
    return error ? 0 : InBlocks(size);
}

// The folder itself may not exist before a first install: its nearest
// existing parent is on the same volume.
bool FreeBytesAt(std::wstring folder, std::uint64_t& available) {
    for (;;) {
        ULARGE_INTEGER room{};
        if (GetDiskFreeSpaceExW(folder.c_str(), &room, nullptr, nullptr)) {
            available = room.QuadPart;
            return true;
        }
        const std::size_t before = folder.size();
        PathRemoveFileSpecW(folder.data());
        folder.resize(std::wcslen(folder.c_str()));
        if (folder.empty() || folder.size() == before)
            return false;
    }
}

std::wstring MiBUp(std::uint64_t bytes) {
    return std::to_wstring((bytes + kMiB - 1) / kMiB);
}

std::wstring MiBDown(std::uint64_t bytes) {
    return std::to_wstring(bytes / kMiB);
}

}  // namespace

std::uint64_t PackedSizeLimit(const FileEntry& entry) {
    // Its content, half again for data that packing makes larger (LZMA and
    // zlib add far less), and a little for headers. A body past this is not
    // the file, and an endless one must not fill the disk.
    constexpr std::uint64_t kHeaderRoom = 1 << 20;
    return ListedSize(entry) + ListedSize(entry) / 2 + kHeaderRoom;
}

std::wstring PackedFileOf(const CUpdateContext& context, const FileEntry& entry) {
    return g_settings.dataFolder + L"\\Update\\" + cdn_path + entry.path + context.packSuffix;
}

std::wstring TargetFileOf(const FileEntry& entry) {
    std::wstring path = g_settings.dataFolder + L"\\" + cdn_path + entry.path;
    std::replace(path.begin(), path.end(), L'/', L'\\');
    return path;
}

DiskSpace MeasureDiskSpace(const CUpdateContext& context, std::uint64_t reusable, int inFlight) {
    // From the back: while a file is unpacked its packed copy, the new copy
    // beside the target and the old target are all on disk; after the move
    // the old one and the packed copy are gone. With files side by side, a
    // file's copies are on disk with those of the next ones at once.
    struct InHand {
        std::int64_t copies;
        std::int64_t kept;
    };
    const std::size_t window = static_cast<std::size_t>(std::max(inFlight, 1));
    std::deque<InHand> inHand;
    std::int64_t copiesInHand = 0;
    std::int64_t keptBefore = 0;
    std::int64_t peak = 0;
    for (auto entry = context.pendingFiles.rbegin(); entry != context.pendingFiles.rend(); ++entry) {
        const auto unpacked = static_cast<std::int64_t>(InBlocks(ListedSize(*entry)));
        // A part kept for a resume is on the disk already.
        const std::uint64_t held = ResumePart(PackedFileOf(context, *entry)).Held(entry->size);
        const std::uint64_t limit = InBlocks(PackedSizeLimit(*entry));
        const auto packed = static_cast<std::int64_t>(limit > held ? limit - held : 0);
        inHand.push_back({packed + unpacked, unpacked - static_cast<std::int64_t>(InstalledSize(*entry))});
        copiesInHand += packed + unpacked;
        if (inHand.size() > window) {
            keptBefore += inHand.front().kept;
            copiesInHand -= inHand.front().copies;
            inHand.pop_front();
        }
        peak = std::max(peak, keptBefore + copiesInHand);
    }
    DiskSpace space;
    space.folder = g_settings.dataFolder;
    space.needed = static_cast<std::uint64_t>(peak) + kLogRoom;
    space.known = FreeBytesAt(space.folder, space.available);
    space.available += reusable;
    return space;
}

std::wstring DiskShortText(const DiskSpace& space) {
    return g_messages.DiskShortText(MiBUp(space.needed), MiBDown(space.available), space.folder);
}

std::wstring DiskShortLine(const DiskSpace& space) {
    return L"the disk is short: " + std::to_wstring(space.needed) + L" bytes needed, " +
           std::to_wstring(space.available) + L" free at " + space.folder;
}
