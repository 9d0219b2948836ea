#include "tools/cdn/publish/publisher.h"

#include "platform/text.h"
#include "tools/cdn/publish/answer_urls.h"
#include "tools/cdn/publish/cdn_paths.h"
#include "tools/cdn/publish/cdn_tree.h"
#include "tools/cdn/publish/file_handle.h"
#include "tools/cdn/publish/folder_walk.h"
#include "tools/cdn/publish/manifest.h"
#include "tools/cdn/publish/name_rules.h"
#include "tools/cdn/publish/pack_records.h"
#include "tools/cdn/publish/parallel_jobs.h"
#include "tools/cdn/publish/previous_publish.h"
#include "tools/cdn/publish/publish_error.h"
#include "tools/cdn/publish/publish_progress.h"
#include "tools/cdn/publish/release_history.h"
#include "tools/cdn/publish/release_signer.h"
#include "tools/cdn/publish/settings_file.h"
#include "wire/md5_list_format.h"
#include "wire/mirror_list.h"

#include <algorithm>
#include <map>
#include <numeric>
#include <set>
#include <vector>

namespace fs = std::filesystem;

namespace {

struct Inputs {
    std::wstring launcherVersion;
    std::wstring clientVersion;
    std::wstring platformCode;
    std::string baseUrl;
    std::vector<std::string> mirrors;
    fs::path settingsFile;
    std::vector<SourceFile> launcherFiles;
    std::vector<SourceFile> clientFiles;
};

bool IsInside(const fs::path& inner, const fs::path& outer) {
    // Absolute first: a relative path that does not exist yet would stay
    // relative and match nothing, so "--out cdn" inside "--client ." would
    // pass once and be refused once the folder exists.
    const fs::path a = fs::weakly_canonical(fs::absolute(inner));
    const fs::path b = fs::weakly_canonical(fs::absolute(outer));
    return std::mismatch(a.begin(), a.end(), b.begin(), b.end()).second == b.end();
}

// What the launcher would read back differently, or could not store on a
// player's Windows, is refused before any work.
void CheckListable(const std::vector<SourceFile>& files, const std::wstring& listPrefix, const WindowsPlace& place,
                   std::vector<std::string>& problems) {
    const std::size_t room = WindowsPathRoom(place);
    for (const SourceFile& file : files) {
        const std::wstring relative = platform::FromUtf8(file.relative);
        const std::wstring listed = listPrefix + relative;
        if (Utf16Length(relative) > room) {
            const std::wstring longest = LongestWindowsPath(place, relative);
            problems.push_back(
                file.file.string() + ": a player's launcher would store it as " + platform::ToUtf8(longest) + ", " +
                std::to_string(Utf16Length(longest)) + " characters, past Windows' " + std::to_string(kMaxWindowsPath) +
                " (measured on a 20-character user name); the room left for its path \"" + file.relative + "\" (" +
                std::to_string(Utf16Length(relative)) + ") is " + std::to_string(room) + " characters");
        } else if (Utf16Length(listed) > kMaxListedPath) {
            problems.push_back(file.file.string() + ": its md5 list line \"" + platform::ToUtf8(listed) +
                               "\" is longer than " + std::to_string(kMaxListedPath) + " characters");
        }
        if (file.size > kMaxPortableListedSize) {
            problems.push_back(file.file.string() + ": " + std::to_string(file.size) +
                               " bytes; md5 lists carry sizes up to " + std::to_string(kMaxPortableListedSize));
        }
    }
}

VersionAnswer Answer(const Inputs& inputs, const PublishOptions& options, const std::wstring& cdnPath,
                     const std::string& indexName, const std::string& diffName) {
    return {inputs.baseUrl, platform::ToUtf8(cdnPath), indexName, diffName, options.webUrl};
}

// The file to serve as launcher/<platform>.ini.
fs::path SettingsSource(const PublishOptions& options, std::ostream& log) {
    const fs::path launcherCopy = options.launcherDir / (options.platformCode + ".ini");
    const fs::path settings = options.settingsFile.value_or(launcherCopy);
    std::error_code error;
    if (!fs::is_regular_file(settings, error)) {
        throw PublishError("settings file " + settings.string() +
                           " not found; name the platform's settings file with --settings");
    }
    // The launcher puts the server copy in place of its own file and then
    // finds that file differing from its list: it would update itself on
    // every start.
    if (options.settingsFile && fs::is_regular_file(launcherCopy, error) &&
        ReadWholeFile(launcherCopy) != ReadWholeFile(settings)) {
        throw PublishError(launcherCopy.string() + " differs from --settings " + settings.string() +
                           ": launchers would update themselves on every start; make them equal or remove " +
                           launcherCopy.filename().string() + " from the launcher folder");
    }
    for (const std::string& warning : SettingsFileWarnings(settings)) {
        log << "warning: " << warning << '\n';
    }
    return settings;
}

Inputs CheckInputs(const PublishOptions& options, std::ostream& log) {
    if (!IsPlatformCode(options.platformCode)) {
        throw PublishError("--platform \"" + options.platformCode +
                           "\": use letters, digits, \"-\" and \"_\" (at most 64)");
    }
    Inputs inputs;
    inputs.platformCode = platform::FromUtf8(options.platformCode);
    inputs.launcherVersion = platform::FromUtf8(VersionFolder(options.launcherVersion, "--launcher-version"));
    inputs.clientVersion = platform::FromUtf8(VersionFolder(options.clientVersion, "--client-version"));
    inputs.baseUrl = CdnBaseUrl(options.baseUrl);
    std::wstring mirrorsValue;
    for (const std::string& mirror : options.mirrors) {
        inputs.mirrors.push_back(MirrorBaseUrl(mirror));
        mirrorsValue += (mirrorsValue.empty() ? L"" : L" ") + platform::FromUtf8(inputs.mirrors.back());
    }
    if (Utf16Length(mirrorsValue) > kMaxMirrorsChars) {
        throw PublishError("--mirror: the addresses take " + std::to_string(Utf16Length(mirrorsValue)) +
                           " characters in the settings file, more than the " + std::to_string(kMaxMirrorsChars) +
                           " launchers read");
    }
    CheckWebUrl(options.webUrl);
    if (const std::optional<std::string> warning = PlaceholderWarning(options.baseUrl, options.webUrl)) {
        log << "warning: " << *warning << '\n';
    }
    // Both answers must be writable before minutes go into packing; the
    // real names have the same length as these.
    const std::string someName(40, '0');
    AnswerText(Answer(inputs, options, inputs.launcherVersion, someName, someName));
    AnswerText(Answer(inputs, options, inputs.clientVersion, someName, someName));

    for (const fs::path& input : {options.launcherDir, options.clientDir}) {
        if (IsInside(options.outDir, input)) {
            throw PublishError("the output " + options.outDir.string() + " lies inside the input " + input.string());
        }
    }
    // Every name of both folders is checked before anything is packed, and
    // every offender reported in one go.
    std::vector<std::string> problems;
    auto list = [&problems](const fs::path& root, const std::string& what) {
        const std::size_t known = problems.size();
        std::vector<SourceFile> files = ListFiles(root, what, problems);
        if (files.empty() && problems.size() == known) {
            problems.push_back("the " + what + " holds no files");
        }
        return files;
    };
    inputs.launcherFiles = list(options.launcherDir, "launcher folder");
    inputs.clientFiles = list(options.clientDir, "client folder");
    CheckListable(inputs.launcherFiles, kLauncherPrefix,
                  {kLauncherPrefix + inputs.launcherVersion, kLauncherPackSuffix}, problems);
    CheckListable(inputs.clientFiles, L"", {inputs.clientVersion, kClientPackSuffix}, problems);
    if (!problems.empty()) {
        throw PublishError(problems);
    }
    inputs.settingsFile = SettingsSource(options, log);
    const std::string program = platform::ToUtf8(kLauncherProgram);
    const bool hasProgram = std::any_of(inputs.launcherFiles.begin(), inputs.launcherFiles.end(),
                                        [&](const SourceFile& file) { return file.relative == program; });
    if (!hasProgram) {
        log << "warning: the launcher folder has no Launcher.exe; an updated launcher could not be started\n";
    }
    return inputs;
}

// With --mirror the settings file is served, and listed as the launcher's own
// copy, with its Mirrors line: the two must stay equal, or launchers would
// update themselves on every start.
void WriteMirrors(Inputs& inputs, const PublishOptions& options) {
    if (inputs.mirrors.empty()) {
        return;
    }
    const std::string name = options.platformCode + ".ini";
    const fs::path served = options.outDir / "packing" / name;
    const std::string bytes = SettingsWithMirrors(ReadWholeFile(inputs.settingsFile), inputs.mirrors);
    CreateFolders(served.parent_path());
    WriteFileAtomically(served, bytes);
    inputs.settingsFile = served;
    for (SourceFile& file : inputs.launcherFiles) {
        if (file.relative == name) {
            file.file = served;
            file.size = bytes.size();
        }
    }
}

// The signer for a signed publish, its keys read and the folder's earlier
// documents checked before anything is packed.
std::optional<ReleaseSigner> SignerFor(const PublishOptions& options) {
    if (options.signing.keyFiles.empty()) {
        // Launchers that trust a key would fetch the old document beside the
        // new answers and refuse both: the studio must choose.
        const std::vector<std::string> documents = ReleaseDocumentsIn(options.outDir);
        if (!documents.empty()) {
            throw PublishError((options.outDir / "answers").string() + " holds signed releases (" + documents.front() +
                               "): publish with --sign-key, or remove answers/*.release* to stop signing");
        }
        return std::nullopt;
    }
    CheckSignableWebUrl(options.webUrl);
    // An unreadable document there is reported now, not after the packing.
    NextReleaseSerial(options.outDir, 0);
    return std::optional<ReleaseSigner>(std::in_place, options.signing);
}

// The output folder, and the missing folders above it, that a publish
// creates: removed again when the publish fails, so a refused publish leaves
// no empty folders behind. An output folder that existed keeps what it held.
class CreatedOutput {
public:
    explicit CreatedOutput(const fs::path& outDir) {
        std::error_code error;
        for (fs::path folder = fs::absolute(outDir); !fs::exists(folder, error) && !error;
             folder = folder.parent_path()) {
            m_top = folder;
            if (folder == folder.parent_path()) {
                break;
            }
        }
        CreateFolders(outDir);
    }
    ~CreatedOutput() {
        if (!m_kept && !m_top.empty()) {
            std::error_code ignored;
            fs::remove_all(m_top, ignored);
        }
    }
    CreatedOutput(const CreatedOutput&) = delete;
    CreatedOutput& operator=(const CreatedOutput&) = delete;

    void Keep() { m_kept = true; }

private:
    fs::path m_top;
    bool m_kept = false;
};

// One source file on its way into the tree.
struct PackJob {
    const SourceFile* source;
    std::wstring listed;  // its path in the md5 list
    std::wstring cdnPath;
    Packing packing;
    std::filesystem::path staged;
    PackedFile packed;
    bool reused = false;
};

template <class CdnPathOf>
void AddJobs(std::vector<PackJob>& jobs, const std::vector<SourceFile>& files, const std::wstring& listPrefix,
             Packing packing, CdnPathOf cdnPathOf) {
    for (const SourceFile& file : files) {
        const std::wstring relative = platform::FromUtf8(file.relative);
        jobs.push_back({&file, listPrefix + relative, cdnPathOf(relative), packing, {}, {}, false});
    }
}

// Takes a recorded object made from the same bytes with the same settings
// when one still checks out; the link is checked, not the name, so an object
// replaced meanwhile is never taken.
bool Reuse(PackJob& job, const PackRecords& records) {
    if (records.Empty()) {
        return false;
    }
    PackedFile digested = DigestSource(job.source->file);
    for (const PackRecords::Object& object : records.Find(digested.source, PackerSettings(job.packing))) {
        std::error_code error;
        if (!fs::is_regular_file(fs::symlink_status(object.file, error))) {
            continue;
        }
        LinkOrCopy(object.file, job.staged);
        if (Sha1OfFile(job.staged) == object.id) {
            digested.id = object.id;
            job.packed = digested;
            return true;
        }
    }
    // Packing writes into the staged file: it must not be a link to an object.
    std::error_code ignored;
    fs::remove(job.staged, ignored);
    return false;
}

void Pack(PackJob& job, const PackRecords& records) {
    job.reused = Reuse(job, records);
    if (!job.reused) {
        job.packed = PackFile(job.source->file, job.staged, job.packing);
    }
    if (job.packed.size > kMaxPortableListedSize) {
        throw PublishError(job.source->file.string() + " grew beyond what an md5 list can carry");
    }
}

std::uint64_t TotalBytes(const std::vector<SourceFile>& files) {
    std::uint64_t total = 0;
    for (const SourceFile& file : files) {
        total += file.size;
    }
    return total;
}

}  // namespace

PublishSummary Publish(const PublishOptions& options, std::ostream& log, bool logIsTerminal) {
    Inputs inputs = CheckInputs(options, log);
    const std::optional<ReleaseSigner> signer = SignerFor(options);
    // Read before anything is written: the previous publish may be this very folder.
    std::optional<PreviousPublish> previous;
    if (options.previousDir) {
        previous.emplace(*options.previousDir, options.platformCode);
    }

    // Objects of the previous publish first: a publish into a new folder then
    // takes them from there.
    PackRecords records;
    if (options.previousDir) {
        records.Load(*options.previousDir);
    }
    records.Load(options.outDir);

    CreatedOutput output(options.outDir);
    WriteMirrors(inputs, options);
    CdnTree tree(options.outDir);
    PublishSummary summary;
    summary.files = inputs.launcherFiles.size() + inputs.clientFiles.size();
    summary.bytes = TotalBytes(inputs.launcherFiles) + TotalBytes(inputs.clientFiles);

    std::vector<PackJob> jobs;
    AddJobs(jobs, inputs.launcherFiles, kLauncherPrefix, Packing::Zlib,
            [&](const std::wstring& relative) { return LauncherFilePath(inputs.launcherVersion, relative); });
    AddJobs(jobs, inputs.clientFiles, L"", Packing::Lzma,
            [&](const std::wstring& relative) { return ClientFilePath(inputs.clientVersion, relative); });
    for (PackJob& job : jobs) {
        job.staged = tree.Reserve(job.cdnPath);
    }
    PublishProgress progress(log, logIsTerminal, summary.files, summary.bytes);
    // Largest first: a big file started last would keep one core busy while
    // the others have nothing left to do.
    std::vector<std::size_t> order(jobs.size());
    std::iota(order.begin(), order.end(), std::size_t{0});
    std::stable_sort(order.begin(), order.end(),
                     [&](std::size_t a, std::size_t b) { return jobs[a].source->size > jobs[b].source->size; });
    RunParallel(order.size(), options.jobs ? options.jobs : DefaultJobs(), [&](std::size_t index) {
        PackJob& job = jobs[order[index]];
        Pack(job, records);
        progress.FileDone(platform::ToUtf8(job.listed), job.packed.size, job.reused);
    });
    progress.Finish();

    std::vector<Md5ListEntry> launcherList;
    std::vector<Md5ListEntry> clientList;
    for (const PackJob& job : jobs) {
        tree.Fill(job.cdnPath, job.packed.id);
        (job.packing == Packing::Zlib ? launcherList : clientList)
            .push_back({job.listed, static_cast<std::int64_t>(job.packed.size),
                        platform::FromUtf8(Md5ListText(job.packed.md5))});
    }
    tree.AddBytes(LauncherListPath(inputs.launcherVersion), Md5ListBytes(launcherList));
    tree.AddBytes(ClientListPath(inputs.clientVersion), Md5ListBytes(clientList));
    tree.AddFile(SettingsPath(inputs.platformCode), inputs.settingsFile, Packing::Stored);

    // Even without a diff: a key shared by two file paths would let a later
    // diff entry answer for the wrong file.
    const std::vector<ManifestEntry> files = tree.Files();
    ManifestBytes(files);
    std::vector<ManifestEntry> changed;
    std::set<std::wstring> changedPaths;
    for (const ManifestEntry& file : files) {
        if (previous && !previous->Holds(file.cdnPath, file.id)) {
            changed.push_back(file);
            changedPaths.insert(file.cdnPath);
        }
    }

    const std::string index = ManifestBytes(tree.Trees());
    const std::map<std::wstring, fs::path> places = tree.Write(changedPaths);
    for (const PackJob& job : jobs) {
        records.Add(job.packed.source, PackerSettings(job.packing), job.packed.id, places.at(job.cdnPath));
    }
    records.Save(options.outDir);
    summary.indexName = ToHex(Sha1Of(index));
    CreateFolders(options.outDir / "index");
    WriteFileAtomically(options.outDir / "index" / summary.indexName, index);
    // The launcher refuses an empty diff manifest: with no change, none is named.
    if (!changed.empty()) {
        summary.diffName = previous->IndexName();
        summary.changedObjects = changed.size();
        CreateFolders(options.outDir / "diff");
        WriteFileAtomically(options.outDir / "diff" / (summary.indexName + ".." + summary.diffName),
                            ManifestBytes(changed));
    }

    const std::string launcherStem = "launcher-" + options.platformCode;
    const std::vector<ReleaseAnswer> answers = {
        {launcherStem, ReleaseKind::Launcher,
         AnswerText(Answer(inputs, options, inputs.launcherVersion, summary.indexName, summary.diffName))},
        {"client", ReleaseKind::Client,
         AnswerText(Answer(inputs, options, inputs.clientVersion, summary.indexName, summary.diffName))}};
    // Signed before the answers switch: a body that cannot be read leaves
    // the earlier publish in force, and the documents follow the answers at
    // once.
    std::optional<SignedRelease> release;
    if (signer) {
        release = signer->Sign(options.outDir, options.platformCode, answers, UnixTimeNow());
        summary.releaseSerial = release->serial;
        summary.releaseExpires = release->expires;
    }
    CreateFolders(options.outDir / "answers");
    for (const ReleaseAnswer& answer : answers) {
        WriteFileAtomically(options.outDir / "answers" / (answer.stem + ".txt"), answer.text);
    }
    if (release) {
        WriteReleaseFiles(options.outDir, release->files);
    }
    // Last: what "prune" keeps for this release.
    RecordRelease(options.outDir);
    output.Keep();
    return summary;
}
