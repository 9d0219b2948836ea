#include "update/file_list.h"

#include "codec/md5_functions.h"
#include "platform/crt.h"
#include "platform/kernel32.h"
#include "platform/text.h"
#include "state/diag_log.h"
#include "state/launcher_settings.h"
#include "state/view_broser.h"
#include "update/cdn_bases.h"
#include "update/manifest.h"
#include "update/release_check.h"
#include "update/safe_path.h"
#include "update/whole_body.h"
#include "wire/md5_list_format.h"

#include <algorithm>
#include <limits>
#include <memory>
#include <sstream>
#include <vector>

namespace {

constexpr std::size_t kLauncherPrefixLength = 9;  // "launcher/"
const wchar_t kLauncherExe[] = L"launcher/Launcher.exe";
const wchar_t kTopic[] = L"list";

struct FileCloser {
    void operator()(FILE* file) const { std::fclose(file); }
};

// Size and content decide; a name that could reach outside the folder is
// never opened and so always counts as changed.
bool LocalFileMatches(const std::wstring& localName, const FileEntry& entry) {
    if (!IsSafeRelativePath(localName))
        return false;
    std::unique_ptr<FILE, FileCloser> file(_wfopen(localName.c_str(), L"rb"));
    if (!file)
        return false;
    if (fseeko(file.get(), 0, SEEK_END) != 0 || ftello(file.get()) != entry.size)
        return false;
    file.reset();
    // A digest that could not be computed never matches, not even an entry
    // whose own text is missing.
    const std::wstring digest = Md5TextOfFile(localName);
    return !digest.empty() && digest == entry.md5;
}

}  // namespace

bool FetchFileList(CUpdateContext& context, const std::wstring& listName) {
    const std::wstring url = ResolveCdnUrl(context, cdn_path + listName);
    if (url.empty())
        DiagProblem(kTopic, L"neither manifest knows " + cdn_path + listName + L", so it has no URL");
    const bool read = RetryOnBases(context.cdnBases, url, [&](const std::wstring& from, int) {
        auto body = FetchWholeBody(from);
        if (!body || !ReleaseAllowsBody(context, url, body->data(), body->size))
            return false;

        std::wstring text = DecodeMd5List(body->data(), body->size);
        // Only one copy of the list at a time: the body goes once it is
        // text, and the text moves into the stream.
        body.reset();
        std::wistringstream stream(std::move(text));
        return ParseFileList(stream, context);
    });
    if (read)
        DiagNote(kTopic, cdn_path + listName + L": " + std::to_wstring(context.remoteFiles.size()) + L" entries");
    return read;
}

bool ParseFileList(std::wistream& stream, CUpdateContext& context) {
    context.remoteFiles.clear();
    Md5ListRead read = ReadMd5List(stream);
    bool usable = read.Whole();
    if (!usable)
        DiagProblem(kTopic, L"the list does not read whole: " + read.problem);
    // An entry that cannot name a file below its folder would be downloaded
    // and never found by the comparison; sizes that take the list past
    // kMaxListedBytes could overflow the progress sums. Each is named.
    std::int64_t listedBytes = 0;
    for (const FileEntry& entry : read.entries) {
        const bool pathSafe = IsSafeListPath(entry.path);
        const bool sizeFits = entry.size <= kMaxListedBytes - listedBytes;
        if (!pathSafe || !sizeFits) {
            DiagProblem(kTopic, L"entry \"" + entry.path + L"\" refused: " +
                                    (pathSafe ? L"the sizes pass 2^53 bytes in all" : L"not a path below its folder"));
            usable = false;
            continue;
        }
        listedBytes += entry.size;
    }
    if (usable)
        context.remoteFiles = std::move(read.entries);
    return usable;
}

void CompareFileList(CUpdateContext& context, std::size_t stripLength, bool localFolderExists) {
    context.pendingFiles.clear();
    context.totalBytes = 0;
    std::int64_t pendingBytes = 0;
    for (const FileEntry& entry : context.remoteFiles) {
        context.totalBytes += entry.size;
        const std::wstring localName = entry.path.substr(std::min(stripLength, entry.path.size()));
        if (!localFolderExists || !LocalFileMatches(localName, entry)) {
            context.pendingFiles.push_back(entry);
            pendingBytes += entry.size;
        }
    }

    DiagNote(kTopic, std::to_wstring(context.pendingFiles.size()) + L" of " +
                         std::to_wstring(context.remoteFiles.size()) + L" files to fetch, " +
                         std::to_wstring(pendingBytes) + L" of " + std::to_wstring(context.totalBytes) + L" bytes" +
                         (localFolderExists ? L"" : L" (no local folder yet)"));
    CViewBroser* view = GetViewBroser();
    platform::CriticalSectionLock hold(view->Lock());
    view->SetTotal(1, context.totalBytes);
    const std::int64_t done = context.totalBytes - pendingBytes;
    view->SetDone(1, done);
    view->SetFileRange(done, done);
}

void PrepareLauncherList(CUpdateContext& context) {
    context.launcherUpdatePending = 0;
    SetCurrentDirectoryW(g_settings.startDirectory.c_str());
    CompareFileList(context, kLauncherPrefixLength);
    context.packSuffix = L".z";
    if (context.pendingFiles.empty())
        return;

    auto isLauncherExe = [](const FileEntry& entry) { return entry.path == kLauncherExe; };
    if (std::none_of(context.pendingFiles.begin(), context.pendingFiles.end(), isLauncherExe)) {
        const auto found = std::find_if(context.remoteFiles.begin(), context.remoteFiles.end(), isLauncherExe);
        if (found != context.remoteFiles.end()) {
            context.pendingFiles.push_back(*found);
            // Counted as done by the comparison, yet downloaded again: without
            // this the total would pass 100% and its bar stop moving.
            CViewBroser* view = GetViewBroser();
            platform::CriticalSectionLock hold(view->Lock());
            const std::int64_t done = view->GetDone(1) - found->size;
            view->SetDone(1, done);
            view->SetFileRange(done, done);
        }
    }
    for (FileEntry& entry : context.pendingFiles)
        entry.path.erase(0, std::min(kLauncherPrefixLength, entry.path.size()));
    context.launcherUpdatePending = 1;
}

bool CheckClientFiles(CUpdateContext& context) {
    ContextLockHolder hold(context);
    context.totalBytes = 1;
    if (!FetchFileList(context, g_settings.clientListName))
        return false;

    // A cdn_path that leaves the data folder is refused before any local file is read.
    if (!cdn_path.empty() && !IsSafeRelativePath(cdn_path))
        return false;
    // The client directory is dataFolder\cdn_path without its last character
    // (the trailing "/" of cdn_path).
    std::wstring clientDirectory = g_settings.dataFolder + L"\\" + cdn_path;
    clientDirectory.pop_back();
    // A client directory that does not exist yet holds none of the files;
    // comparing against whatever folder happens to be current instead could
    // skip files that a new client version needs.
    const bool clientFolderExists = SetCurrentDirectoryW(clientDirectory.c_str()) != FALSE;
    context.packSuffix = L".lz";
    CompareFileList(context, 0, clientFolderExists);
    return true;
}
