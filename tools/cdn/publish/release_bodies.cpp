#include "tools/cdn/publish/release_bodies.h"

#include "codec/md5_functions.h"
#include "codec/path_key.h"
#include "platform/text.h"
#include "tools/cdn/publish/cdn_paths.h"
#include "tools/cdn/publish/file_handle.h"
#include "tools/cdn/publish/publish_error.h"
#include "wire/manifest_format.h"
#include "wire/md5_list_format.h"
#include "wire/version_answer_format.h"

#include <sstream>
#include <system_error>

namespace fs = std::filesystem;

namespace {

using Manifest = std::map<std::string, std::string>;  // PathKey to id hex

class LauncherWalk {
public:
    LauncherWalk(fs::path root, std::string answerName)
        : m_root(std::move(root)), m_answerName(std::move(answerName)) {}

    std::map<std::string, ReleaseBody>& Bodies() { return m_bodies; }

    void AddManifest(const std::string& path, Manifest& map) {
        const std::string bytes = Add(path);
        if (!ReadManifestRecords(
                reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(),
                [&](const std::string& key, const ManifestId& id) { map[key] = HexEncode(id.data(), id.size()); }) ||
            map.empty()) {
            Fail(path + " is no manifest with records");
        }
    }

    void SetManifests(Manifest index, Manifest diff) {
        m_index = std::move(index);
        m_diff = std::move(diff);
    }

    // The launcher's ResolveCdnUrl, below cdn_url: the diff's record for the
    // whole path, else the index's record for its directory.
    std::string Resolve(const std::wstring& cdnPath) const {
        const std::size_t nameStart = cdnPath.find_last_of(L"/\\");
        const std::string name =
            platform::ToUtf8(nameStart == std::wstring::npos ? cdnPath : cdnPath.substr(nameStart + 1));
        if (const auto file = m_diff.find(PathKey(cdnPath)); file != m_diff.end()) {
            return "file/" + file->second + "/" + name;
        }
        const std::size_t slash = cdnPath.rfind(L'/');
        const std::wstring directory = slash == std::wstring::npos ? L"." : cdnPath.substr(0, slash);
        if (const auto tree = m_index.find(PathKey(directory)); tree != m_index.end()) {
            return "tree/" + tree->second + "/" + name;
        }
        Fail("neither manifest leads to " + platform::ToUtf8(cdnPath));
    }

    // Adds the body the launcher fetches for cdnPath.
    void AddResolved(const std::wstring& cdnPath) { AddStreamed(Resolve(cdnPath)); }

    std::vector<Md5ListEntry> AddList(const std::wstring& cdnPath) {
        const std::string path = Resolve(cdnPath);
        const std::string bytes = Add(path);
        std::wistringstream text(DecodeMd5List(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size()));
        Md5ListRead read = ReadMd5List(text);
        if (!read.Whole()) {
            Fail(path + " does not read whole: " + platform::ToUtf8(read.problem));
        }
        return std::move(read.entries);
    }

    [[noreturn]] void Fail(const std::string& why) const {
        throw PublishError("cannot sign " + (m_root / "answers" / m_answerName).string() + ": " + why);
    }

private:
    fs::path File(const std::string& path) const {
        const fs::path file = m_root / PathFromUtf8(path);
        std::error_code error;
        if (!fs::is_regular_file(file, error)) {
            Fail(file.string() + " is missing, which the answer leads to");
        }
        return file;
    }

    // Small bodies the walk reads on: taken whole.
    std::string Add(const std::string& path) {
        std::string bytes = ReadWholeFile(File(path));
        m_bodies[path] = {bytes.size(), Sha256Of(bytes)};
        return bytes;
    }

    // Packed objects may be large: streamed.
    void AddStreamed(const std::string& path) {
        if (m_bodies.count(path)) {
            return;
        }
        const fs::path file = File(path);
        FileHandle handle = OpenFile(file, "rb");
        Sha256Stream sha256;
        std::uint64_t size = 0;
        char chunk[1 << 16];
        while (const std::size_t cbRead = ReadSome(handle, file, chunk, sizeof chunk)) {
            sha256.Update(chunk, cbRead);
            size += cbRead;
        }
        m_bodies[path] = {size, sha256.Final()};
    }

    fs::path m_root;
    std::string m_answerName;
    Manifest m_index;
    Manifest m_diff;
    std::map<std::string, ReleaseBody> m_bodies;
};

// The answer's fields as the launcher assigns them: a later field wins.
std::map<std::wstring, std::wstring> Fields(std::string_view answerText) {
    std::map<std::wstring, std::wstring> fields;
    const AnswerFieldList list = SplitAnswer(platform::FromUtf8(answerText));
    for (const auto& [key, value] : list.fields) {
        fields[key] = value;
    }
    return fields;
}

}  // namespace

std::map<std::string, ReleaseBody> ReleaseBodies(const fs::path& root, ReleaseKind kind,
                                                 const std::string& platformCode, std::string_view answerText) {
    const bool launcher = kind == ReleaseKind::Launcher;
    LauncherWalk walk(root, launcher ? "launcher-" + platformCode + ".txt" : "client.txt");
    std::map<std::wstring, std::wstring> fields = Fields(answerText);
    const std::string indexName = platform::ToUtf8(fields[L"cdn_index"]);
    const std::string diffName = platform::ToUtf8(fields[L"cdn_diff_index"]);
    if (indexName.empty()) {
        walk.Fail("the answer names no index");
    }
    Manifest index;
    Manifest diff;
    walk.AddManifest("index/" + indexName, index);
    if (!diffName.empty()) {
        walk.AddManifest("diff/" + indexName + ".." + diffName, diff);
    }
    walk.SetManifests(std::move(index), std::move(diff));

    const std::wstring cdnPath = (launcher ? std::wstring(kLauncherPrefix) : L"") + fields[L"cdn_path"];
    const std::wstring prefix = kLauncherPrefix;
    for (const Md5ListEntry& entry : walk.AddList(cdnPath + (launcher ? kLauncherListName : kClientListName))) {
        if (!launcher) {
            walk.AddResolved(cdnPath + entry.path + L".lz");
        } else if (entry.path.rfind(prefix, 0) == 0) {
            walk.AddResolved(cdnPath + entry.path.substr(prefix.size()) + L".z");
        } else {
            walk.Fail("the launcher list names " + platform::ToUtf8(entry.path) + " outside \"launcher/\"");
        }
    }
    if (launcher) {
        walk.AddResolved(SettingsPath(platform::FromUtf8(platformCode)));
    }
    return std::move(walk.Bodies());
}
