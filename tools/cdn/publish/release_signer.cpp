#include "tools/cdn/publish/release_signer.h"

#include "tools/cdn/publish/file_handle.h"
#include "tools/cdn/publish/publish_error.h"
#include "tools/cdn/publish/release_bodies.h"
#include "tools/cdn/publish/release_key_files.h"
#include "tools/cdn/publish/version_answer.h"
#include "wire/release_keys.h"

#include <algorithm>
#include <chrono>
#include <system_error>

namespace fs = std::filesystem;

namespace {

constexpr std::int64_t kSecondsPerDay = 86400;
constexpr char kDocumentExtension[] = ".release";
constexpr char kSignatureExtension[] = ".sig";

std::string PlaceholderProblem(std::string_view what) {
    return std::string(what) + " holds \"" + std::string(kServerPlaceholder) +
           "\": a signed release names it as it stands and no launcher fills it in; publish with --web-url "
           "naming the page's real address (only --base-url may keep \"" +
           std::string(kServerPlaceholder) + "\")";
}

}  // namespace

ReleaseSigner::ReleaseSigner(const SigningOptions& options)
    : m_lifetime(static_cast<std::int64_t>(options.expiresDays) * kSecondsPerDay) {
    if (options.keyFiles.empty()) {
        throw PublishError("signing needs at least one --sign-key");
    }
    if (options.expiresDays < 1 || options.expiresDays > kMaxReleaseDays) {
        throw PublishError("--expires " + std::to_string(options.expiresDays) + ": from 1 to " +
                           std::to_string(kMaxReleaseDays) + " days");
    }
    for (const fs::path& file : options.keyFiles) {
        m_keys.push_back(ReadSigningKey(file));
    }
}

SignedRelease ReleaseSigner::Sign(const fs::path& root, const std::string& platformCode,
                                  const std::vector<ReleaseAnswer>& answers, std::int64_t now) const {
    SignedRelease release;
    release.serial = NextReleaseSerial(root, now);
    release.expires = now + m_lifetime;
    for (const ReleaseAnswer& answer : answers) {
        ReleaseDocument document;
        document.kind = answer.kind;
        document.platform = platformCode;
        document.serial = release.serial;
        document.published = now;
        document.expires = release.expires;
        document.answer = AnswerWithoutCdnUrl(answer.text);
        if (document.answer.find(kServerPlaceholder) != std::string::npos) {
            throw PublishError(PlaceholderProblem((root / "answers" / (answer.stem + ".txt")).string()));
        }
        document.bodies = ReleaseBodies(root, answer.kind, platformCode, answer.text);
        const std::string text = ReleaseDocumentText(document);
        std::vector<ReleaseSignature> signatures;
        for (const Ed25519Seed& key : m_keys) {
            signatures.push_back({Ed25519PublicKeyOf(key), Ed25519Sign(key, text)});
        }
        release.files.push_back({answer.stem, text, ReleaseSignaturesText(signatures)});
    }
    return release;
}

void CheckSignableWebUrl(std::string_view webUrl) {
    if (webUrl.find(kServerPlaceholder) != std::string_view::npos) {
        throw PublishError(PlaceholderProblem("--web-url \"" + std::string(webUrl) + "\""));
    }
}

std::uint64_t NextReleaseSerial(const fs::path& root, std::int64_t now) {
    std::uint64_t serial = static_cast<std::uint64_t>(std::max<std::int64_t>(now, 0));
    for (const std::string& name : ReleaseDocumentsIn(root)) {
        const fs::path file = root / "answers" / name;
        std::string problem;
        const std::optional<ReleaseDocument> document = ParseReleaseDocument(ReadWholeFile(file), problem);
        if (!document) {
            // Its serial is unknown: a new one could be lower and be refused.
            throw PublishError(file.string() + " is no release document (" + problem +
                               "); remove it, or put back the one that was published");
        }
        serial = std::max(serial, document->serial + 1);
    }
    return serial;
}

std::vector<std::string> ReleaseDocumentsIn(const fs::path& root) {
    std::vector<std::string> names;
    std::error_code error;
    for (fs::directory_iterator it(root / "answers", error), end; !error && it != end; it.increment(error)) {
        if (it->path().extension() == kDocumentExtension && it->is_regular_file(error)) {
            names.push_back(it->path().filename().string());
        }
    }
    std::sort(names.begin(), names.end());
    return names;
}

void WriteReleaseFiles(const fs::path& root, const std::vector<ReleaseFiles>& files) {
    const fs::path answers = root / "answers";
    CreateFolders(answers);
    for (const ReleaseFiles& file : files) {
        const std::string document = file.stem + kDocumentExtension;
        WriteFileAtomically(answers / document, file.document);
        WriteFileAtomically(answers / (document + kSignatureExtension), file.signatures);
    }
}

std::int64_t UnixTimeNow() {
    return std::chrono::duration_cast<std::chrono::seconds>(std::chrono::system_clock::now().time_since_epoch())
        .count();
}
