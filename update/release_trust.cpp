#include "update/release_trust.h"

#include "codec/md5_functions.h"
#include "codec/sha256_digest.h"
#include "platform/crt.h"
#include "platform/kernel32.h"
#include "platform/text.h"
#include "state/diag_log.h"
#include "state/launcher_settings.h"
#include "update/whole_body.h"
#include "wire/release_keys.h"

#include <cerrno>
#include <chrono>
#include <map>
#include <memory>
#include <sstream>

namespace {

const wchar_t kTopic[] = L"release";
const wchar_t kKeysFile[] = L"release.pub";
const wchar_t kSerialsFile[] = L"release-serials";

struct FileCloser {
    void operator()(FILE* file) const { std::fclose(file); }
};

// The whole file, or nothing when it is missing or larger than cbMax.
std::optional<std::string> ReadSmallFile(const std::wstring& path, std::size_t cbMax) {
    std::unique_ptr<FILE, FileCloser> file(_wfopen(path.c_str(), L"rb"));
    if (!file)
        return std::nullopt;
    std::string bytes(cbMax + 1, '\0');
    bytes.resize(std::fread(bytes.data(), 1, bytes.size(), file.get()));
    if (bytes.size() > cbMax || std::ferror(file.get()))
        return std::nullopt;
    return bytes;
}

std::wstring WithSuffix(const std::wstring& answerUrl, const wchar_t* suffix) {
    const std::size_t query = answerUrl.find(L'?');
    if (query == std::wstring::npos)
        return answerUrl + suffix;
    return answerUrl.substr(0, query) + suffix + answerUrl.substr(query);
}

std::string StoreName(const ReleaseDocument& document) {
    return document.kind == ReleaseKind::Launcher ? "launcher-" + document.platform : "client";
}

struct AcceptedSerial {
    std::uint64_t serial = 0;
    std::string digest;  // SHA-256 hex of the document accepted with it
};

// One line a document kind: "NAME SERIAL SHA256". A file that does not read
// counts as empty: it only ever raises what is accepted.
std::map<std::string, AcceptedSerial> ReadSerials(const std::wstring& path) {
    std::map<std::string, AcceptedSerial> serials;
    const std::optional<std::string> text = ReadSmallFile(path, 64 * 1024);
    if (!text)
        return serials;
    std::istringstream lines(*text);
    std::string name;
    AcceptedSerial accepted;
    while (lines >> name >> accepted.serial >> accepted.digest)
        serials[name] = accepted;
    return serials;
}

// Written beside and moved over the old file, so a crash leaves one or the
// other whole.
bool WriteSerials(const std::wstring& path, const std::map<std::string, AcceptedSerial>& serials) {
    std::string text;
    for (const auto& [name, accepted] : serials)
        text += name + " " + std::to_string(accepted.serial) + " " + accepted.digest + "\n";
    const std::wstring staged = path + L".new";
    {
        std::unique_ptr<FILE, FileCloser> file(_wfopen(staged.c_str(), L"wb"));
        if (!file || std::fwrite(text.data(), 1, text.size(), file.get()) != text.size() ||
            std::fflush(file.get()) != 0)
            return false;
    }
    return MoveFileExW(staged.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING) != FALSE;
}

std::optional<std::string> Fetch(const std::wstring& url, std::size_t cbMax) {
    const std::optional<WholeBody> body = FetchWholeBody(url, cbMax);
    if (!body)
        return std::nullopt;
    return std::string(reinterpret_cast<const char*>(body->data()), body->size);
}

bool SignedByATrustedKey(const CUpdateContext& context, const std::string& document,
                         const std::vector<ReleaseSignature>& signatures) {
    for (const ReleaseSignature& signature : signatures) {
        for (const Ed25519PublicKey& key : context.releaseKeys) {
            if (key == signature.key && Ed25519Verify(key, document, signature.signature))
                return true;
        }
    }
    return false;
}

// Why the document is refused, or nothing.
std::wstring Refusal(const CUpdateContext& context, const std::string& text, const std::string& signatureText,
                     ReleaseKind kind, std::shared_ptr<ReleaseDocument>& accepted) {
    const auto signatures = ParseReleaseSignatures(signatureText);
    if (!signatures)
        return L"the signature file does not read";
    if (!SignedByATrustedKey(context, text, *signatures))
        return L"not signed by a key in " + std::wstring(kKeysFile);
    std::string problem;
    std::optional<ReleaseDocument> document = ParseReleaseDocument(text, problem);
    if (!document)
        return L"the document does not read: " + platform::FromUtf8(problem);
    if (document->kind != kind)
        return kind == ReleaseKind::Launcher ? L"a client's document where the launcher's was asked for"
                                             : L"the launcher's document where a client's was asked for";
    // The client is one for every platform of a folder: its document names
    // the platform that published it last, and only a launcher's must match.
    if (kind == ReleaseKind::Launcher && platform::FromUtf8(document->platform) != g_settings.platform)
        return L"made for platform \"" + platform::FromUtf8(document->platform) + L"\", not \"" + g_settings.platform +
               L"\"";
    const auto now =
        std::chrono::duration_cast<std::chrono::seconds>(std::chrono::system_clock::now().time_since_epoch()).count();
    if (document->expires <= now)
        return L"expired (serial " + std::to_wstring(document->serial) + L", expiry " +
               std::to_wstring(document->expires) + L", now " + std::to_wstring(now) + L")";
    accepted = std::make_shared<ReleaseDocument>(std::move(*document));
    return std::wstring();
}

// Refuses a serial below the highest accepted, or an equal one with another
// document; keeps the new highest.
std::wstring SerialRefusal(const ReleaseDocument& document, const std::string& text) {
    const std::wstring path = g_settings.dataFolder + L"\\" + kSerialsFile;
    std::map<std::string, AcceptedSerial> serials = ReadSerials(path);
    const Sha256Digest digest = Sha256Of(text);
    const AcceptedSerial now{document.serial, HexEncode(digest.data(), digest.size())};
    const auto found = serials.find(StoreName(document));
    if (found != serials.end()) {
        if (document.serial < found->second.serial)
            return L"serial " + std::to_wstring(document.serial) + L" is older than the " +
                   std::to_wstring(found->second.serial) + L" accepted before";
        if (document.serial == found->second.serial) {
            if (found->second.digest != now.digest)
                return L"serial " + std::to_wstring(document.serial) + L" was accepted before with another document";
            return std::wstring();
        }
    }
    serials[StoreName(document)] = now;
    if (!WriteSerials(path, serials))
        return L"the accepted serial cannot be kept in " + path;
    return std::wstring();
}

}  // namespace

void LoadReleaseKeys(CUpdateContext& context, const std::wstring& launcherFolder) {
    context.releaseKeys.clear();
    context.release.reset();
    const std::wstring path = launcherFolder + L"\\" + kKeysFile;
    errno = 0;
    const std::optional<std::string> text = ReadSmallFile(path, kMaxReleaseKeysBytes);
    // Only a file that is not there turns the checks off; one that cannot
    // be read refuses everything.
    context.releasesChecked = text || errno != ENOENT;
    if (!context.releasesChecked) {
        DiagNote(kTopic, L"no " + std::wstring(kKeysFile) + L" beside the launcher: releases are not checked");
        return;
    }
    const auto keys = text ? ParsePublicKeys(*text) : std::nullopt;
    if (!keys || keys->empty()) {
        DiagProblem(kTopic, path + L" holds no key that reads: every release is refused");
        return;
    }
    context.releaseKeys = *keys;
    DiagNote(kTopic, std::to_wstring(keys->size()) + L" release key(s) trusted from " + path);
}

std::wstring ReleaseDocumentUrl(const std::wstring& answerUrl) {
    return WithSuffix(answerUrl, L".release");
}

std::wstring ReleaseSignatureUrl(const std::wstring& answerUrl) {
    return WithSuffix(answerUrl, L".release.sig");
}

bool AcceptRelease(CUpdateContext& context, const std::wstring& answerUrl, ReleaseKind kind) {
    context.release.reset();
    if (!context.releasesChecked)
        return true;
    const std::wstring documentUrl = ReleaseDocumentUrl(answerUrl);
    const std::optional<std::string> text = Fetch(documentUrl, kMaxReleaseDocumentBytes);
    const std::optional<std::string> signature =
        text ? Fetch(ReleaseSignatureUrl(answerUrl), kMaxReleaseSignatureBytes) : std::nullopt;
    std::wstring refusal;
    std::shared_ptr<ReleaseDocument> accepted;
    if (!text)
        refusal = L"no document";
    else if (!signature)
        refusal = L"no signature";
    else
        refusal = Refusal(context, *text, *signature, kind, accepted);
    if (refusal.empty())
        refusal = SerialRefusal(*accepted, *text);
    if (!refusal.empty()) {
        DiagProblem(kTopic, L"refused " + documentUrl + L": " + refusal);
        return false;
    }
    DiagNote(kTopic, L"accepted " + documentUrl + L": serial " + std::to_wstring(accepted->serial) + L", " +
                         std::to_wstring(accepted->bodies.size()) + L" bodies");
    context.release = std::move(accepted);
    return true;
}
