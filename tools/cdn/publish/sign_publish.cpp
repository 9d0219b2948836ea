#include "tools/cdn/publish/sign_publish.h"

#include "tools/cdn/publish/file_handle.h"
#include "tools/cdn/publish/name_rules.h"
#include "tools/cdn/publish/publish_error.h"

#include <algorithm>
#include <system_error>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr std::string_view kLauncherStem = "launcher-";
constexpr std::string_view kAnswerExtension = ".txt";

// The platform codes of the launcher answers in answers/.
std::vector<std::string> PublishedPlatforms(const fs::path& answers) {
    std::vector<std::string> codes;
    std::error_code error;
    for (fs::directory_iterator it(answers, error), end; !error && it != end; it.increment(error)) {
        const std::string name = it->path().filename().string();
        if (name.starts_with(kLauncherStem) && name.ends_with(kAnswerExtension) && it->is_regular_file(error)) {
            codes.push_back(
                name.substr(kLauncherStem.size(), name.size() - kLauncherStem.size() - kAnswerExtension.size()));
        }
    }
    std::sort(codes.begin(), codes.end());
    return codes;
}

std::string PlatformToSign(const SignOptions& options, const fs::path& answers) {
    if (options.platformCode) {
        if (!IsPlatformCode(*options.platformCode)) {
            throw PublishError("--platform \"" + *options.platformCode + "\": not a platform code");
        }
        return *options.platformCode;
    }
    const std::vector<std::string> codes = PublishedPlatforms(answers);
    if (codes.size() == 1) {
        return codes.front();
    }
    std::string listed;
    for (const std::string& code : codes) {
        listed += (listed.empty() ? "" : ", ") + code;
    }
    throw PublishError(answers.string() + " holds launcher answers for " + listed +
                       ": name the one to sign with --platform");
}

ReleaseAnswer ReadAnswer(const fs::path& answers, const std::string& stem, ReleaseKind kind) {
    const fs::path file = answers / (stem + std::string(kAnswerExtension));
    std::error_code error;
    if (!fs::is_regular_file(file, error)) {
        throw PublishError(file.string() + " is missing: sign what \"quillmoor-cdn publish\" wrote");
    }
    return {stem, kind, ReadWholeFile(file)};
}

}  // namespace

SignSummary SignPublish(const SignOptions& options, std::int64_t now) {
    const fs::path answers = options.outDir / "answers";
    std::error_code error;
    if (!fs::is_directory(answers, error)) {
        throw PublishError(options.outDir.string() + " holds no publish (no answers/): nothing to sign");
    }
    // Keys first: a mistyped key file is named before anything is read.
    const ReleaseSigner signer(options.signing);
    const std::string platformCode = PlatformToSign(options, answers);
    const std::vector<ReleaseAnswer> published = {
        ReadAnswer(answers, std::string(kLauncherStem) + platformCode, ReleaseKind::Launcher),
        ReadAnswer(answers, "client", ReleaseKind::Client)};
    const SignedRelease release = signer.Sign(options.outDir, platformCode, published, now);
    WriteReleaseFiles(options.outDir, release.files);
    return {platformCode, release.serial, release.expires};
}
