#include "platform/win32/user32/window_records.h"

#include "platform/window_system.h"

#include <atomic>
#include <mutex>
#include <unordered_map>

namespace platform::win32 {

namespace {

// Window properties go with their window, so a handle the system hands out
// again never shows an earlier window's records.
constexpr wchar_t kTemplateProperty[] = L"Quillmoor.Template";
constexpr wchar_t kNumberProperty[] = L"Quillmoor.Number";
constexpr wchar_t kPictureProperty[] = L"Quillmoor.Picture";

std::atomic<std::uint32_t> g_nextNumber{1};

struct Pictures {
    std::mutex mutex;
    // The stamp also sits in the window's property: a mismatch is a stale entry.
    struct Entry {
        std::uintptr_t stamp;
        std::shared_ptr<const LayeredPicture> picture;
    };
    std::unordered_map<HWND, Entry> entries;
    std::uintptr_t nextStamp = 1;
};

Pictures& AllPictures() {
    static Pictures* pictures = new Pictures;  // windows may outlive the statics
    return *pictures;
}

}  // namespace

void RecordTemplate(HWND hwnd, UINT templateId) {
    SetPropW(hwnd, kTemplateProperty, reinterpret_cast<HANDLE>(static_cast<UINT_PTR>(templateId)));
    SetPropW(hwnd, kNumberProperty, reinterpret_cast<HANDLE>(static_cast<UINT_PTR>(g_nextNumber++)));
}

UINT TemplateOf(HWND hwnd) {
    return static_cast<UINT>(reinterpret_cast<UINT_PTR>(GetPropW(hwnd, kTemplateProperty)));
}

std::uint32_t CreationNumberOf(HWND hwnd) {
    return static_cast<std::uint32_t>(reinterpret_cast<UINT_PTR>(GetPropW(hwnd, kNumberProperty)));
}

void RecordPicture(HWND hwnd, std::shared_ptr<const LayeredPicture> picture) {
    Pictures& pictures = AllPictures();
    std::lock_guard<std::mutex> lock(pictures.mutex);
    const std::uintptr_t stamp = pictures.nextStamp++;
    SetPropW(hwnd, kPictureProperty, reinterpret_cast<HANDLE>(stamp));
    pictures.entries[hwnd] = Pictures::Entry{stamp, std::move(picture)};
}

std::shared_ptr<const LayeredPicture> PictureOf(HWND hwnd) {
    const auto stamp = reinterpret_cast<std::uintptr_t>(GetPropW(hwnd, kPictureProperty));
    Pictures& pictures = AllPictures();
    std::lock_guard<std::mutex> lock(pictures.mutex);
    auto it = pictures.entries.find(hwnd);
    if (it == pictures.entries.end()) {
        return nullptr;
    }
    if (stamp == 0 || it->second.stamp != stamp) {
        pictures.entries.erase(it);
        return nullptr;
    }
    return it->second.picture;
}

}  // namespace platform::win32

namespace platform {

void RecordDialogTemplate(HWND dialog, UINT templateId) {
    win32::RecordTemplate(dialog, templateId);
}

}  // namespace platform
