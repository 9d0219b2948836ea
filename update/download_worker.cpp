#include "update/download_worker.h"

#include "codec/inflate_file.h"
#include "codec/lzma_decode_file.h"
#include "codec/md5_functions.h"
#include "net/http_product.h"
#include "platform/crt.h"
#include "platform/shell32.h"
#include "platform/wininet.h"
#include "state/controller.h"
#include "state/diag_log.h"
#include "state/launcher_settings.h"
#include "state/mem_manger.h"
#include "state/message_table.h"
#include "state/view_broser.h"
#include "update/cdn_bases.h"
#include "update/disk_space.h"
#include "update/install_batch.h"
#include "update/manifest.h"
#include "update/release_check.h"
#include "update/resume_part.h"
#include "update/safe_path.h"
#include "update/update_context.h"

#include <algorithm>
#include <cwchar>
#include <functional>
#include <memory>
#include <optional>

const wchar_t kVerifyFailedText[] = L"文件校验失败，重新下载";

namespace {

struct FileCloser {
    void operator()(FILE* file) const { std::fclose(file); }
};
using FilePtr = std::unique_ptr<FILE, FileCloser>;

// Appended to the target's name for the file being unpacked.
constexpr wchar_t kUnpackSuffix[] = L".qmnew";
const wchar_t kTopic[] = L"file";

// Removes what an attempt unpacked unless it was moved into place; a failed
// attempt must not leave a second copy taking up disk space.
class UnpackedFile {
public:
    explicit UnpackedFile(const std::wstring& path) : m_path(path) {}
    ~UnpackedFile() { DeleteFileW(m_path.c_str()); }
    UnpackedFile(const UnpackedFile&) = delete;
    UnpackedFile& operator=(const UnpackedFile&) = delete;

private:
    const std::wstring& m_path;
};

bool Online() {
    return InternetGetConnectedState(nullptr, 0) != FALSE;
}

// What unpacking may produce: no more than the list says the file holds.
std::uint64_t ListedSize(const FileEntry& entry) {
    return static_cast<std::uint64_t>(std::max<std::int64_t>(entry.size, 0));
}

// The size of a file we wrote, 0 when it is not there.
std::uint64_t FileSizeOf(const std::wstring& path) {
    FilePtr file(_wfopen(path.c_str(), L"rb"));
    const std::int64_t size = file ? platform::CFileSize(file.get()) : -1;
    return size > 0 ? static_cast<std::uint64_t>(size) : 0;
}

// Read by every worker, written by the one that finds the disk short.
bool DiskShort(CUpdateContext& context) {
    ContextLockHolder hold(context);
    return context.diskShort;
}

// One file at a time goes through the one transfer buffer; what arrives
// meanwhile is that file's progress.
class TransferTurn {
public:
    TransferTurn(CAdmissionGate& gate, FileShare& share) : m_ticket(gate, 0), m_share(share) {
        GetViewBroser()->SetReceivingFile(share);
    }
    ~TransferTurn() { End(); }
    TransferTurn(const TransferTurn&) = delete;
    TransferTurn& operator=(const TransferTurn&) = delete;

    void End() {
        if (m_ended)
            return;
        m_ended = true;
        GetViewBroser()->EndReceivingFile(m_share);
        m_ticket.End();
    }

private:
    AdmissionTicket m_ticket;
    FileShare& m_share;
    bool m_ended = false;
};

// Unpacks the downloaded file into targetFile and returns the Md5Text of the
// result, digested as it is written; empty when nothing usable was produced.
// A decoder waits for its core and its memory.
std::wstring UnpackAndDigest(const std::wstring& packSuffix, const std::wstring& packedFile,
                             const std::wstring& targetFile, const FileEntry& entry, FileShare& share,
                             CAdmissionGate& decoders) {
    const AdmissionTicket decoding(decoders, packSuffix == L".lz" ? LzmaDecoderMemory(packedFile) : 0);
    Md5Stream md5;
    const WrittenBlockObserver written = [&md5](const unsigned char* pbyData, std::size_t cbData) {
        md5.Update(pbyData, cbData);
    };
    if (packSuffix == L".lz") {
        CViewBroser* view = GetViewBroser();
        LzmaProgressCallback progress;
        if (view->BeginFileUnpack(share))
            progress = [view, &share](std::uint32_t count) { view->AddScaledDone(share, count); };
        if (LzmaDecodeFile(packedFile, targetFile, progress, ListedSize(entry), written) != 0)
            return std::wstring();
        return md5.FinalText();
    }
    if (packSuffix == L".z") {
        FilePtr packed(_wfopen(packedFile.c_str(), L"rb"));
        FilePtr target(_wfopen(targetFile.c_str(), L"wb+"));
        // What was digested is what the file holds only when every write,
        // the last buffered one included, went through.
        if (!packed || !target || InflateFile(packed.get(), target.get(), ListedSize(entry), written) != 0 ||
            std::fclose(target.release()) != 0)
            return std::wstring();
        return md5.FinalText();
    }
    return std::wstring();
}

// Opens the packed file's URL, continuing the kept part where the server
// sends the rest of the same object (a 206 from its end). A 200 starts the
// file over with that answer; a 416, another range, total or validator
// starts it over with a request from byte 0. Any other failure keeps the
// part for the next attempt. kept is reset when the file starts over.
bool OpenPacked(CHttpProduct& product, const ResumePart& part, std::optional<PartRecord>& kept, const std::wstring& url,
                const std::wstring& attemptText) {
    if (kept) {
        product.ResumeFrom(kept->held, kept->validator);
        const bool answered = product.Open(url.c_str(), L"", 0, 0) != 0;
        if (answered && product.ContinuesAt(kept->held, kept->total, kept->validator)) {
            DiagNote(kTopic, attemptText + L"continues at byte " + std::to_wstring(kept->held) + L" of " +
                                 std::to_wstring(kept->total));
            return true;
        }
        const DWORD status = product.GetStatus();
        if (!answered && status != 416)
            return false;
        part.Drop();
        kept.reset();
        DiagNote(kTopic, attemptText + L"starts over: the server answered " + std::to_wstring(status) +
                             L" to a request for the rest");
        if (answered && status == 200)
            return true;
    }
    return product.Open(url.c_str(), L"", 0, 0) != 0;
}

// Downloads, unpacks and checks one entry, retrying; true when it matched.
// mayMoveIn, when given, waits for the file's turn to move into place; false
// leaves it out (true is returned, nothing moved).
bool BringUpToDate(CHttpProduct& product, CUpdateContext& context, const FileEntry& entry, FileShare& share,
                   InstallGates& gates, const std::function<bool()>& mayMoveIn) {
    CViewBroser* view = GetViewBroser();
    const std::wstring cdnPath = cdn_path + entry.path + context.packSuffix;
    // Server data becomes local paths here: anything that could leave the
    // data folder fails at once, before a byte is written.
    if (!IsSafeRelativePath(cdn_path + entry.path)) {
        DiagProblem(kTopic, entry.path + L": refused, its path would leave the data folder");
        return false;
    }
    const std::wstring url = ResolveCdnUrl(context, cdnPath);
    if (url.empty())
        DiagProblem(kTopic, entry.path + L": neither manifest knows " + cdnPath + L", so it has no URL");
    const std::wstring packedFile = PackedFileOf(context, entry);
    const std::wstring targetFile = TargetFileOf(entry);
    // The new content is unpacked beside the target and only takes its place
    // once its digest matches: a stalled, cut-off or garbage answer, or a full
    // disk, leaves the installed copy as it was.
    const std::wstring unpackedFile = targetFile + kUnpackSuffix;
    // Paths must fit the platform's path buffers; a longer one is refused.
    if (packedFile.size() >= MAX_PATH || targetFile.size() >= MAX_PATH || unpackedFile.size() >= MAX_PATH) {
        DiagProblem(kTopic, entry.path + L": refused, its local paths would pass 259 characters");
        return false;
    }
    std::wstring targetFolder = targetFile;
    PathRemoveFileSpecW(targetFolder.data());
    targetFolder.resize(std::wcslen(targetFolder.c_str()));
    product.SetBodyLimit(PackedSizeLimit(entry));

    // What an earlier attempt, or an earlier launcher, received of this file.
    const ResumePart part(packedFile);
    int attempt = 0;
    CReceivedDigest received;
    // A body from a mirror is checked as the same body from cdn_url: the
    // release names it by url, and a kept part is the part of url's file
    // wherever it came from (the validator decides whether it continues).
    const bool current = RetryOnBases(
        context.cdnBases, url,
        [&](const std::wstring& from, int pass) {
            attempt = pass;
            const std::wstring attemptText = entry.path + L": attempt " + std::to_wstring(attempt) + L": ";
            TransferTurn turn(gates.transfer, share);
            std::optional<PartRecord> kept = part.Find(url, entry.size);
            if (!OpenPacked(product, part, kept, from, attemptText))
                return false;
            const std::uint64_t held = kept ? kept->held : 0;
            // Digested on the way only where a release lists what must arrive.
            if (context.release)
                received.Watch(product, part.PartFile(), held);
            // A packed copy an earlier attempt left has no further use.
            if (part.Resumable())
                DeleteFileW(packedFile.c_str());
            // Kept when it breaks off: what it is part of is recorded before
            // the body, so that a launcher that is killed leaves it usable.
            const std::optional<std::uint64_t> total = product.GetObjectSize();
            const std::wstring validator = product.GetValidator();
            const bool keepable = part.Resumable() && total && *total != 0 && *total <= PackedSizeLimit(entry) &&
                                  !validator.empty() && part.Record({url, held, validator, *total, entry.size});
            if (!keepable)
                part.Forget();
            if (!product.SaveTo(part.PartFile().c_str()))
                return false;
            turn.End();

            const std::uint64_t saved = product.GetSavedSize();
            std::wstring problem;
            if (total && saved < *total) {
                // Nothing partial is unpacked.
                problem = L"broke off after " + std::to_wstring(saved) + L" of " + std::to_wstring(*total) + L" bytes";
                if (keepable && part.Record({url, saved, validator, *total, entry.size}))
                    problem += L", kept in " + part.PartFile() + L" to continue";
                else
                    part.Drop();
            } else {
                part.Forget();
                if (part.Resumable() &&
                    !MoveFileExW(part.PartFile().c_str(), packedFile.c_str(), MOVEFILE_REPLACE_EXISTING)) {
                    problem = L"cannot move " + part.PartFile() + L" to " + packedFile;
                    part.Drop();
                }
            }
            if (problem.empty()) {
                // A packed body the release does not list is never unpacked,
                // nor kept.
                const bool released = ReleaseAllowsBody(context, url, received.Size(), received.Final());
                if (released)
                    SHCreateDirectoryExW(nullptr, targetFolder.c_str(), nullptr);
                else
                    DeleteFileW(packedFile.c_str());
                const UnpackedFile unpacked(unpackedFile);
                const std::wstring digest = released ? UnpackAndDigest(context.packSuffix, packedFile, unpackedFile,
                                                                       entry, share, gates.decoders)
                                                     : std::wstring();
                if (!digest.empty() && digest == entry.md5 && mayMoveIn && !mayMoveIn()) {
                    DeleteFileW(packedFile.c_str());
                    DiagNote(kTopic, attemptText + L"left as it was: a file before it failed");
                    return true;
                }
                if (!digest.empty() && digest == entry.md5 &&
                    MoveFileExW(unpackedFile.c_str(), targetFile.c_str(), MOVEFILE_REPLACE_EXISTING)) {
                    view->CompleteFile(share);
                    // The packed copy has no further use, and for a large
                    // file it holds gigabytes.
                    DeleteFileW(packedFile.c_str());
                    DiagNote(kTopic, attemptText + L"up to date");
                    return true;
                }
                problem = !released        ? L"the release does not list what arrived"
                          : digest.empty() ? L"nothing could be unpacked from " + packedFile
                          : digest != entry.md5
                              ? L"the unpacked file's digest " + digest + L" is not the list's " + entry.md5
                              : L"cannot move it into place at " + targetFile;
            }
            DiagProblem(kTopic, attemptText + problem);
            view->SetStageText(kVerifyFailedText);
            view->RollBackFile(share);
            return false;
        },
        [&] {
            // A disk that filled up fails every later attempt the same way. The
            // packed copy is rewritten by the next attempt, so its room counts
            // as free; when even that is short, it goes before the log line so
            // that the line finds room. Once a worker found the disk short,
            // the others end too.
            // A part that is not continued is rewritten as well; the bytes of
            // one that is count as held (MeasureDiskSpace).
            ContextLockHolder hold(context);
            if (context.diskShort)
                return true;
            const bool continued = part.Resumable() && part.Held(entry.size) != 0;
            const std::uint64_t rewritten =
                FileSizeOf(packedFile) + (part.Resumable() && !continued ? FileSizeOf(part.PartFile()) : 0);
            const DiskSpace space = MeasureDiskSpace(context, rewritten);
            if (!space.Short())
                return false;
            DeleteFileW(packedFile.c_str());
            part.Drop();
            context.diskShort = true;
            context.diskShortText = DiskShortText(space);
            DiagProblem(kTopic, entry.path + L": " + DiskShortLine(space));
            return true;
        });
    if (!current && !DiskShort(context))
        DiagProblem(kTopic, entry.path + L": given up after " + std::to_wstring(attempt) + L" attempts");
    return current;
}

// The controller names the product while it exists, however the worker ends.
class PublishedProduct {
public:
    PublishedProduct(CController& controller, ILauncherWindow* window, CHttpProduct& product)
        : m_controller(controller), m_window(window) {
        m_controller.product = &product;
    }
    ~PublishedProduct() {
        m_controller.mainDialog = m_window;
        m_controller.product = nullptr;
    }
    PublishedProduct(const PublishedProduct&) = delete;
    PublishedProduct& operator=(const PublishedProduct&) = delete;

private:
    CController& m_controller;
    ILauncherWindow* m_window;
};

// Brings one entry up to date; false when it failed, with the stage text of
// a failed file.
bool InstallEntry(CHttpProduct& product, CUpdateContext& context, const FileEntry& entry, InstallGates& gates,
                  const std::function<bool()>& mayMoveIn = {}) {
    CViewBroser* view = GetViewBroser();
    FileShare share;
    view->BeginFile(share, entry.size);
    if (BringUpToDate(product, context, entry, share, gates, mayMoveIn))
        return true;
    // A short disk is not a download to try again later: the driver shows
    // its own text.
    if (!DiskShort(context))
        view->SetStageText(g_messages.entries[message::kDownloadFailedTryLater]);
    return false;
}

}  // namespace

DWORD WINAPI DownloadWorker(LPVOID lpParameter) {
    CController* controller = GetController();
    if (controller->closing && !Online())
        return 0;

    auto* window = static_cast<ILauncherWindow*>(lpParameter);
    CMemManger* memory = GetMemManger();
    CHttpProduct product(memory->transferBufferSize, memory->transferBuffer.get());
    controller->mainDialog = window;
    PublishedProduct published(*controller, window, product);

    DWORD exitCode = 1;
    CUpdateContext& context = *GetUpdateContext();
    if (!context.pendingFiles.empty()) {
        const FileEntry entry = context.pendingFiles.back();
        // Alone: nothing to wait for.
        InstallGates gates(1);
        if (!InstallEntry(product, context, entry, gates))
            exitCode = 0;
        context.pendingFiles.pop_back();
    }
    return exitCode;
}

DWORD WINAPI BatchWorker(LPVOID lpParameter) {
    const std::unique_ptr<std::shared_ptr<CInstallBatch>> owned(
        static_cast<std::shared_ptr<CInstallBatch>*>(lpParameter));
    CInstallBatch& batch = **owned;
    CController* controller = GetController();
    CMemManger* memory = GetMemManger();
    // One product for all the files this worker takes: its connection
    // serves them all.
    CHttpProduct product(memory->transferBufferSize, memory->transferBuffer.get());
    controller->mainDialog = batch.Window();
    PublishedProduct published(*controller, batch.Window(), product);

    DWORD exitCode = 1;
    while (const std::optional<CInstallBatch::Taken> taken = batch.Take()) {
        const bool current = InstallEntry(product, batch.Context(), taken->entry, batch.Gates(),
                                          [&] { return batch.AwaitTurn(taken->turn); });
        if (!current)
            exitCode = 0;
        batch.Finish(*taken, current);
    }
    return exitCode;
}
